#include "app/relocation/relocation_alerts.h"

#include <QAbstractButton>
#include <QPushButton>

#include "views/shared/app_icon.h"

namespace hl {
namespace {

std::unique_ptr<QMessageBox> alert(const QString& message, const QString& informative) {
  auto box = std::make_unique<QMessageBox>();
  box->setWindowModality(Qt::ApplicationModal);
  box->setTextFormat(Qt::PlainText);
  box->setText(message);
  box->setInformativeText(informative);
  const QIcon icon = AppIcon::image();
  if (icon.isNull()) {
    box->setIcon(QMessageBox::Information);
  } else {
    box->setIconPixmap(icon.pixmap(64, 64));
  }
  return box;
}

}  // namespace

std::unique_ptr<QMessageBox> RelocationAlerts::moveOffer() {
  auto box = alert(QStringLiteral("Move Harbor Lume to the Applications folder?"),
                   QStringLiteral("Harbor Lume runs best from the Applications folder. It is "
                                  "required for automatic updates to install cleanly. Harbor "
                                  "Lume will move there and relaunch."));
  QPushButton* notNow = box->addButton(QStringLiteral("Not Now"), QMessageBox::RejectRole);
  notNow->setObjectName(QStringLiteral("notNow"));
  QPushButton* move =
      box->addButton(QStringLiteral("Move to Applications Folder"), QMessageBox::AcceptRole);
  move->setObjectName(QStringLiteral("move"));
  box->setDefaultButton(notNow);
  box->setEscapeButton(notNow);
  return box;
}

bool RelocationAlerts::choseMove(const QMessageBox& offer) {
  const QAbstractButton* clicked = offer.clickedButton();
  return clicked != nullptr && clicked->objectName() == QStringLiteral("move");
}

std::unique_ptr<QMessageBox> RelocationAlerts::failureAlert() {
  auto box = alert(QStringLiteral("Couldn't move Harbor Lume automatically"),
                   QStringLiteral("Please quit Harbor Lume and drag it into your Applications "
                                  "folder manually, then reopen it. This keeps automatic updates "
                                  "working."));
  box->setStandardButtons(QMessageBox::Ok);
  return box;
}

std::unique_ptr<QMessageBox> RelocationAlerts::relaunchFailureAlert(
    const std::string& destination) {
  auto box = alert(QStringLiteral("Couldn't relaunch Harbor Lume"),
                   QStringLiteral("Harbor Lume was copied to %1 but could not be started from "
                                  "there. Please quit Harbor Lume and open that copy.")
                       .arg(QString::fromStdString(destination)));
  box->setStandardButtons(QMessageBox::Ok);
  return box;
}

bool RelocationAlerts::askUserToMove() {
  auto offer = moveOffer();
  offer->exec();
  return choseMove(*offer);
}

void RelocationAlerts::presentFailure(const std::string&) {
  failureAlert()->exec();
}

void RelocationAlerts::presentRelaunchFailure(const std::string& destination) {
  relaunchFailureAlert(destination)->exec();
}

}  // namespace hl
