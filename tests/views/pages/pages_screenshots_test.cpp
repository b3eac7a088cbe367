#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>

#include "views/pages/activity_page.h"
#include "views/pages/history_page.h"
#include "views/pages/page_fixtures.h"
#include "views/pages/settings_page.h"
#include "views/screenshot_support.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"
#include "views/shared/text.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

using test::AppPalette;
using test::darkPalette;
using test::lightPalette;

// The page as the window shows it: the sidebar column beside the main column.
std::unique_ptr<QWidget> framed(QWidget* sidebar, QWidget* main) {
  auto frame = std::make_unique<QWidget>();
  frame->setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(frame.get());
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  sidebar->setFixedWidth(240);
  layout->addWidget(sidebar);
  main->setAutoFillBackground(true);
  main->setBackgroundRole(QPalette::Base);
  layout->addWidget(main, 1);
  frame->resize(980, 640);
  return frame;
}

void shoot(QWidget& frame, const QString& name) {
  frame.show();
  QCoreApplication::processEvents();
  test::saveScreenshot(test::grabSettled(frame), name);
}

void fill(test::PageState& state) {
  const std::string home = state.home();
  state.settings.setExtraPaths({home + "/Developer/monorepo/.turbo", home + "/datasets/cache",
                                "/srv/builds/artifacts/nightly/very/deep/folder/structure/x86_64"});
  state.settings.setExcludedPaths({home + "/.cache/huggingface", home + "/code/site/node_modules",
                                   "/opt/toolchains/<b>x"});

  const Date start = test::referenceDate();
  state.clock.set(start);
  state.activity.log(ActivityEvent::Kind::scan, "Scan started");
  state.clock.advance(4s);
  state.activity.log(ActivityEvent::Kind::scan, "Scan finished: 48 items, 23.4 GB reclaimable");
  state.clock.advance(1min);
  state.activity.log(ActivityEvent::Kind::cleanup, "Moved 6 items to the Trash (4.21 GB).");
  state.clock.advance(30s);
  state.activity.log(ActivityEvent::Kind::tool, "Running npm cache clean --force");
  state.activity.log(ActivityEvent::Kind::tool,
                     "npm warn using --force Recommended protections disabled.");
  state.clock.advance(2min);
  state.activity.log(ActivityEvent::Kind::error,
                     "Could not move " + home +
                         "/code/app/.claude/worktrees/feature-login/node_modules/.cache to the "
                         "Trash: permission denied");
  state.activity.log(ActivityEvent::Kind::scan, "Refreshing items");

  std::vector<HistoryEntry> entries;
  entries.push_back(test::historyEntry("Package caches", start - 72h,
                                       {home + "/.npm/_cacache", home + "/.cache/pip"},
                                       3'480'000'000, false));
  entries.push_back(test::historyEntry("Projects", start - 26h,
                                       {home + "/code/site/node_modules",
                                        home + "/code/api/target", home + "/code/app/.next"},
                                       1'240'500'000, false,
                                       {{home + "/code/api/target/debug/build.lock",
                                         "in use by cargo (pid 4312)"},
                                        {home + "/code/app/.next/cache", "Permission denied"}}));
  entries.push_back(test::historyEntry("AI worktrees", start - 2h,
                                       {home + "/.claude/worktrees/feature-login"}, 734'000'000,
                                       true));
  entries.push_back(test::historyEntry("Build tools", start - 2h, {home + "/.gradle/caches"}, 0,
                                       true));
  state.history.setEntries(entries);
}

TEST(PagesScreenshots, EveryPageInLightAndDark) {
  Updater::box().setCurrent(std::make_shared<FakeUpdater>());
  for (const auto& [palette, suffix] : test::lightAndDark()) {
    const AppPalette applied(palette);
    test::PageState state;
    fill(state);
    for (SettingsSection section : allSettingsSections) {
      auto* sidebar = new SettingsSidebar;
      auto* view = new SettingsView(state.settings, {});
      sidebar->setSection(section);
      view->setSection(section);
      auto frame = framed(sidebar, view);
      if (section == SettingsSection::general) frame->resize(980, 760);
      shoot(*frame, QStringLiteral("settings-%1-%2")
                        .arg(qtext(rawValue(section)).replace(QLatin1Char(' '), QLatin1Char('-')).toLower(),
                             QLatin1String(suffix)));
    }
    {
      auto frame = framed(new ActivitySidebar(state.activity), new ActivityView(state.activity));
      shoot(*frame, QStringLiteral("activity-%1").arg(QLatin1String(suffix)));
    }
    {
      auto frame = framed(new HistorySidebar(state.history), new HistoryView(state.history));
      shoot(*frame, QStringLiteral("history-table-%1").arg(QLatin1String(suffix)));
      state.history.setSelectedEntryID(state.history.entries()[1].id);
      shoot(*frame, QStringLiteral("history-entry-%1").arg(QLatin1String(suffix)));
    }
  }
  {
    // Narrow and short: the form wraps its notes and scrolls.
    test::PageState state;
    fill(state);
    state.settings.setDeleteImmediately(true);
    auto frame = framed(new SettingsSidebar, new SettingsView(state.settings, {}));
    frame->resize(640, 480);
    shoot(*frame, QStringLiteral("settings-general-narrow"));
    auto history = framed(new HistorySidebar(state.history), new HistoryView(state.history));
    history->resize(640, 420);
    shoot(*history, QStringLiteral("history-table-narrow"));
  }
  test::PageState empty;
  {
    auto frame = framed(new ActivitySidebar(empty.activity), new ActivityView(empty.activity));
    shoot(*frame, QStringLiteral("activity-empty"));
  }
  {
    auto frame = framed(new HistorySidebar(empty.history), new HistoryView(empty.history));
    shoot(*frame, QStringLiteral("history-empty"));
  }
  {
    auto* sidebar = new SettingsSidebar;
    auto* view = new SettingsView(empty.settings, {});
    sidebar->setSection(SettingsSection::customPaths);
    view->setSection(SettingsSection::customPaths);
    shoot(*framed(sidebar, view), QStringLiteral("settings-custom-paths-empty"));
  }
  Updater::box().setCurrent(nullptr);
}

}  // namespace
}  // namespace hl
