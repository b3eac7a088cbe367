#pragma once

#include <QFrame>
#include <QString>

class QCheckBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace hl {

// One group of a settings form: an optional title above a rounded box whose rows are parted by
// hairlines. A toggle row shows its text at the leading edge and its check box at the trailing
// edge; a click on the text toggles too. A note belongs to the row above it and shares its
// cell; under a toggle it is also the check box's description for assistive tools.
class FormGroup : public QWidget {
  Q_OBJECT

 public:
  explicit FormGroup(const QString& title = {}, QWidget* parent = nullptr);

  // `text` is plain text; `richText`, when given, is what is drawn instead (a fixed text of
  // the program with inline code style), while `text` stays the accessible name.
  QCheckBox* addToggle(const QString& text, const QString& richText = {});
  // Caption-sized secondary text under the row above.
  QLabel* addNote(const QString& text);
  // A label at the leading edge and a value at the trailing edge; returns the value's label.
  QLabel* addValue(const QString& label, const QString& value);
  // The same with a value widget of the caller's own.
  void addValue(const QString& label, QWidget* value);
  // A row of the caller's own.
  void addRow(QWidget* row);
  // A row holding one push button at the leading edge; returns the button.
  QPushButton* addButton(const QString& title);
  // A widget in the cell of the row above, under what it holds.
  void addToLastRow(QWidget* widget);

  QLabel* titleLabel() const { return title_; }

 private:
  QWidget* newCell();

  QLabel* title_ = nullptr;
  QFrame* box_;
  QVBoxLayout* rows_;
  QWidget* lastCell_ = nullptr;
  // The check box of the last cell when it is a toggle's.
  QCheckBox* lastToggle_ = nullptr;
};

// Caption-sized text in the secondary colour, wrapping onto as many lines as it needs.
QLabel* formNote(const QString& text, QWidget* parent = nullptr);

}  // namespace hl
