#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include "services/storage/history_store.h"
#include "utilities/path_canonical.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"
#include "views/pages/page_fixtures.h"
#include "views/pages/settings_page.h"
#include "views/shared/elided_label.h"
#include "views/shared/empty_state_view.h"
#include "views/shared/excluded_paths_view.h"
#include "views/shared/palette_colors.h"
#include "views/shared/path_list_view.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using Paths = std::vector<std::string>;

// Empties the shared updater box again whatever the test did.
struct BoxReset {
  ~BoxReset() { Updater::box().setCurrent(nullptr); }
};

// A Settings page over the test's own settings file, with its seams recorded.
struct SettingsPage {
  test::PageState state;
  std::vector<bool> rescans;
  std::vector<std::optional<QStringList>> answers;
  int asked = 0;
  std::vector<std::pair<QString, QString>> warnings;
  SettingsSidebar sidebar;
  SettingsView view{state.settings, actions()};

  SettingsPage() {
    // As the window shell wires them: the sidebar's choice becomes the shown section.
    QObject::connect(&sidebar, &SettingsSidebar::sectionChosen, &view, &SettingsView::setSection);
    sidebar.resize(240, 400);
    view.resize(720, 640);
    sidebar.show();
    view.show();
  }

  SettingsView::Actions actions() {
    SettingsView::Actions a;
    a.rescan = [this](bool force) { rescans.push_back(force); };
    a.chooseFolders = [this](QWidget*) -> std::optional<QStringList> {
      ++asked;
      if (answers.empty()) return std::nullopt;
      auto answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    };
    a.warn = [this](QWidget*, const QString& title, const QString& message) {
      warnings.emplace_back(title, message);
    };
    return a;
  }

