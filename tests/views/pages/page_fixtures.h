#pragma once

#include <QLabel>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "models/history_entry.h"
#include "platform/user_folders.h"
#include "support/manual_clock.h"
#include "support/test_environment.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/history_view_model.h"
#include "viewmodels/settings_store.h"
#include "views/shared/sidebar_list.h"
#include "views/shared/text.h"

namespace hl::test {

// The state objects the secondary pages show, over this test's fake home: settings in a file
// of their own, an activity log on a manual clock, a history whose file is never written.
struct PageState {
  std::string settingsFile = makeScratchFolder("settings") + "/Harborlume.conf";
  SettingsStore settings{settingsFile};
  ManualWallClock clock{referenceDate()};
  ActivityLog activity{clock.clock()};
  HistoryViewModel history{std::make_shared<HistoryStore>(makeScratchFolder("data") +
                                                          "/history.json"),
                           activity, clock.clock()};

  std::string home() const { return homeDirectory(); }
};

inline HistoryEntry historyEntry(std::string category, Date date, std::vector<std::string> paths,
                                 std::int64_t bytesFreed, bool permanent,
                                 std::vector<HistoryEntry::Failure> failures = {}) {
  return HistoryEntry::make(UUID::random(), date, std::move(category), std::move(paths),
                            bytesFreed, std::move(failures), "Home", permanent);
}

// The text the settings file holds now, as another program would read it.
inline std::string settingsText(const std::string& file) {
  FILE* stream = std::fopen(file.c_str(), "r");
  if (!stream) return {};
  std::string text;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, stream)) text.append(buffer, n);
  std::fclose(stream);
  return text;
}

// Clicks row `row` of a sidebar list (beside the rows when -1), as the user does.
inline void clickRow(SidebarList* list, int row, Qt::KeyboardModifiers modifiers = {}) {
  const QPoint where = row < 0 ? QPoint(list->viewport()->width() / 2,
                                         list->viewport()->height() - 4)
                               : list->visualItemRect(list->item(row)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, where);
}

// The texts of every visible label below `widget`, in creation order.
inline QStringList visibleTexts(const QWidget* widget) {
  QStringList texts;
  for (const QLabel* label : widget->findChildren<QLabel*>()) {
    if (label->isVisibleTo(widget) && !label->text().isEmpty()) texts.append(label->text());
  }
  return texts;
}

}  // namespace hl::test
