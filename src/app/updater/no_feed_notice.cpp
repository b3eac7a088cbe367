#include "app/updater/no_feed_notice.h"

#include "build_version.h"

namespace hl {

NoFeedNotice::NoFeedNotice(std::function<QWidget*()> owner) : owner_(std::move(owner)) {}

QString NoFeedNotice::title() {
  return QStringLiteral("Check for Updates");
}

QString NoFeedNotice::text() {
  return QStringLiteral("No update feed is configured in this build of Harbor Lume.");
}

QString NoFeedNotice::informativeText() {
  return QStringLiteral(
             "Harbor Lume %1 cannot look for newer versions: nothing was checked and nothing "
             "was downloaded. Get newer versions the same way you got this one.")
      .arg(QString::fromLatin1(BuildVersion::shortVersion));
}

void NoFeedNotice::present() {
  if (notice_) {
    notice_->show();
    notice_->raise();
    notice_->activateWindow();
    return;
  }
  QWidget* owner = owner_ ? owner_() : nullptr;
  notice_ = new QMessageBox(QMessageBox::Information, title(), text(), QMessageBox::Ok, owner);
  notice_->setInformativeText(informativeText());
  notice_->setTextFormat(Qt::PlainText);
  notice_->setAttribute(Qt::WA_DeleteOnClose);
  notice_->open();
}

}  // namespace hl
