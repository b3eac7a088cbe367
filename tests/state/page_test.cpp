#include <gtest/gtest.h>

#include <set>
#include <string>

#include "viewmodels/page.h"

using namespace hl;

TEST(Page, EveryPageHasItsIdentityTitleAndSymbolInRailOrder) {
  struct Row {
    Page page;
    std::string raw;
    std::string title;
    std::string symbol;
  };
  const std::vector<Row> rows = {
      {Page::home, "home", "Home", "house"},
      {Page::search, "search", "Folder Scanner", "magnifyingglass"},
      {Page::activity, "activity", "Activity", "bell"},
      {Page::history, "history", "History", "doc.text"},
      {Page::settings, "settings", "Settings", "gearshape"},
  };
  ASSERT_EQ(allPages.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    EXPECT_EQ(allPages[i], row.page) << i;
    EXPECT_EQ(rawValue(row.page), row.raw);
    EXPECT_EQ(id(row.page), row.raw);
    EXPECT_EQ(title(row.page), row.title);
    EXPECT_EQ(systemImage(row.page), row.symbol);
    EXPECT_EQ(pageFromRaw(row.raw), row.page);
  }
}

TEST(SettingsSection, EverySectionHasItsTitleAsIdentityAndItsSymbolInSidebarOrder) {
  struct Row {
    SettingsSection section;
    std::string title;
    std::string symbol;
  };
  const std::vector<Row> rows = {
      {SettingsSection::general, "General", "slider.horizontal.3"},
      {SettingsSection::customPaths, "Custom paths", "folder.badge.plus"},
      {SettingsSection::excluded, "Excluded paths", "eye.slash"},
  };
  ASSERT_EQ(allSettingsSections.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    EXPECT_EQ(allSettingsSections[i], row.section) << i;
    EXPECT_EQ(rawValue(row.section), row.title);
    EXPECT_EQ(id(row.section), row.title);
    EXPECT_EQ(title(row.section), row.title);
    EXPECT_EQ(systemImage(row.section), row.symbol);
    EXPECT_EQ(settingsSectionFromRaw(row.title), row.section);
  }
}

TEST(Page, OnlyTheExactRawValuesNameAPageOrSection) {
  // Titles are not identities, and neither case nor spacing is forgiven.
  for (const char* text : {"", "Home", "HOME", " home", "home ", "scanner", "Folder Scanner",
                           "settings\n", "general"}) {
    EXPECT_EQ(pageFromRaw(text), std::nullopt) << text;
  }
  for (const char* text : {"", "general", "customPaths", "excluded", "Custom Paths",
                           "Excluded", "General ", "Settings"}) {
    EXPECT_EQ(settingsSectionFromRaw(text), std::nullopt) << text;
  }
  std::set<std::string_view> ids;
  for (Page page : allPages) ids.insert(id(page));
  EXPECT_EQ(ids.size(), allPages.size());
}