  template <typename T>
  T* find(const char* name) const {
    auto* widget = view.findChild<T*>(QLatin1String(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  PathListView* customPaths() const { return find<PathListView>("extraPaths"); }

  std::string file() const { return test::settingsText(state.settingsFile); }
};

TEST(SettingsSidebar, ListsTheThreeSectionsAndKeepsOneSelected) {
  SettingsPage page;
  SidebarList* list = page.sidebar.list();
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("General"));
  EXPECT_EQ(list->item(1)->text(), QStringLiteral("Custom paths"));
  EXPECT_EQ(list->item(2)->text(), QStringLiteral("Excluded paths"));
  EXPECT_EQ(page.sidebar.sectionLabel()->text(), QStringLiteral("Sections"));
  EXPECT_EQ(list->selectedKey(), QStringLiteral("General"));

  QSignalSpy chosen(&page.sidebar, &SettingsSidebar::sectionChosen);
  struct Step {
    int row;
    Qt::KeyboardModifiers modifiers;
    QString selected;
    int reports;
  };
  // A repeated click, a Ctrl+click on the selected row and a click beside the rows all keep
  // the selection; only a different row is a choice.
  const std::vector<Step> steps = {
      {1, {}, "Custom paths", 1},
      {1, {}, "Custom paths", 1},
      {1, Qt::ControlModifier, "Custom paths", 1},
      {-1, {}, "Custom paths", 1},
      {2, Qt::ControlModifier, "Excluded paths", 2},
      {0, {}, "General", 3},
  };
  for (const Step& step : steps) {
    test::clickRow(list, step.row, step.modifiers);
    EXPECT_EQ(list->selectedKey(), step.selected) << step.row;
    EXPECT_EQ(chosen.count(), step.reports) << step.row;
  }
  EXPECT_EQ(chosen.at(1).at(0).value<SettingsSection>(), SettingsSection::excluded);
  EXPECT_EQ(page.view.section(), SettingsSection::general);

  // The keyboard chooses too.
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(page.sidebar.section(), SettingsSection::customPaths);
  EXPECT_EQ(page.view.section(), SettingsSection::customPaths);

  // Shown from elsewhere (the application's section changed): no choice is reported.
  const int before = chosen.count();
  page.sidebar.setSection(SettingsSection::excluded);
  EXPECT_EQ(list->selectedKey(), QStringLiteral("Excluded paths"));
  EXPECT_EQ(chosen.count(), before);
}

TEST(SettingsView, EachSectionShowsItsTitleAndContent) {
  SettingsPage page;
  auto* stack = page.view.findChild<QStackedWidget*>();
  ASSERT_NE(stack, nullptr);
  struct Case {
    SettingsSection section;
    QString title;
    const char* content;
  };
  const std::vector<Case> cases = {
      {SettingsSection::customPaths, "Custom paths", "extraPaths"},
      {SettingsSection::excluded, "Excluded paths", "excludedPaths"},
      {SettingsSection::general, "General", "pruneWorktreesAfterTrash"},
  };
  for (const Case& c : cases) {
    page.view.setSection(c.section);
    EXPECT_EQ(page.view.section(), c.section);
    EXPECT_EQ(page.view.titleLabel()->text(), c.title);
    EXPECT_EQ(page.view.titleLabel()->textFormat(), Qt::PlainText);
    auto* content = page.view.findChild<QWidget*>(QLatin1String(c.content));
    ASSERT_NE(content, nullptr);
    EXPECT_TRUE(stack->currentWidget()->isAncestorOf(content) || stack->currentWidget() == content)
        << c.content;
  }
  // The Excluded paths section is the shared list over the same settings.
  EXPECT_NE(dynamic_cast<ExcludedPathsView*>(page.view.findChild<QWidget*>("excludedPaths")),
            nullptr);
}

TEST(SettingsView, EveryToggleWritesThroughToTheSettingsFileAndFollowsTheStore) {
  SettingsPage page;
  struct Toggle {
    const char* key;
    QString text;
    bool initially;
    bool (SettingsStore::*get)() const;
    void (SettingsStore::*set)(bool);
  };
  const std::vector<Toggle> toggles = {
      {"pruneWorktreesAfterTrash", "Run git worktree prune after trashing a worktree", true,
       &SettingsStore::pruneWorktreesAfterTrash, &SettingsStore::setPruneWorktreesAfterTrash},
      {"showInMenuBar", "Show in system tray", true, &SettingsStore::showInMenuBar,
       &SettingsStore::setShowInMenuBar},
      {"quickCleanIncludesModerate", "Quick Clean also includes moderate items", false,
       &SettingsStore::quickCleanIncludesModerate, &SettingsStore::setQuickCleanIncludesModerate},
      {"deleteImmediately", "Delete immediately instead of moving to the Trash", false,
       &SettingsStore::deleteImmediately, &SettingsStore::setDeleteImmediately},
      {"checkForUpdatesAutomatically", "Check for updates automatically", true,
       &SettingsStore::checkForUpdatesAutomatically,
       &SettingsStore::setCheckForUpdatesAutomatically},
  };
  SettingsStore& settings = page.state.settings;
  for (const Toggle& t : toggles) {
    SCOPED_TRACE(t.key);
    auto* box = page.find<QCheckBox>(t.key);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->accessibleName(), t.text);
    EXPECT_EQ(box->isChecked(), t.initially);

    // A click on the box writes at once: no Apply.
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ((settings.*t.get)(), !t.initially);
    const std::string line =
        std::string(t.key) + "=" + (!t.initially ? "true" : "false");
    EXPECT_NE(page.file().find(line), std::string::npos) << page.file();

    // The space bar toggles it back.
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ((settings.*t.get)(), t.initially);

    // A change made elsewhere shows at once.
    (settings.*t.set)(!t.initially);
    EXPECT_EQ(box->isChecked(), !t.initially);
    (settings.*t.set)(t.initially);
    EXPECT_EQ(box->isChecked(), t.initially);
  }
}

TEST(SettingsView, ClickingAToggleTextTogglesIt) {
  SettingsPage page;
  auto* box = page.find<QCheckBox>("showInMenuBar");
  QLabel* text = nullptr;
  for (QLabel* label : box->parentWidget()->findChildren<QLabel*>()) {
    if (label->buddy() == box) text = label;
  }
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), QStringLiteral("Show in system tray"));
  QTest::mouseClick(text, Qt::LeftButton);
  EXPECT_FALSE(page.state.settings.showInMenuBar());
}

