// The Home page's Details tab in the smallest window, in a light and a dark palette, over a
// Linux home: the whole window for "All reclaimable" and for each group chosen, and the pane's
// whole column at the width that window gives it. Saved for a look at what was built.

#include <gtest/gtest.h>

#include <QScrollArea>
#include <algorithm>

#include "application_harness.h"
#include "views/home/group_details_view.h"
#include "views/home/home_main_view.h"
#include "views/screenshot_support.h"
#include "views/shell/root_view.h"

namespace hl {
namespace {

// What a developer's Linux home holds: caches in their Linux places, one with a tool's cleanup;
// `more` found besides.
void fill(test::ProgramHarness& h, std::vector<CacheItem> more = {}) {
  CacheItem pnpm = h.item(".local/share/pnpm/store", 3'100'000'000);
  pnpm.action = NativeAction{NativeAction::Tool::pnpm};
  h->settings().setExtraPaths({h.folders / "data/exports"});
  more.insert(more.end(), {
      pnpm,
      h.item(".cache/pip", 1'204'000'000),
      h.item(".claude/debug", 96'000'000, CacheGroup::buildTools, RiskLevel::moderate),
      h.item("miniconda3/pkgs", 5'400'000'000, CacheGroup::largeBackups, RiskLevel::review),
      h.item(".local/share/Trash", 2'950'000'000, CacheGroup::trash, RiskLevel::review),
  });
  h.scanCleaner(std::move(more));
}

TEST(DetailsScreenshots, TheDetailsTabOfTheSmallestWindowInLightAndDark) {
  for (const auto& [palette, suffix] : test::lightAndDark()) {
    const test::AppPalette applied(palette);
    test::ProgramHarness h;
    ASSERT_TRUE(h.launch());
    fill(h);
    h->setPage(Page::home);
    h.cleaner().setTab(HomeTab::details);
    h.window().resize(1040, 680);
    QApplication::processEvents();
    const auto save = [&](const QString& name) {
      const QImage image = test::grabSettled(h.window());
      EXPECT_EQ(image.size() / image.devicePixelRatio(), QSize(1040, 680));
      test::saveScreenshot(image, QStringLiteral("details-smallest-%1-%2")
                                      .arg(name, QLatin1String(suffix)));
    };
    save(QStringLiteral("all"));
    for (CacheGroup group : {CacheGroup::packageCaches, CacheGroup::buildTools,
                             CacheGroup::systemCaches, CacheGroup::largeBackups}) {
      h.cleaner().setSelectedGroup(group);
      save(QString::fromLatin1(rawValue(group).data(), rawValue(group).size()));
    }

    // Every card, at the width the smallest window gives the pane.
    h.cleaner().setSelectedGroup(std::nullopt);
    QApplication::processEvents();
    GroupDetailsView* details =
        static_cast<HomeMainView*>(h.window().rootView()->mainView(Page::home))->details();
    test::grabSettled(h.window());
    QWidget& column = *details->widget();
    EXPECT_EQ(column.width(), details->viewport()->width());
    column.resize(column.width(), column.sizeHint().height());
    // In parts a screen's height tall, to be read at their own size.
    const QImage whole = test::grabSettled(column);
    const int part = int(800 * whole.devicePixelRatio());
    for (int top = 0, n = 0; top < whole.height(); top += part, ++n) {
      test::saveScreenshot(whole.copy(0, top, whole.width(), std::min(part, whole.height() - top)),
                           QStringLiteral("details-smallest-column-%1-%2")
                               .arg(QLatin1String(suffix))
                               .arg(n));
    }

    // A home that has Xcode's folders: the group is listed, with the rows found.
    CacheItem derived = h.item("Library/Developer/Xcode/DerivedData/App-abc", 8'200'000'000,
                               CacheGroup::xcode);
    derived.discoveryRoot = h.folders / "Library/Developer/Xcode/DerivedData";
    fill(h, {derived});
    h.cleaner().setSelectedGroup(CacheGroup::xcode);
    save(QStringLiteral("xcode"));
  }
}

}  // namespace
}  // namespace hl
