#pragma once

#include <QObject>
#include <QString>
#include <Qt>

class QAbstractItemView;

namespace hl {

// Makes the selected rows of a list copyable: the platform's Copy shortcut (Ctrl+C) puts their
// texts on the clipboard, one row per line in row order. A row's text is its `copyRole` value
// when it has one, else its display text; rows with neither are left out. The shortcut belongs
// to the list while it has focus, whatever the window's menus bind.
class CopyableRows : public QObject {
  Q_OBJECT

 public:
  static constexpr int copyRole = Qt::UserRole + 40;

  // Installs itself on `view` and lives as long as it does.
  static CopyableRows* install(QAbstractItemView* view);

  // What Copy puts on the clipboard now; empty with no selection.
  static QString selectedText(const QAbstractItemView* view);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  explicit CopyableRows(QAbstractItemView* view);

  QAbstractItemView* view_;
};

}  // namespace hl
