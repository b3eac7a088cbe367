// The texts of the group details, the Home sidebar and the Settings page that can show on Linux,
// against the words of what only macOS has.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <functional>

#include "views/home/group_details_view.h"
#include "views/home/home_fixture.h"
#include "views/home/home_sidebar.h"
#include "views/pages/page_fixtures.h"
#include "views/pages/settings_page.h"
#include "views/shared/scroll_bar_look.h"
#include "views/shared/selectable_text.h"

namespace hl {
namespace {

using test::HomeHarness;

// What a person or an assistive tool can meet in `root` and the widgets shown in it.
QStringList shownTexts(const QWidget& root) {
  QList<const QWidget*> widgets{&root};
  for (const QWidget* widget : root.findChildren<QWidget*>()) {
    if (widget->isVisibleTo(&root)) widgets.append(widget);
  }
  QStringList texts;
  for (const QWidget* widget : widgets) {
    texts << widget->toolTip() << widget->accessibleName() << widget->accessibleDescription();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) texts << label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) texts << button->text();
    if (const auto* line = qobject_cast<const QLineEdit*>(widget)) {
      texts << line->text() << line->placeholderText();
    }
    if (const auto* text = qobject_cast<const SelectableText*>(widget)) texts << text->text();
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget); view && view->model()) {
      const QAbstractItemModel& model = *view->model();
      for (int row = 0; row < model.rowCount(); ++row) {
        for (int role : {Qt::DisplayRole, Qt::ToolTipRole, Qt::AccessibleTextRole}) {
          texts << model.data(model.index(row, 0), role).toString();
        }
      }
    }
  }
  texts.removeAll(QString());
  return texts;
}

// A home with no "Library" folder, and an item for a tool's own cleanup row.
struct LinuxHome : HomeHarness {
  LinuxHome() {
    settings.addExtraPath("/data/big");
    CacheItem pnpm = item(scratch + "/.local/share/pnpm/store", 4000);
    pnpm.action = NativeAction{NativeAction::Tool::pnpm};
    scan({pnpm, item(scratch + "/.cache/pip", 900)});
  }
};

QStringList detailsTexts() {
  LinuxHome h;
  GroupDetailsView view(*h, h.settings);
  test::showAt(view, 900, 700);
  return shownTexts(*view.widget());
}

QStringList sidebarTexts() {
  LinuxHome h;
  HomeSidebar sidebar(*h);
  test::showAt(sidebar, 240, 900);
  return shownTexts(sidebar);
}

QStringList settingsTexts() {
  test::PageState state;
  SettingsSidebar sidebar;
  SettingsView view(state.settings, {});
  test::showAt(sidebar, 240, 400);
  test::showAt(view, 720, 640);
  QStringList texts = shownTexts(sidebar);
  for (SettingsSection section : allSettingsSections) {
    view.setSection(section);
    QApplication::processEvents();
    texts << shownTexts(view);
  }
  return texts;
}

TEST(TextsOnLinux, NoTextThatCanShowNamesWhatOnlyMacOSHas) {
  const QStringList macWords = {"~/Library", "Library/", "macOS", "Mac",     "iOS",
                                "Time Machine", "tmutil",   "xcrun", "simctl",  ".app",
                                "menu bar",     "Finder",   "APFS",  "/private/", "Xcode",
                                "Keychains",    "MobileSync", "CocoaPods", "Docker.raw", "iCloud"};
  struct Surface {
    const char* name;
    std::function<QStringList()> texts;
    // Shown there, in the Linux words: the list is what the surface really holds.
    QStringList shown;
  };
  const std::vector<Surface> surfaces = {
      {"the details of every listed group",
       detailsTexts,
       {"Files left in your private temporary folder ($TMPDIR). Application caches in ~/.cache "
        "are listed under Package caches.",
        "~/.config, ~/.local/share/keyrings, ~/.ssh, ~/.gnupg",
        "/tmp/claude-<uid> (live Claude Code scratchpads)", "~/.local/share/pnpm/store",
        "~/.cache/*", "$TMPDIR/*", "~/.local/share/Trash", "/data/big", "Prune with pnpm"}},
      {"the Home sidebar", sidebarTexts, {"Large & backups", "Custom paths"}},
      {"every section of the Settings page", settingsTexts,
       {"Show in system tray", "Delete immediately instead of moving to the Trash"}},
  };
  for (const Surface& surface : surfaces) {
    const QStringList texts = surface.texts();
    for (const QString& shown : surface.shown) {
      EXPECT_TRUE(texts.contains(shown)) << surface.name << ": " << shown.toStdString();
    }
    for (const QString& text : texts) {
      for (const QString& word : macWords) {
        EXPECT_FALSE(text.contains(word))
            << surface.name << ": \"" << word.toStdString() << "\" in " << text.toStdString();
      }
    }
  }
}

TEST(TextsOnLinux, TheXcodeGroupAndALibraryRowShowWhileThisHomeHasSuchAFolder) {
  HomeHarness h;
  GroupDetailsView view(*h, h.settings);
  HomeSidebar sidebar(*h);
  test::showAt(view, 900, 700);
  const auto card = [&](CacheGroup group) -> GroupDetailCard* {
    for (GroupDetailCard* each : view.groupCards()) {
      if (each->group() == group) return each;
    }
    return nullptr;
  };
  EXPECT_EQ(card(CacheGroup::xcode), nullptr);
  EXPECT_EQ(sidebar.row(CacheGroup::xcode), nullptr);

  CacheItem derived = HomeHarness::item(h.scratch + "/Library/Developer/Xcode/DerivedData/App-1",
                                        5000, CacheGroup::xcode);
  derived.discoveryRoot = h.scratch + "/Library/Developer/Xcode/DerivedData";
  CacheItem pip = HomeHarness::item(h.scratch + "/Library/Caches/pip", 900);
  pip.discoveryRoot = pip.url;
  h.scan({derived, pip});
  QApplication::processEvents();
  ASSERT_NE(card(CacheGroup::xcode), nullptr);
  EXPECT_NE(sidebar.row(CacheGroup::xcode), nullptr);
  // Nine rows scroll in the smallest window: the bar is the palette's slim one.
  EXPECT_EQ(sidebar.verticalScrollBar()->styleSheet(),
            ScrollBarLook::styleSheet(sidebar.verticalScrollBar()->palette()));
  EXPECT_TRUE(shownTexts(*card(CacheGroup::xcode))
                  .contains("~/Library/Developer/Xcode/DerivedData/*"));
  EXPECT_TRUE(shownTexts(*card(CacheGroup::packageCaches)).contains("~/Library/Caches/pip"));

  // Gone from the list, gone from the details.
  h->exclude({derived.id, pip.id});
  QApplication::processEvents();
  EXPECT_EQ(card(CacheGroup::xcode), nullptr);
  EXPECT_EQ(sidebar.row(CacheGroup::xcode), nullptr);
  EXPECT_FALSE(shownTexts(*card(CacheGroup::packageCaches)).contains("~/Library/Caches/pip"));
}

}  // namespace
}  // namespace hl
