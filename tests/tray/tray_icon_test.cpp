#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <memory>

#include "support/test_environment.h"
#include "viewmodels/settings_store.h"
#include "views/menubar/menu_bar_extra.h"
#include "x_session.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

// The one wait of this test: for the tray host and the embedded icon to appear, bounded.
constexpr auto kAppearance = 30s;

bool appears(const std::function<bool()>& condition) {
  return QTest::qWaitFor(condition, static_cast<int>(std::chrono::milliseconds(kAppearance).count()));
}

// The icon's window sits in the tray panel, which runs along the right end of the top edge;
// before the tray takes it in, the window stands at the screen's top-left corner.
bool iconIsInTheTray(MenuBarExtra& extra) {
  const QRect icon = extra.trayIcon().geometry();
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  return icon.isValid() && !icon.isEmpty() && icon.top() < 40 &&
         icon.left() > screen.center().x();
}

TEST(TrayIcon, AppearsInTheDesktopsTrayAndFollowsTheSetting) {
  test::XSession session;
  if (!session.failure().empty()) GTEST_SKIP() << session.failure();

  qputenv("QT_QPA_PLATFORM", "xcb");
  int argc = 1;
  char name[] = "hl_tray_tests";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));

  ASSERT_TRUE(appears([] { return QSystemTrayIcon::isSystemTrayAvailable(); }))
      << "no tray host appeared on " << session.display();

  SettingsStore settings(test::makeScratchFolder("settings") + "/Harborlume.conf");
  auto* popover = new QWidget;
  popover->setFixedSize(320, 240);
  MenuBarExtra extra(settings, popover);
  int announced = 0;
  QObject::connect(&extra, &MenuBarExtra::trayIconShownChanged, [&] { ++announced; });

  EXPECT_TRUE(extra.isTrayIconShown());
  ASSERT_TRUE(appears([&] { return iconIsInTheTray(extra); })) << "the icon was never embedded";
  const QRect icon = extra.trayIcon().geometry();

  // Opened from the icon, the popover hangs below it.
  extra.showPopover();
  EXPECT_TRUE(extra.isPopoverShown());
  EXPECT_GT(popover->y(), icon.bottom());
  EXPECT_LE(popover->x(), icon.center().x());
  EXPECT_GE(popover->geometry().right(), icon.center().x());
  EXPECT_LE(popover->geometry().right(), QGuiApplication::primaryScreen()->geometry().right());
  // For a look only: whatever the server has drawn by now.
  for (int i = 0; i < 5; ++i) {
    QGuiApplication::sync();
    QCoreApplication::processEvents();
  }
  QDir().mkpath(QStringLiteral(HL_SCREENSHOT_DIR));
  QGuiApplication::primaryScreen()->grabWindow(0).save(
      QStringLiteral(HL_SCREENSHOT_DIR "/tray_on_xvfb.png"));
  extra.hidePopover();

  settings.setShowInMenuBar(false);
  EXPECT_EQ(announced, 1);
  EXPECT_FALSE(extra.isTrayIconShown());
  EXPECT_FALSE(extra.trayIcon().isVisible());
  EXPECT_FALSE(iconIsInTheTray(extra));

  settings.setShowInMenuBar(true);
  EXPECT_EQ(announced, 2);
  EXPECT_TRUE(extra.isTrayIconShown());
  ASSERT_TRUE(appears([&] { return iconIsInTheTray(extra); })) << "the icon did not come back";
}

}  // namespace
}  // namespace hl
