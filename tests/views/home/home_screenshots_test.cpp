#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "views/home/group_details_view.h"
#include "views/home/home_fixture.h"
#include "views/home/home_header.h"
#include "views/home/home_modals.h"
#include "views/home/home_samples.h"
#include "views/home/items_table.h"
#include "views/home/selection_summary_card.h"
#include "views/shared/destructive_button.h"
#include "views/screenshot_support.h"
#include "views/shared/palette_colors.h"

namespace hl {
namespace {

using PaletteColors::contrast;

void save(QWidget& widget, const char* name) {
  test::saveScreenshot(test::grabSettled(widget), QString::fromUtf8(name));
}

// A button's face beside its label half-way down, and its label's ink: the colour farthest from
// the face.
std::pair<QColor, QColor> faceAndInk(const QImage& image, const QWidget& around,
                                     const QWidget& button) {
  const QRect inside =
      QRect(button.mapTo(&around, QPoint(0, 0)), button.size()).adjusted(3, 3, -3, -3);
  const QColor face = image.pixelColor(inside.left(), inside.center().y());
  QColor ink = face;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (contrast(pixel, face) > contrast(ink, face)) ink = pixel;
    }
  }
  return {face, ink};
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

    // Nothing safe to select in a group of Moderate rows: "Select all safe" turned off looks
    // as "Deselect" turned off beside it does, faded, not a face to press or one held down.
    h->setSelectedGroup(CacheGroup::projects);
    h->setShowAllProjects(true);
    QApplication::processEvents();
    HomeHeader& header = *h.main().header();
    ASSERT_FALSE(header.selectSafeButton()->isEnabled());
    ASSERT_FALSE(header.deselectButton()->isEnabled());
    const QImage grabbed = test::grabSettled(header).convertToFormat(QImage::Format_RGB32);
    test::saveScreenshot(grabbed, QString::fromStdString(name("home-header-turned-off")));
    const auto [safeFace, safeInk] = faceAndInk(grabbed, header, *header.selectSafeButton());
    const auto [deselectFace, deselectInk] = faceAndInk(grabbed, header, *header.deselectButton());
    EXPECT_LT(contrast(safeFace, deselectFace), 1.03);
    EXPECT_LT(contrast(safeInk, deselectInk), 1.2);
    EXPECT_LT(contrast(safeInk, safeFace), 3.0);
    h->setSelectedGroup(std::nullopt);
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

// The table with an approximate size of each width and unticked rows, light and dark, and the
// details of an item whose name runs to 80 characters, at the width the smallest window gives.
TEST(HomeScreenshots, SizesOfEveryWidthAndALongName) {
  for (const bool dark : {false, true}) {
    const test::AppPalette palette(dark ? test::darkPalette() : test::lightPalette());
    test::PageHarness h;
    const std::string home = h.scratch;
    test::showAt(*h.page, 780, 620);
    std::vector<CacheItem> items;
    for (const auto& [name, size] : std::vector<std::pair<std::string, std::int64_t>>{
             {"backup.tar", 123'450'000'000},
             {"target", 812'300'000},
             {"node_modules", 188'700'000},
             {"thumbnails", 999'400},
             {"lock", 999},
             {"archive", 9'990'000'000'000}}) {
      CacheItem item = test::HomeHarness::item(home + "/cache/" + name, size);
      item.isApproximate = true;
      items.push_back(item);
    }
    CacheItem unreadable = test::HomeHarness::item(home + "/cache/private", 5);
    unreadable.isUnreadable = true;
    items.push_back(unreadable);
    const std::string longName(80, 'n');
    items.push_back(test::HomeHarness::item(
        home + "/code/" + longName.substr(0, 30) + "-" + longName.substr(31), 512'000'000));
    h.scanWith(items);
    save(*h.page, dark ? "home-table-sizes-dark" : "home-table-sizes");
    if (dark) continue;
    h->setDetailItemID(items.back().id);
    h->setTab(HomeTab::details);
    save(*h.page, "home-details-long-name");
  }
}

// The sheet opened by Space on the footer's button shows where the keyboard is: the ring around
// its list of rows, light and dark, until Tab takes the keyboard on.
TEST(HomeScreenshots, ModalSurfaces) {
  for (const bool dark : {false, true}) {
    const QPalette colours = dark ? test::darkPalette() : test::lightPalette();
    const test::AppPalette palette(colours);
    test::PageHarness h;
    const std::string home = h.scratch;
    test::showAt(*h.page, 1100, 760);
    QApplication::setActiveWindow(h.page.get());
    h.scanWith(test::sampleHome(home, test::referenceDate()));
    h->setChecked(home + "/.npm/_cacache", true);
    h->setChecked(home + "/.cache/pip", true);
    h->setChecked(home + "/code/web/.claude/worktrees/docs", true);
    QApplication::processEvents();
    QWidget* button = h.main().summaryCard()->removalButton();
    button->setFocus(Qt::TabFocusReason);
    QTest::keyClick(button, Qt::Key_Space);
    h.executor->settle();
    ConfirmTrashSheet* sheet = h.main().modals()->sheet();
    ASSERT_NE(sheet, nullptr);
    const QImage shot = test::grabSettled(*sheet);
    test::saveScreenshot(shot, dark ? QStringLiteral("home-sheet-dark") : QStringLiteral("home-sheet"));
    ASSERT_TRUE(sheet->rowList()->hasFocus());
    EXPECT_TRUE(test::ringsAround(shot, sheet->rowList()->geometry(),
                                  PaletteColors::focusRing(colours)))
        << (dark ? "dark" : "light");
    // It goes with the keyboard, to Cancel's own.
    QTest::keyClick(sheet->rowList(), Qt::Key_Tab);
    ASSERT_TRUE(sheet->cancelButton()->hasFocus());
    EXPECT_FALSE(test::ringsAround(test::grabSettled(*sheet), sheet->rowList()->geometry(),
                                   PaletteColors::focusRing(colours)));
    h->setPendingPlan(std::nullopt);
    if (dark) continue;
    h->requestAction(*h->item(home + "/Library/pnpm/store"));
    h.executor->settle();
    ASSERT_NE(h.main().modals()->toolDialog(), nullptr);
    save(*h.main().modals()->toolDialog(), "home-tool-dialog");
    h->setPendingAction(std::nullopt);

    h->setResultMessage("Cleaned 3 items (6.16 GB). Space is reclaimed when you empty the Trash.");
    ASSERT_NE(h.main().modals()->resultAlert(), nullptr);
    save(*h.main().modals()->resultAlert(), "home-result-alert");
  }
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
