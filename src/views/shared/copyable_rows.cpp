#include "views/shared/copyable_rows.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QStringList>
#include <algorithm>

namespace hl {

CopyableRows::CopyableRows(QAbstractItemView* view) : QObject(view), view_(view) {
  view_->installEventFilter(this);
}

CopyableRows* CopyableRows::install(QAbstractItemView* view) { return new CopyableRows(view); }

QString CopyableRows::selectedText(const QAbstractItemView* view) {
  const QItemSelectionModel* selection = view->selectionModel();
  if (!selection) return {};
  QModelIndexList rows = selection->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  for (const QModelIndex& row : rows) {
    QVariant text = row.data(copyRole);
    if (!text.isValid()) text = row.data(Qt::DisplayRole);
    if (text.isValid() && !text.toString().isEmpty()) lines.append(text.toString());
  }
  return lines.join(QLatin1Char('\n'));
}

bool CopyableRows::eventFilter(QObject* watched, QEvent* event) {
  if (watched != view_) return false;
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (!key->matches(QKeySequence::Copy)) return false;
  const QString text = selectedText(view_);
  if (text.isEmpty()) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // Claims the key from the window's shortcuts, so the key press reaches the list.
    event->accept();
    return true;
  }
  QGuiApplication::clipboard()->setText(text);
  event->accept();
  return true;
}

}  // namespace hl
