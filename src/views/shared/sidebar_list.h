#pragma once

#include <QListWidget>
#include <QString>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QVBoxLayout;

namespace hl {

class PlaceholderOverlay;

// The list of a page sidebar: rows with a symbol and a title, or a title over a caption line,
// and an optional count badge; the selected row is a rounded highlight. A row is known by its
// key. What the user picks is reported by `chosen`; what the program shows through
// `showSelection` is not.
class SidebarList : public QListWidget {
  Q_OBJECT

 public:
  enum class Selection {
    // One row stays selected: a click on it, a Ctrl+click or a click beside the rows keeps it.
    alwaysOne,
    // The selection can be cleared: Ctrl+click on the selected row, a click beside the rows or
    // Escape.
    deselectable,
  };

  struct Row {
    QString key;
    QString title;
    // No symbol when empty.
    std::string symbol;
    // A second line in the caption font when not empty.
    QString caption;
    // Shown only above 0.
    int badge = 0;
    bool operator==(const Row&) const = default;
  };

  explicit SidebarList(Selection selection, QWidget* parent = nullptr);

  Selection selection() const { return selection_; }

  // Replaces the rows. Rows with the same keys in the same order are updated in place, so the
  // selection and the scroll position stay; otherwise the list is rebuilt with no row selected.
  void setRows(std::vector<Row> rows);
  const std::vector<Row>& rows() const { return rows_; }

  // Selects the row with this key, or none, without reporting a choice.
  void showSelection(const std::optional<QString>& key);
  std::optional<QString> selectedKey() const;
  // The row of a key, or -1.
  int rowOf(const QString& key) const;

  static constexpr int singleLineHeight = 28;
  static constexpr int twoLineHeight = 42;

 signals:
  // The user picked a row (its key) or cleared the selection (none).
  void chosen(const std::optional<QString>& key);

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event) const override;
  void mousePressEvent(QMouseEvent* event) override;
  // With no row selected, Down selects the first row.
  void keyPressEvent(QKeyEvent* event) override;
  // While the list has the keyboard and no row is selected (which would show it), a ring
  // around the list shows where the keyboard is.
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // With nothing chosen the keyboard is on the list, not on a row.
  void leaveNoCurrentRow();
  void describe(QListWidgetItem* item, const Row& row) const;

  Selection selection_;
  std::vector<Row> rows_;
  bool quiet_ = false;
};

// The column of a page sidebar: the page's title, a section title and the list under it.
class PageSidebar : public QWidget {
  Q_OBJECT

 public:
  PageSidebar(const QString& title, const QString& sectionTitle, SidebarList::Selection selection,
              QWidget* parent = nullptr);

  SidebarList* list() const { return list_; }
  QLabel* sectionLabel() const { return section_; }
  // The text laid over the empty list; none until one is set.
  QLabel* emptyTextLabel() const { return emptyText_; }
  bool isEmptyTextShown() const;

 protected:
  // A line of secondary text centred over the list while it is shown.
  void setEmptyText(const QString& text);
  void setEmptyTextShown(bool shown);

 private:
  SidebarList* list_;
  QLabel* section_;
  QLabel* emptyText_ = nullptr;
  PlaceholderOverlay* overlay_ = nullptr;
};

}  // namespace hl
