#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>

#include "support/manual_clock.h"
#include "support/test_environment.h"
#include "viewmodels/settings_store.h"
#include "views/menubar/menu_bar_extra.h"
#include "views/menubar/popover_placement.h"

namespace hl {
namespace {

using namespace std::chrono_literals;

struct ExtraHarness {
  SettingsStore settings{test::makeScratchFolder("settings") + "/Harborlume.conf"};
  test::ManualMonotonicClock clock;
  QWidget* popover = new QWidget;
  std::unique_ptr<MenuBarExtra> extra;

  ExtraHarness() {
    popover->setFixedSize(320, 240);
    extra = std::make_unique<MenuBarExtra>(settings, popover, clock.clock());
  }
  void click() { emit extra->trayIcon().activated(QSystemTrayIcon::Trigger); }
};

TEST(MenuBarExtra, TheIconFollowsTheSettingAtOnce) {
  ExtraHarness h;
  QSignalSpy announced(h.extra.get(), &MenuBarExtra::trayIconShownChanged);
  EXPECT_TRUE(h.extra->trayIcon().isVisible());
  EXPECT_EQ(h.extra->trayIcon().toolTip(), QStringLiteral("Harbor Lume"));
  EXPECT_FALSE(h.extra->trayIcon().icon().isNull());
  // This platform has no tray: the icon is meant to show but is not shown anywhere.
  EXPECT_FALSE(h.extra->isTrayIconShown());

  h.settings.setShowInMenuBar(false);
  EXPECT_FALSE(h.extra->trayIcon().isVisible());
  EXPECT_EQ(announced.count(), 1);
  h.settings.setShowInMenuBar(false);
  EXPECT_EQ(announced.count(), 1);
  h.settings.setShowInMenuBar(true);
  EXPECT_TRUE(h.extra->trayIcon().isVisible());
  EXPECT_EQ(announced.count(), 2);
}

TEST(MenuBarExtra, OpensAsAPopupBesideItsAnchorAndTellsTheFirstTime) {
  ExtraHarness h;
  QSignalSpy firstShown(h.extra.get(), &MenuBarExtra::popoverFirstShown);
  EXPECT_EQ(h.popover->windowType(), Qt::Popup);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect anchor(screen.right() - 40, screen.top() + 2, 22, 22);
  h.extra->showPopover(anchor);
  EXPECT_TRUE(h.extra->isPopoverShown());
  EXPECT_EQ(h.popover->pos(), PopoverPlacement::topLeft(anchor, h.popover->size(), screen));
  EXPECT_EQ(firstShown.count(), 1);

  // It keeps its place beside the anchor as its contents grow.
  h.popover->setFixedSize(320, 300);
  EXPECT_EQ(h.popover->pos(), PopoverPlacement::topLeft(anchor, {320, 300}, screen));

  h.extra->hidePopover();
  // Without a tray it opens at the pointer.
  h.extra->showPopover();
  EXPECT_TRUE(h.extra->isPopoverShown());
  EXPECT_EQ(h.popover->pos(), PopoverPlacement::topLeft(QRect(QCursor::pos(), QSize(1, 1)),
                                                        h.popover->size(), screen));
  EXPECT_EQ(firstShown.count(), 1);
}

TEST(MenuBarExtra, AClickOnTheIconOpensAndASecondClosesIt) {
  ExtraHarness h;
  h.click();
  EXPECT_TRUE(h.extra->isPopoverShown());
  h.click();
  EXPECT_FALSE(h.extra->isPopoverShown());

  // The press on the icon closed the popup before the icon saw the click: it stays closed.
  h.click();
  h.popover->hide();
  h.clock.advance(MenuBarExtra::closingClick - 1ms);
  h.click();
  EXPECT_FALSE(h.extra->isPopoverShown());
  h.clock.advance(1ms);
  h.click();
  EXPECT_TRUE(h.extra->isPopoverShown());

  // Other activations (a double click's second half, the context click) change nothing.
  emit h.extra->trayIcon().activated(QSystemTrayIcon::DoubleClick);
  emit h.extra->trayIcon().activated(QSystemTrayIcon::Context);
  EXPECT_TRUE(h.extra->isPopoverShown());
}

}  // namespace
}  // namespace hl