TEST(SettingsView, TheGeneralSectionSaysWhatEachSettingDoes) {
  SettingsPage page;
  const QStringList texts = test::visibleTexts(&page.view);
  for (const char* expected :
       {"Keeps the repository's .git/worktrees metadata consistent. Only runs for registered "
        "worktrees, with a 10 second limit.",
        "If the desktop shows no tray icon, use Ctrl+Shift+C to open Quick Clean",
        "Quick Clean always skips review items, items modified in the last 7 days, and items "
        "whose owning app is running.",
        "History file", "Updates", "Version"}) {
    EXPECT_TRUE(texts.contains(QString::fromUtf8(expected))) << expected;
  }
  // The history file's fixed place, with the home folder written "~"; display only.
  auto* file = page.find<ElidedLabel>("historyFile");
  EXPECT_EQ(file->text(), QStringLiteral("~/.local/share/Harborlume/history.json"));
  EXPECT_EQ(qtext(HistoryStore::defaultURL()),
            QDir::homePath() + QStringLiteral("/.local/share/Harborlume/history.json"));
  // The permission does not exist here: no section, note, status or button names it.
  for (const QString& text : texts) {
    EXPECT_FALSE(text.startsWith(QStringLiteral("Reading the size of"))) << text.toStdString();
    EXPECT_NE(text, QStringLiteral("Full Disk Access"));
    EXPECT_FALSE(text.contains(QStringLiteral("macOS"))) << text.toStdString();
  }
  for (auto* button : page.view.findChildren<QPushButton*>()) {
    EXPECT_FALSE(button->text().contains(QStringLiteral("Full Disk Access"))) << button->text().toStdString();
  }
}

TEST(SettingsView, TheRemovalLineFollowsDeleteImmediatelyLive) {
  SettingsPage page;
  auto* warning = page.find<QWidget>("permanentWarning");
  auto* note = page.find<QLabel>("trashOnlyNote");
  EXPECT_EQ(note->text(), QStringLiteral("Items are only ever moved to the Trash."));
  EXPECT_TRUE(test::visibleTexts(warning).contains(
      QStringLiteral("Cleaned items are deleted permanently and cannot be recovered.")));
  for (bool permanent : {true, false, true}) {
    QTest::mouseClick(page.find<QCheckBox>("deleteImmediately"), Qt::LeftButton);
    ASSERT_EQ(page.state.settings.deleteImmediately(), permanent);
    EXPECT_EQ(warning->isVisibleTo(&page.view), permanent);
    EXPECT_EQ(note->isVisibleTo(&page.view), !permanent);
  }
  // The warning is red: the colour of a locked chip's title.
  QLabel* text = warning->findChild<QLabel*>();
  const QPalette& shownIn = text->parentWidget()->palette();
  EXPECT_EQ(text->palette().color(text->foregroundRole()),
            PaletteColors::textOn(PaletteColors::tint(StatusTint::locked, shownIn), shownIn));
}

TEST(SettingsView, RescanNowInCustomPathsIsNotForced) {
  SettingsPage page;
  EXPECT_EQ(page.view.findChild<QPushButton*>(QStringLiteral("rescan")), nullptr);
  auto* rescanNow = page.find<QPushButton>("rescanNow");
  EXPECT_EQ(rescanNow->text(), QStringLiteral("Rescan Now"));
  page.view.setSection(SettingsSection::customPaths);
  QTest::mouseClick(rescanNow, Qt::LeftButton);
  EXPECT_EQ(page.rescans, (std::vector<bool>{false}));
}

