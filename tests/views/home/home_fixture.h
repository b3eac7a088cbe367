#pragma once

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "state/cleaner/guarded_fakes.h"
#include "views/home/home_main_view.h"
#include "views/home/home_page.h"
#include "views/home/items_table.h"
#include "views/home/items_table_model.h"

namespace hl::test {

// A cleaner whose removal service has an open gate (the test host otherwise puts every removal
// control in read-only mode), its guarded steps faked and its clocks and executor driven by the
// test.
struct HomeHarness : Guarded {
  HomeHarness() = default;
  explicit HomeHarness(DestructiveGate gate) : Guarded(std::move(gate)) {}

  // A measured item; `size` none leaves it unmeasured.
  static CacheItem item(const std::string& path, std::optional<std::int64_t> size = 1000,
                        CacheGroup group = CacheGroup::packageCaches,
                        RiskLevel risk = RiskLevel::safe) {
    return makeItem(path, group, risk, size);
  }
};

// The Home page in a plain window over a harnessed cleaner, its clocks the harness's and its
// evidence gathered when the test says.
struct PageHarness : HomeHarness {
  explicit PageHarness(DestructiveGate gate = DestructiveGate::open()) : HomeHarness(std::move(gate)) {
    page = std::make_unique<HomePage>(**this, settings);
    page->mainView()->setClocks(monotonic.clock(), wall.clock());
    tester = std::make_unique<QAbstractItemModelTester>(
        page->mainView()->table()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }
  HomeMainView& main() { return *page->mainView(); }

  // A scan that found `items`, with in-use answers delivered before it ends.
  void scanWith(std::vector<CacheItem> items, std::optional<InUseEvaluation> inUse = std::nullopt) {
    (*this)->rescan(true);
    deliver(CacheScanEvent::Discovered{std::move(items), {}});
    if (inUse) deliver(CacheScanEvent::InUse{*inUse});
    deliver(CacheScanEvent::Finished{Seconds(1)});
    endRun();
    executor->settle();
    QApplication::processEvents();
  }

  std::unique_ptr<HomePage> page;
  // Ends before the page: checks the table's model through everything the test does.
  std::unique_ptr<QAbstractItemModelTester> tester;
};

// The entries of a menu as shown: a title per action ("—" for a divider) and its enabled state.
struct ShownEntry {
  std::string title;
  bool enabled;
  bool operator==(const ShownEntry&) const = default;
};

inline std::vector<ShownEntry> shownEntries(const QMenu& menu) {
  std::vector<ShownEntry> entries;
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      entries.push_back({"\u2014", true});
    } else {
      entries.push_back({action->text().toStdString(), action->isEnabled()});
    }
  }
  return entries;
}

inline QAction* actionTitled(const QMenu& menu, const QString& title) {
  for (QAction* action : menu.actions()) {
    if (action->text() == title) return action;
  }
  return nullptr;
}

// Shows a top-level widget at a size and lets it lay itself out.
inline void showAt(QWidget& widget, int width, int height) {
  widget.resize(width, height);
  widget.show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(&widget));
  QApplication::processEvents();
}

}  // namespace hl::test
