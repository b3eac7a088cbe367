#pragma once

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "state/cleaner/guarded_fakes.h"

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
