#pragma once

#include <QWidget>
#include <functional>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "views/home/column_layout.h"
#include "views/shared/check_box.h"

class QLabel;

namespace hl {

// The header's select-all box. It shows the view model's bulk state; a click runs `action` and
// shows the state it returns, so a click from the mixed state goes to all rather than through
// Qt's own cycle.
class BulkCheckBox : public CheckBox {
  Q_OBJECT

 public:
  using BulkCheckState = CleanerViewModel::BulkCheckState;

  explicit BulkCheckBox(QWidget* parent = nullptr);

  void setAction(std::function<BulkCheckState()> action) { action_ = std::move(action); }
  // Shows a state without running the action.
  void setBulkState(BulkCheckState state);

  static Qt::CheckState controlState(BulkCheckState state);

 protected:
  void nextCheckState() override;

 private:
  std::function<BulkCheckState()> action_;
};

// The items table's header row: the select-all box and the column titles, placed by the same
// column layout as the rows, over a faint line.
class ItemsTableHeader : public QWidget {
  Q_OBJECT

 public:
  explicit ItemsTableHeader(QWidget* parent = nullptr);

  void setColumnLayout(const ColumnLayout& layout);
  const ColumnLayout& columnLayout() const { return layout_; }

  BulkCheckBox* checkBox() const { return checkBox_; }
  QLabel* nameTitle() const { return name_; }
  QLabel* statusTitle() const { return status_; }
  QLabel* sizeTitle() const { return size_; }
  // Hidden while the Modified column is.
  QLabel* modifiedTitle() const { return modified_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void place();
  int rowHeight() const;

  ColumnLayout layout_{0};
  BulkCheckBox* checkBox_;
  QLabel* name_;
  QLabel* status_;
  QLabel* size_;
  QLabel* modified_;
};

}  // namespace hl
