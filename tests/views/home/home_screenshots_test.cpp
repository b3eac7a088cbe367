#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "views/home/group_details_view.h"
#include "views/home/home_fixture.h"
#include "views/home/home_modals.h"
#include "views/home/home_samples.h"
#include "views/home/items_table.h"
#include "views/screenshot_support.h"

namespace hl {
namespace {

void save(QWidget& widget, const char* name) {
  // What arrived posts its own layout requests: let both rounds through.
  QApplication::processEvents();
  QApplication::processEvents();
  test::saveScreenshot(widget.grab().toImage(), QString::fromUtf8(name));
}

// Every content state of the Home page, its tabs, the table at two widths and the three modal
// surfaces, saved for a look at what was built.
TEST(HomeScreenshots, EveryStateTabAndSurface) {
  for (const bool dark : {false, true}) {
    const test::AppPalette palette(dark ? test::darkPalette() : test::lightPalette());
    const QString suffix = dark ? QStringLiteral("-dark") : QString();
    const auto name = [&](const char* base) { return (QString::fromUtf8(base) + suffix).toStdString(); };

    test::PageHarness h;
    const std::string home = h.scratch;
    h.main().details()->setEvidenceRunner([](std::function<void()> job) { job(); });
    test::showAt(*h.page, 1280, 820);
    if (!dark) save(*h.page, "home-not-scanned");

    h->rescan(true);
    h.executor->settle();
    QApplication::processEvents();
    if (!dark) save(*h.page, "home-scanning");

    h.deliver(CacheScanEvent::Discovered{test::sampleHome(home, test::referenceDate()), {}});
    h.deliver(CacheScanEvent::Finished{Seconds(1)});
    h.endRun();
    h.executor->settle();
    h->setChecked(home + "/.npm/_cacache", true);
    h->setChecked(home + "/.cache/pip", true);
    save(*h.page, name("home-results").c_str());
    if (dark) continue;

    h.page->resize(1000, 760);
    h->setSelectedGroup(CacheGroup::projects);
    h->setShowAllProjects(true);
    save(*h.page, "home-projects-medium");
    h.page->resize(900, 760);
    h->setSelectedGroup(CacheGroup::aiWorktrees);
    save(*h.page, "home-worktrees-narrow");

    h.page->resize(1280, 820);
    h->setSelectedGroup(CacheGroup::projects);
    h->setShowAllProjects(false);
    h.settings.setExcludedPaths({home + "/code/atlas/target"});
    save(*h.page, "home-nothing-found");
    h.settings.setExcludedPaths({home + "/code/atlas/target", "/opt/<b>shared"});
    h->setTab(HomeTab::excluded);
    save(*h.page, "home-excluded");
    h.settings.setExcludedPaths({});

    h->setSelectedGroup(std::nullopt);
    h->setDetailItemID(home + "/code/atlas/.claude/worktrees/fix-login");
    h->setTab(HomeTab::details);
    save(*h.page, "home-details");
    h->setSelectedGroup(CacheGroup::packageCaches);
    save(*h.page, "home-details-group");

    h->setSelectedGroup(std::nullopt);
    h->setTab(HomeTab::items);
    InUseEvaluation unverifiable;
    unverifiable.verification = VerificationState::unavailable("the process list could not be read");
    for (const CacheItem& item : h->items()) unverifiable.reasons[item.id] = "cannot verify in-use state";
    h.deliver(CacheScanEvent::InUse{unverifiable});
    h.executor->settle();
    save(*h.page, "home-unavailable");
  }
}

TEST(HomeScreenshots, ModalSurfaces) {
  const test::AppPalette palette(test::lightPalette());
  test::PageHarness h;
  const std::string home = h.scratch;
  test::showAt(*h.page, 1100, 760);
  h.scanWith(test::sampleHome(home, test::referenceDate()));
  h->setChecked(home + "/.npm/_cacache", true);
  h->setChecked(home + "/.cache/pip", true);
  h->setChecked(home + "/code/web/.claude/worktrees/docs", true);
  h->requestTrash();
  h.executor->settle();
  ConfirmTrashSheet* sheet = h.main().modals()->sheet();
  ASSERT_NE(sheet, nullptr);
  save(*sheet, "home-sheet");
  h->setPendingPlan(std::nullopt);

  h->requestAction(*h->item(home + "/Library/pnpm/store"));
  h.executor->settle();
  ASSERT_NE(h.main().modals()->toolDialog(), nullptr);
  save(*h.main().modals()->toolDialog(), "home-tool-dialog");
  h->setPendingAction(std::nullopt);

  h->setResultMessage("Cleaned 3 items (6.16 GB). Space is reclaimed when you empty the Trash.");
  ASSERT_NE(h.main().modals()->resultAlert(), nullptr);
  save(*h.main().modals()->resultAlert(), "home-result-alert");
}

TEST(HomeScreenshots, TableAtTwoWidths) {
  const test::AppPalette palette(test::lightPalette());
  test::HomeHarness h;
  const std::string home = h.scratch;
  h.scan(test::sampleHome(home, test::referenceDate()));
  h->setChecked(home + "/.npm/_cacache", true);
  h->setTableSelection({home + "/.cache/pip"});
  ItemsTable table(*h);
  table.setClock(h.wall.clock());
  test::showAt(table, 1000, 720);
  save(table, "home-table-wide");
  table.resize(720, 520);
  save(table, "home-table-narrow");
}

}  // namespace
}  // namespace hl
