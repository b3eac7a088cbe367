#include <gtest/gtest.h>

#include "views/home/home_texts.h"

namespace hl {
namespace {

using State = CleanerViewModel::ContentState;

TEST(HomeTexts, HeaderSwitchesAtItsOwnWidth) {
  struct Case {
    double width;
    State state;
    HomeTab tab;
    bool wide;
    bool medium;
    bool actions;
  };
  const std::vector<Case> cases = {
      {1000, State::results, HomeTab::items, true, true, true},
      {820, State::results, HomeTab::items, true, true, true},
      {819, State::results, HomeTab::items, false, true, true},
      {800, State::unavailable, HomeTab::items, false, true, true},
      {760, State::nothingFound, HomeTab::items, false, true, true},
      {759, State::results, HomeTab::items, false, false, true},
      {700, State::scanning, HomeTab::items, false, false, false},
      {1000, State::results, HomeTab::details, true, true, false},
      {1000, State::results, HomeTab::excluded, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    const auto layout = HomeTexts::headerLayout(c.width, c.state, c.tab);
    EXPECT_EQ(layout.wide, c.wide);
    EXPECT_EQ(layout.medium, c.medium);
    EXPECT_EQ(layout.showActions, c.actions);
  }
}

TEST(HomeTexts, TitleSizeAndSubtitleFollowStateAndScope) {
  using G = CacheGroup;
  struct Case {
    State state;
    std::optional<G> selected;
    std::optional<G> scanning;
    bool medium;
    std::string title;
    std::string size;
    std::string subtitle;
  };
  const std::string everything = "Everything found on this computer, largest first.";
  const std::string projects = std::string(summary(G::projects));
  const std::vector<Case> cases = {
      {State::results, std::nullopt, std::nullopt, true, "All reclaimable", "\u2248 1.5 MB",
       everything},
      {State::results, std::nullopt, std::nullopt, false, "All reclaimable", "\u2248 1.5 MB",
       "\u2248 1.5 MB \u00b7 " + everything},
      {State::nothingFound, G::projects, std::nullopt, true, "Projects", "\u2248 1.5 MB", projects},
      {State::scanning, std::nullopt, std::nullopt, true, "Scanning caches\u2026", "2 KB so far",
       "Rows appear as they are measured."},
      {State::scanning, std::nullopt, G::xcode, false, "Scanning Xcode\u2026", "2 KB so far",
       "2 KB so far \u00b7 Rows appear as they are measured."},
      {State::scanning, G::trash, G::xcode, true, "Scanning Trash\u2026", "2 KB so far",
       std::string(summary(G::trash))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    EXPECT_EQ(HomeTexts::title(c.state, c.selected, c.scanning), c.title);
    const std::string size =
        HomeTexts::headingSizeText(c.state, 2000, HomeTexts::headingSize(1'500'000, true));
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(HomeTexts::subtitle(c.medium, size, c.selected, c.state), c.subtitle);
  }
  EXPECT_EQ(HomeTexts::headingSize(-4, false), "0 bytes");
}

TEST(HomeTexts, SummaryCardCountsSizesAndItsButton) {
  EXPECT_EQ(HomeTexts::countLine(0), "0 items selected");
  EXPECT_EQ(HomeTexts::countLine(1), "1 item selected");
  EXPECT_EQ(HomeTexts::countLine(2), "2 items selected");
  EXPECT_EQ(HomeTexts::sizeLine(1'500'000, false), "1.5 MB \u00b7 items go to the Trash");
  EXPECT_EQ(HomeTexts::sizeLine(-1, true), "0 bytes \u00b7 items are deleted permanently");
  EXPECT_EQ(HomeTexts::removalButtonTitle(false, false), "Move to Trash");
  EXPECT_EQ(HomeTexts::removalButtonTitle(false, true), "Delete Immediately");
  EXPECT_EQ(HomeTexts::removalButtonTitle(true, true), "Read-only mode");
  EXPECT_EQ(HomeTexts::removalButtonSymbol(false), "trash");
  EXPECT_EQ(HomeTexts::removalButtonSymbol(true), "lock.fill");
  struct Case {
    std::size_t count;
    bool busy;
    bool readOnly;
    bool enabled;
  };
  for (const Case& c : std::vector<Case>{{1, false, false, true},
                                         {0, false, false, false},
                                         {3, true, false, false},
                                         {3, false, true, false}}) {
    EXPECT_EQ(HomeTexts::removalButtonEnabled(c.count, c.busy, c.readOnly), c.enabled);
  }
}

TEST(HomeTexts, SidebarDetailsAndToolDialog) {
  EXPECT_EQ(HomeTexts::allReclaimableDetail(false, 0),
            "\u2248 0 bytes found \u00b7 click to select safe items");
  EXPECT_EQ(HomeTexts::allReclaimableDetail(true, 2000), "Scanning\u2026 \u2248 2 KB so far");
  EXPECT_EQ(HomeTexts::groupRowLabel(CacheGroup::xcode, "No access"), "Xcode, No access");
  EXPECT_EQ(HomeTexts::detailSize(std::nullopt), "\u2014");
  const NativeAction go{NativeAction::Tool::go};
  EXPECT_EQ(HomeTexts::toolDialogTitle(go), "Prune with go");
  EXPECT_EQ(HomeTexts::toolRunTitle(go), "Run go clean -modcache");
  EXPECT_EQ(HomeTexts::toolMessage(go),
            std::string(go.explanation()) +
                " The tool deletes files itself; they do not go to the Trash. Output appears on "
                "the Activity page.");
  EXPECT_EQ(HomeTexts::toolDialogTitle(std::nullopt), "");
  EXPECT_EQ(HomeTexts::toolRunTitle(std::nullopt), "Run ");
}

}  // namespace
}  // namespace hl