TEST(SettingsView, AddFolderStoresEachNewChoiceInCanonicalFormAndStartsNoScan) {
  SettingsPage page;
  page.view.setSection(SettingsSection::customPaths);
  SettingsStore& settings = page.state.settings;
  const std::string home = page.state.home();
  struct Step {
    std::optional<QStringList> chosen;
    Paths stored;
  };
  const std::vector<Step> steps = {
      // Cancelled: nothing changes.
      {std::nullopt, {}},
      // Two at once, in the dialog's order.
      {QStringList{qtext(home + "/zeta"), qtext(home + "/alpha/")}, {home + "/zeta", home + "/alpha"}},
      // One already listed (written differently) adds nothing; the new one is canonical.
      {QStringList{qtext(home + "/./alpha"), QStringLiteral("/private/tmp/build/../cache/")},
       {home + "/zeta", home + "/alpha", "/tmp/cache"}},
      {QStringList{QStringLiteral("/private/var/log"), QStringLiteral("/private/etc//x/.")},
       {home + "/zeta", home + "/alpha", "/tmp/cache", "/var/log", "/etc/x"}},
  };
  for (const Step& step : steps) {
    page.answers = {step.chosen};
    QTest::mouseClick(page.find<QPushButton>("addFolder"), Qt::LeftButton);
    EXPECT_EQ(settings.extraPaths(), step.stored);
  }
  EXPECT_EQ(page.asked, 4);
  EXPECT_TRUE(page.rescans.empty());
  EXPECT_TRUE(page.warnings.empty());
  // Written through: the file lists them in order.
  EXPECT_NE(page.file().find("extraPaths=" + home + "/zeta, " + home + "/alpha, /tmp/cache"),
            std::string::npos)
      << page.file();
}

TEST(SettingsView, AFolderWhoseNameTheDialogCouldNotDecodeIsNotStoredAndTheUserIsTold) {
  SettingsPage page;
  const std::string home = page.state.home();
  // A name that is not UTF-8 reaches the page with a replacement character: storing that text
  // would name a folder that does not exist.
  const QString garbled = qtext(home + "/caf") + QChar(QChar::ReplacementCharacter);
  page.answers = {QStringList{garbled, qtext(home + "/ok")}};
  page.view.addFolder();
  EXPECT_EQ(page.state.settings.extraPaths(), (Paths{home + "/ok"}));
  ASSERT_EQ(page.warnings.size(), 1u);
  EXPECT_EQ(page.warnings[0].first, QStringLiteral("Folder not added"));
  EXPECT_TRUE(page.warnings[0].second.endsWith(garbled)) << page.warnings[0].second.toStdString();

  // A real folder whose UTF-8 name holds that character is kept.
  const QString real = qtext(home + "/odd") + QChar(QChar::ReplacementCharacter);
  ASSERT_TRUE(QDir().mkpath(real));
  page.answers = {QStringList{real}};
  page.view.addFolder();
  EXPECT_EQ(page.state.settings.extraPaths().back(), real.toStdString());
  EXPECT_EQ(page.warnings.size(), 1u);
}

TEST(SettingsView, CustomPathsShowAbbreviatedWithTheStoredTextAsTooltipAndCanBeRemoved) {
  SettingsPage page;
  page.view.setSection(SettingsSection::customPaths);
  const std::string home = page.state.home();
  page.state.settings.setExtraPaths({home, home + "/code/<b>x", "/srv/data", home + "x"});
  PathListView* list = page.customPaths();
  ASSERT_EQ(list->rowCount(), 4);
  const std::vector<QString> shown = {"~", "~/code/<b>x", "/srv/data", qtext(home + "x")};
  for (int row = 0; row < list->rowCount(); ++row) {
    EXPECT_EQ(list->pathLabel(row)->text(), shown[static_cast<std::size_t>(row)]);
    EXPECT_EQ(list->pathLabel(row)->toolTip(),
              plainToolTip(page.state.settings.extraPaths()[static_cast<std::size_t>(row)]));
    EXPECT_EQ(list->button(row)->text(), QStringLiteral("Remove"));
  }
  EXPECT_FALSE(list->isPlaceholderShown());

  QTest::mouseClick(list->button(1), Qt::LeftButton);
  EXPECT_EQ(page.state.settings.extraPaths(), (Paths{home, "/srv/data", home + "x"}));
  EXPECT_EQ(page.file().find("<b>x"), std::string::npos);
  EXPECT_TRUE(page.rescans.empty());
  EXPECT_EQ(list->rowCount(), 3);
}

