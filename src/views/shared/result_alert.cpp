#include "views/shared/result_alert.h"

#include <QLabel>
#include <QPushButton>

#include "views/shared/app_icon.h"
#include "views/shared/window_dialog.h"

namespace hl {

ResultAlert::ResultAlert(const QString& message, QWidget* parent) : QMessageBox(parent) {
  makeWindowDialog(*this);
  const QIcon icon = AppIcon::image();
  if (icon.isNull()) {
    setIcon(QMessageBox::Information);
  } else {
    setIconPixmap(icon.pixmap(64, 64));
  }
  setTextFormat(Qt::PlainText);
  setText(QStringLiteral("Cleanup finished"));
  ok_ = addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
  ok_->setObjectName(QStringLiteral("ok"));
  setDefaultButton(ok_);
  setEscapeButton(ok_);
  setMessage(message);
}

void ResultAlert::setMessage(const QString& message) {
  setInformativeText(message);
  // Names of files are data: never read as markup.
  if (auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
    label->setTextFormat(Qt::PlainText);
    // A sentence or two and a few failure lines read better on a wider alert.
    label->setMinimumWidth(340);
  }
  setAccessibleDescription(message);
}

QString ResultAlert::message() const { return informativeText(); }

}  // namespace hl
