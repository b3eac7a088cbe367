#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/updater/feedless_updater.h"
#include "app/updater/no_feed_notice.h"
#include "build_version.h"
#include "viewmodels/updater_box.h"

namespace hl {
namespace {

TEST(FeedlessUpdater, AlwaysReadyAndEveryCheckOnlyTellsTheUserThereIsNoFeed) {
  int told = 0;
  auto updater = std::make_shared<FeedlessUpdater>([&] { ++told; });
  int switchSignals = 0;
  QObject::connect(updater.get(), &UpdaterManaging::automaticallyChecksForUpdatesChanged,
                   [&] { ++switchSignals; });

  Updater::box().setCurrent(updater);
  EXPECT_TRUE(Updater::canCheckForUpdates());
  Updater::checkForUpdates();
  Updater::checkForUpdates();
  EXPECT_EQ(told, 2);

  // The switch is kept as set, as the settings store hands it on, and notifies real changes only.
  EXPECT_TRUE(updater->automaticallyChecksForUpdates());
  updater->setAutomaticallyChecksForUpdates(true);
  EXPECT_EQ(switchSignals, 0);
  updater->setAutomaticallyChecksForUpdates(false);
  updater->setAutomaticallyChecksForUpdates(false);
  EXPECT_FALSE(updater->automaticallyChecksForUpdates());
  EXPECT_EQ(switchSignals, 1);
  // Switching it schedules nothing: no check is made on its own.
  updater->setAutomaticallyChecksForUpdates(true);
  EXPECT_EQ(told, 2);
  Updater::box().setCurrent(nullptr);
}

TEST(NoFeedNotice, SaysPlainlyThatNothingWasCheckedAndOpensOnceAtATime) {
  QWidget window;
  window.show();
  NoFeedNotice notice([&] { return &window; });
  EXPECT_EQ(notice.openNotice(), nullptr);

  notice.present();
  QMessageBox* shown = notice.openNotice();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_EQ(shown->parentWidget(), &window);
  // It never blocks: the caller is back while the notice is still open.
  EXPECT_EQ(shown->windowModality(), Qt::WindowModal);
  EXPECT_EQ(shown->windowTitle(), QStringLiteral("Check for Updates"));
  EXPECT_EQ(shown->text(),
            QStringLiteral("No update feed is configured in this build of Harbor Lume."));
  const QString details = shown->informativeText();
  EXPECT_TRUE(details.contains(QString::fromLatin1(BuildVersion::shortVersion)))
      << details.toStdString();
  EXPECT_TRUE(details.contains(QStringLiteral("nothing was downloaded"))) << details.toStdString();
  EXPECT_EQ(shown->textFormat(), Qt::PlainText);

  // Asking again while it is open brings the same notice forward.
  notice.present();
  EXPECT_EQ(notice.openNotice(), shown);
  EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1);

  // Closed, it is gone, and the next check opens a new one.
  shown->button(QMessageBox::Ok)->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(notice.openNotice(), nullptr);
  EXPECT_TRUE(window.findChildren<QMessageBox*>().isEmpty());
  notice.present();
  EXPECT_NE(notice.openNotice(), nullptr);
}

}  // namespace
}  // namespace hl