TEST(SettingsView, NoCustomPathsShowsItsPlaceholderAndKeepsBothButtons) {
  SettingsPage page;
  page.view.setSection(SettingsSection::customPaths);
  PathListView* list = page.customPaths();
  EXPECT_TRUE(list->isPlaceholderShown());
  auto* placeholder = dynamic_cast<EmptyStateView*>(list->placeholder());
  ASSERT_NE(placeholder, nullptr);
  EXPECT_EQ(placeholder->titleLabel()->text(), QStringLiteral("No custom paths"));
  EXPECT_EQ(placeholder->symbol(), "folder.badge.plus");
  EXPECT_EQ(placeholder->messageLabel(), nullptr);
  EXPECT_TRUE(page.find<QPushButton>("addFolder")->isEnabled());
  EXPECT_TRUE(page.find<QPushButton>("rescanNow")->isEnabled());
  EXPECT_EQ(page.find<QPushButton>("addFolder")->text(), QStringLiteral("Add Folder\u2026"));

  page.state.settings.addExtraPath("/srv/a");
  EXPECT_FALSE(list->isPlaceholderShown());
  page.state.settings.removeExtraPath("/srv/a");
  EXPECT_TRUE(list->isPlaceholderShown());
}

TEST(SettingsView, TheUpdateButtonFollowsTheBoxAndItsUpdater) {
  BoxReset reset;
  SettingsPage page;
  auto* check = page.find<QPushButton>("checkForUpdates");
  EXPECT_EQ(check->text(), QStringLiteral("Check for Updates\u2026"));
  EXPECT_FALSE(check->isEnabled());  // no updater in a process that hosts tests

  auto updater = std::make_shared<FakeUpdater>();
  Updater::box().setCurrent(updater);
  EXPECT_TRUE(check->isEnabled());
  QTest::mouseClick(check, Qt::LeftButton);
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_EQ(updater->checkForUpdatesCallCount(), 2);

  updater->setCanCheckForUpdates(false);
  EXPECT_FALSE(check->isEnabled());
  QTest::mouseClick(check, Qt::LeftButton);
  EXPECT_EQ(updater->checkForUpdatesCallCount(), 2);
  updater->setCanCheckForUpdates(true);
  EXPECT_TRUE(check->isEnabled());

  // The automatic-check switch reaches the updater through the settings.
  updater->setAutomaticallyChecksForUpdates(true);
  QTest::mouseClick(page.find<QCheckBox>("checkForUpdatesAutomatically"), Qt::LeftButton);
  EXPECT_FALSE(updater->automaticallyChecksForUpdates());

  Updater::box().setCurrent(nullptr);
  EXPECT_FALSE(check->isEnabled());
}

TEST(SettingsView, VersionTextShowsTheBuildOnlyWhenItDiffers) {
  struct Case {
    std::optional<std::string_view> shortVersion;
    std::optional<std::string_view> build;
    QString text;
  };
  const std::vector<Case> cases = {
      {"3.0", "3.0", "3.0"},
      {"3.0", "41", "3.0 (41)"},
      {"2.1", "57", "2.1 (57)"},
      {std::nullopt, std::nullopt, "?"},
      {"3.0", std::nullopt, "3.0 (?)"},
      {std::nullopt, "41", "? (41)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SettingsView::versionText(c.shortVersion, c.build), c.text) << c.text.toStdString();
  }
  SettingsPage page;
  EXPECT_EQ(page.find<QLabel>("version")->text(), SettingsView::versionText());
  EXPECT_FALSE(SettingsView::versionText().contains(QLatin1Char('?')));
}

}  // namespace
}  // namespace hl
