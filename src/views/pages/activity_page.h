#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QPalette>
#include <QWidget>
#include <vector>

#include "models/activity_event.h"
#include "views/shared/sidebar_list.h"

class QListView;

namespace hl {

class ActivityLog;
class PlaceholderOverlay;

// The Activity page's sidebar: "All" and one row per kind, each with its count, one always
// selected. Picking a row sets the log's filter; "All" clears it.
class ActivitySidebar : public PageSidebar {
  Q_OBJECT

 public:
  // `activity` must outlive the sidebar.
  explicit ActivitySidebar(ActivityLog& activity, QWidget* parent = nullptr);

 private:
  void refresh();

  ActivityLog& activity_;
};

// The log's lines as the Activity page lists them: the filter's lines, newest first. A line
// logged later comes in at the top without disturbing the rows below it.
class ActivityEventsModel : public QAbstractListModel {
  Q_OBJECT

 public:
  enum Role { kindRole = Qt::UserRole + 1, timeRole };

  explicit ActivityEventsModel(ActivityLog& activity, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  const std::vector<ActivityEvent>& events() const { return rows_; }

 private:
  // The texts a row shows, made once when it comes in: the list asks for them on every layout.
  struct Texts {
    QString message;
    QString time;
  };
  static Texts textsOf(const ActivityEvent& event);
  void sync();

  ActivityLog& activity_;
  std::vector<ActivityEvent> rows_;
  std::vector<Texts> texts_;
};

// The Activity page's main column: the title, what the log keeps, and the lines with their
// kind's symbol (red for errors) and their time of day. Selected lines can be copied.
class ActivityView : public QWidget {
  Q_OBJECT

 public:
  // `activity` must outlive the view.
  explicit ActivityView(ActivityLog& activity, QWidget* parent = nullptr);

  // The colour of a line's symbol: red for an error, the secondary text colour otherwise.
  static QColor symbolColor(ActivityEvent::Kind kind, const QPalette& palette);

  QListView* list() const { return list_; }
  ActivityEventsModel* model() const { return model_; }
  bool isPlaceholderShown() const;
  QWidget* placeholder() const;

 private:
  QListView* list_;
  ActivityEventsModel* model_;
  PlaceholderOverlay* overlay_;
};

}  // namespace hl
