#pragma once

#include <QWidget>
#include <optional>

#include "models/history_entry.h"
#include "views/shared/sidebar_list.h"

class QLabel;
class QListWidget;
class QStackedWidget;
class QTableWidget;

namespace hl {

class HistoryViewModel;
class PlaceholderOverlay;
class StatusTag;

// The History page's sidebar: the recorded cleanups, newest first, each with its category, date
// and freed bytes. Picking one shows its details; clearing the selection (Ctrl+click on it, a
// click beside the rows, Escape) brings the table back.
class HistorySidebar : public PageSidebar {
  Q_OBJECT

 public:
  // `history` must outlive the sidebar.
  explicit HistorySidebar(HistoryViewModel& history, QWidget* parent = nullptr);

 private:
  void refresh();
  void showSelected();

  HistoryViewModel& history_;
};

// The History page's main column: the table of every cleanup, or the details of the one
// selected in the sidebar. It only reads: nothing can be edited, deleted or restored here.
class HistoryView : public QWidget {
  Q_OBJECT

 public:
  // `history` must outlive the view.
  explicit HistoryView(HistoryViewModel& history, QWidget* parent = nullptr);

  bool showsDetails() const;

  // Table mode.
  QLabel* locationLabel() const { return location_; }
  QTableWidget* table() const { return table_; }
  bool isPlaceholderShown() const;
  QWidget* placeholder() const;

  // Detail mode.
  QLabel* categoryLabel() const { return category_; }
  StatusTag* removalTag() const { return removal_; }
  QLabel* summaryLabel() const { return summary_; }
  QListWidget* detailList() const { return details_; }

  // The detail list's rows: section titles, item paths and failures.
  enum class RowKind { section, path, failure };
  static constexpr int rowKindRole = Qt::UserRole + 1;
  static constexpr int messageRole = Qt::UserRole + 2;

  // "Jun 3, 2024, 2:15 PM · 1.2 GB" and the like: what a sidebar row says under the category.
  static QString sidebarCaption(const HistoryEntry& entry);
  // The detail mode's line under the title.
  static QString summaryLine(const HistoryEntry& entry);

 private:
  QWidget* buildTable();
  QWidget* buildDetails();
  void refreshTable();
  // Sizes the table's columns to the width it has: whole where they fit, else shortened (their
  // full texts as tooltips).
  void fitColumns();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void refreshMode();
  void showEntry(const HistoryEntry& entry);

  HistoryViewModel& history_;
  QStackedWidget* stack_;
  QLabel* location_ = nullptr;
  QTableWidget* table_ = nullptr;
  PlaceholderOverlay* overlay_ = nullptr;
  QLabel* category_ = nullptr;
  StatusTag* removal_ = nullptr;
  QLabel* summary_ = nullptr;
  QListWidget* details_ = nullptr;
};

}  // namespace hl
