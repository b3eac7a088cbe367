#include "views/shared/result_alert.h"

#include <QLabel>
#include <QPushButton>

namespace hl {

ResultAlert::ResultAlert(const QString& message, QWidget* parent) : QMessageBox(parent) {
  setWindowModality(Qt::WindowModal);
  setIcon(QMessageBox::Information);
  setWindowTitle(QStringLiteral("Cleanup finished"));
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
  }
  setAccessibleDescription(message);
}

QString ResultAlert::message() const { return informativeText(); }

}  // namespace hl
