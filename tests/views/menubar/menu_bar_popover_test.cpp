#include <gtest/gtest.h>

#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "state/app_model_fixture.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/updater_box.h"
#include "views/accessibility_support.h"
#include "views/menubar/menu_bar_extra.h"
#include "views/menubar/menu_bar_popover.h"
#include "views/menubar/popover_buttons.h"
#include "views/menubar/popover_parts.h"
#include "views/menubar/quick_clean_confirm_button.h"
#include "views/menubar/quick_clean_control.h"
#include "views/screenshot_support.h"
#include "views/shared/destructive_button.h"
#include "views/shared/spinner.h"
#include "views/shell/focus_order.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using Case = QuickCleanState::Case;

// The popover over an application model whose every outside answer is a fake, with its own
// arming clock and updater box.
struct PopoverHarness : test::AppHarness {
  test::ManualMonotonicClock buttonClock;
  UpdaterBox updater;
  int windowOpens = 0;
  int quits = 0;
  std::unique_ptr<MenuBarPopover> popover;

  PopoverHarness() {
    MenuBarPopover::Environment environment;
    environment.openMainWindow = [this] { ++windowOpens; };
    environment.quit = [this] { ++quits; };
    environment.updater = &updater;
    environment.clock = buttonClock.clock();
    environment.now = wall.clock();
    popover = std::make_unique<MenuBarPopover>(*model, std::move(environment));
  }
  ~PopoverHarness() { updater.setCurrent(nullptr); }

  void show() {
    popover->show();
    popover->resize(popover->sizeHint());
  }
  void wait(std::chrono::milliseconds by) {
    buttonClock.advance(by);
    wall.advance(by);
    if (auto* button = popover->quickClean()->confirmButton()) button->refreshArming();
  }
  // Items of three groups: safe ones to clean, one held by a running editor, a moderate one.
  void scanSample() {
    CacheItem held = test::makeItem(folders / "held", CacheGroup::packageCaches, RiskLevel::safe,
                                    40'000'000);
    held.inUseReason = "open by vim";
    scanCleaner({test::makeItem(folders / "npm", CacheGroup::packageCaches, RiskLevel::safe,
                                1'840'000'000),
                 test::makeItem(folders / "pip", CacheGroup::packageCaches, RiskLevel::safe,
                                320'000'000),
                 test::makeItem(folders / "gradle", CacheGroup::buildTools, RiskLevel::safe,
                                2'150'000'000),
                 test::makeItem(folders / "logs", CacheGroup::systemCaches, RiskLevel::safe,
                                96'000'000),
                 held,
                 test::makeItem(folders / "app", CacheGroup::projects, RiskLevel::moderate,
                                700'000'000)});
  }
  QPoint leftOf(QWidget* widget) const { return widget->mapTo(popover.get(), QPoint(0, 0)); }
};

TEST(MenuBarPopover, IsExactly320WideAndLinesItsPartsUp) {
  PopoverHarness h;
  h.show();
  EXPECT_EQ(h.popover->width(), 320);
  EXPECT_FALSE(h.popover->accessibleName().isEmpty());
  // No reading of the boot volume yet: no volume block, the divider follows the header.
  EXPECT_TRUE(h.popover->volume()->isHidden());

  h.start(false);
  h.settle();
  ASSERT_TRUE(h->bootVolume());
  EXPECT_FALSE(h.popover->volume()->isHidden());
  EXPECT_EQ(h.popover->volume()->nameLabel()->text(), "Disk");
  EXPECT_EQ(h.popover->volume()->freeLabel()->text(), "1 KB free");

  // The header's label stands on the same left edge as everything below it, 14 px in.
  auto* icon = h.popover->header()->button()->findChild<QLabel*>(QStringLiteral("headerIcon"));
  ASSERT_TRUE(icon);
  EXPECT_EQ(h.leftOf(icon).x(), 14);
  EXPECT_EQ(h.leftOf(h.popover->volume()->nameLabel()).x(), 14);
  EXPECT_EQ(h.leftOf(h.popover->candidates()->totalLabel()).x() +
                h.popover->candidates()->totalLabel()->width(),
            320 - 14);
  EXPECT_EQ(h.leftOf(h.popover->footer()->rescanButton()).x(), 14);
}

TEST(MenuBarPopover, FollowsTheModelsBusyStateAndRescans) {
  PopoverHarness h;
  h.show();
  h.start(false);
  h.settle();
  h.scanSample();
  Spinner* spinner = h.popover->header()->spinner();
  EXPECT_FALSE(spinner->isVisibleTo(h.popover.get()));
  const int reads = h.volumeReads;

  QTest::mouseClick(h.popover->footer()->rescanButton(), Qt::LeftButton);
  EXPECT_TRUE(h.cleaner().isScanning());
  EXPECT_TRUE(spinner->isVisibleTo(h.popover.get()));
  EXPECT_FALSE(h.popover->footer()->rescanButton()->isEnabled());
  EXPECT_EQ(h.popover->quickClean()->quickCleanButton()->text(), "Scanning…");
  h.settle();
  EXPECT_EQ(h.volumeReads, reads + 1);

  // A removal from the window: busy, no Rescan, no Quick Clean.
  h.engine->end();
  h.settle();
  h.removing();
  EXPECT_TRUE(spinner->isVisibleTo(h.popover.get()));
  EXPECT_FALSE(h.popover->footer()->rescanButton()->isEnabled());
  EXPECT_FALSE(h.popover->quickClean()->quickCleanButton()->isEnabled());
  h.settle();
  EXPECT_FALSE(spinner->isVisibleTo(h.popover.get()));
  EXPECT_TRUE(h.popover->footer()->rescanButton()->isEnabled());
}

TEST(MenuBarPopover, HeaderQuitAndUpdatesReachTheirActions) {
  PopoverHarness h;
  h.popover->setWindowFlag(Qt::Popup);
  h.show();
  QTest::mouseClick(h.popover->header()->button(), Qt::LeftButton);
  EXPECT_EQ(h.windowOpens, 1);
  // The window comes forward; the popover gives way.
  EXPECT_FALSE(h.popover->isVisible());

  h.show();
  QTest::mouseClick(h.popover->footer()->quitButton(), Qt::LeftButton);
  EXPECT_EQ(h.quits, 1);

  EXPECT_FALSE(h.popover->footer()->updatesButton()->isEnabled());
  auto updater = std::make_shared<FakeUpdater>();
  h.updater.setCurrent(updater);
  QTest::mouseClick(h.popover->footer()->updatesButton(), Qt::LeftButton);
  EXPECT_EQ(updater->checkForUpdatesCallCount(), 1);
}

// Opened from the keyboard, the popover is a window of the accessible tree with its texts; the
// keyboard starts on Quick Clean, Tab goes through every control in reading order and round,
// Return and Space press them, the keyboard stays on Quick Clean through its states and comes to
// the second step once it is armed; Escape closes the popover.
TEST(MenuBarPopover, WorksFromTheKeyboardAndIsInTheAccessibleTree) {
  PopoverHarness h;
  h.scanSample();
  MenuBarPopover* popover = h.popover.release();
  MenuBarExtra extra(h->settings(), popover, h.buttonClock.clock());
  extra.showPopover(QRect(200, 200, 1, 1), Qt::ShortcutFocusReason);
  QApplication::setActiveWindow(popover);
  ASSERT_TRUE(extra.isPopoverShown());

  QAccessibleInterface* application = test::accessible(qApp);
  QAccessibleInterface* window = nullptr;
  for (int i = 0; i < application->childCount(); ++i) {
    if (application->child(i)->object() == popover) window = application->child(i);
  }
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->role(), QAccessible::Window);
  EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Harbor Lume"));
  QStringList texts;
  test::forEachShown(window, [&](QAccessibleInterface* element) {
    texts << element->text(QAccessible::Name);
    // A screen reader hears plain words, never a tooltip's markup.
    for (const auto text : {QAccessible::Name, QAccessible::Description}) {
      EXPECT_FALSE(test::hasMarkup(element->text(text))) << element->text(text).toStdString();
    }
  });
  for (const QString& text :
       {QStringLiteral("Safe to clean now"), QStringLiteral("Rescan"), QStringLiteral("Quit"),
        QStringLiteral("Check for Updates"), QStringLiteral("Open the Harbor Lume window")}) {
    EXPECT_TRUE(texts.contains(text)) << text.toStdString();
  }

  DestructiveButton* quickClean = popover->quickClean()->quickCleanButton();
  EXPECT_EQ(QApplication::focusWidget(), quickClean);
  // Round the popover and back; Check for Updates is off without an updater.
  std::vector<QString> round;
  for (int i = 0; i < 8; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    if (QApplication::focusWidget() == quickClean) break;
    round.push_back(QApplication::focusWidget()->accessibleName());
  }
  EXPECT_EQ(round, (std::vector<QString>{QStringLiteral("Rescan"), QStringLiteral("Quit"),
                                         QStringLiteral("Open the Harbor Lume window")}));
  QTest::keyClick(quickClean, Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget()->accessibleName(), QStringLiteral("Open the Harbor Lume window"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_EQ(h.windowOpens, 1);
  extra.showPopover(QRect(200, 200, 1, 1), Qt::ShortcutFocusReason);
  QApplication::setActiveWindow(popover);

  // Quick Clean by Return; the keyboard waits on the control, then takes the armed second step.
  QTest::keyClick(quickClean, Qt::Key_Return);
  EXPECT_EQ(popover->quickClean()->shownCase(), Case::preparing);
  h.settle();
  ASSERT_EQ(popover->quickClean()->shownCase(), Case::confirming);
  EXPECT_EQ(QApplication::focusWidget(), popover->quickClean());
  h.buttonClock.advance(1s);
  h.wall.advance(1s);
  popover->quickClean()->confirmButton()->refreshArming();
  EXPECT_EQ(QApplication::focusWidget(), popover->quickClean()->confirmButton());

  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_FALSE(extra.isPopoverShown());
}

// Whatever button the keyboard pressed, the keyboard is on that button or on the Quick Clean
// control afterwards, also once the work it started is over: never on Quit, where the next Space
// would end the program.
TEST(MenuBarPopover, AButtonPressedByKeyboardNeverLeavesTheKeyboardOnQuit) {
  struct Case {
    const char* name;
    // Brings the popover to the state the button is offered in; returns the button.
    std::function<QWidget*(PopoverHarness&)> offer;
    // Ends the work the press started.
    std::function<void(PopoverHarness&)> finish;
  };
  const std::vector<Case> cases = {
      {"Rescan, which finds nothing to clean",
       [](PopoverHarness& h) -> QWidget* { return h.popover->footer()->rescanButton(); },
       [](PopoverHarness& h) {
         h.engine->send(CacheScanEvent::Discovered{{}, {}});
         h.engine->send(CacheScanEvent::Finished{Seconds(1)});
         h.engine->end();
         h.settle();
       }},
      {"Rescan, which finds something to clean",
       [](PopoverHarness& h) -> QWidget* { return h.popover->footer()->rescanButton(); },
       [](PopoverHarness& h) {
         h.engine->send(CacheScanEvent::Discovered{
             {test::makeItem(h.folders / "npm", CacheGroup::packageCaches, RiskLevel::safe,
                             1'000'000)},
             {}});
         h.engine->send(CacheScanEvent::Finished{Seconds(1)});
         h.engine->end();
         h.settle();
       }},
      {"Check for Updates, which cannot check again while it checks",
       [](PopoverHarness& h) -> QWidget* {
         auto updater = std::make_shared<FakeUpdater>();
         QObject::connect(updater.get(), &FakeUpdater::checkForUpdatesCallCountChanged,
                          updater.get(), [u = updater.get()] { u->setCanCheckForUpdates(false); });
         h.updater.setCurrent(updater);
         return h.popover->footer()->updatesButton();
       },
       [](PopoverHarness& h) {
         if (auto* updater = dynamic_cast<FakeUpdater*>(h.updater.current().get())) {
           updater->setCanCheckForUpdates(true);
         }
       }},
      {"Quick Clean, until its second step is armed",
       [](PopoverHarness& h) -> QWidget* {
         return h.popover->quickClean()->quickCleanButton();
       },
       [](PopoverHarness& h) {
         h.settle();
         h.wait(1s);
       }},
      {"the armed second step",
       [](PopoverHarness& h) -> QWidget* {
         h.cleaner().armQuickClean();
         h.settle();
         h.wait(1s);
         return h.popover->quickClean()->confirmButton();
       },
       [](PopoverHarness& h) { h.settle(); }},
      {"OK after Quick Clean, which left nothing to clean",
       [](PopoverHarness& h) -> QWidget* {
         h.cleaner().armQuickClean();
         h.settle();
         h.wait(1s);
         h.popover->quickClean()->confirmButton()->click();
         h.settle();
         return h.popover->quickClean()->okButton();
       },
       [](PopoverHarness& h) { h.settle(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PopoverHarness h;
    h.show();
    QApplication::setActiveWindow(h.popover.get());
    h.start(false);
    h.settle();
    h.scanSample();
    // The second step is gone once pressed.
    const QPointer<QWidget> button = c.offer(h);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    button->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), button);
    const auto keyboardWhereItBelongs = [&](const char* when) {
      QWidget* focus = QApplication::focusWidget();
      ASSERT_NE(focus, nullptr) << when;
      EXPECT_NE(focus, h.popover->footer()->quitButton()) << when;
      EXPECT_TRUE((button && focus == button) || focus == h.popover->quickClean() ||
                  h.popover->quickClean()->isAncestorOf(focus))
          << when << ": " << focus->metaObject()->className() << " "
          << focus->accessibleName().toStdString();
    };
    QTest::keyClick(button, Qt::Key_Space);
    keyboardWhereItBelongs("pressed");
    c.finish(h);
    // Once the work is over the keyboard rests on a control that can be pressed and shows its
    // ring: the button, what Quick Clean offers, or, when it offers nothing and the button is
    // gone, Rescan; never the control that offers nothing, never Quit.
    QWidget* rest = QApplication::focusWidget();
    ASSERT_NE(rest, nullptr);
    const std::string named =
        rest->metaObject()->className() + std::string(" ") + rest->accessibleName().toStdString();
    EXPECT_TRUE(FocusOrder::isStop(rest)) << named;
    EXPECT_NE(rest, h.popover->footer()->quitButton());
    QWidget* offered = h.popover->quickClean()->keyboardTarget();
    const bool buttonStays = button && FocusOrder::isStop(button);
    EXPECT_TRUE((buttonStays && rest == button) || (offered && rest == offered) ||
                (!offered && !buttonStays && rest == h.popover->footer()->rescanButton()))
        << named;
  }
}

TEST(MenuBarPopover, ItsHeightFollowsItsContents) {
  PopoverHarness h;
  h.show();
  h.start(false);
  h.settle();
  const int empty = h.popover->height();
  h.scanSample();
  QCoreApplication::sendPostedEvents();
  const int listed = h.popover->height();
  EXPECT_GT(listed, empty);
  EXPECT_EQ(listed, h.popover->heightForWidth(320));
  h.cleaner().armQuickClean();
  h.settle();
  ASSERT_EQ(h.popover->quickClean()->shownCase(), Case::confirming);
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(h.popover->height(), h.popover->heightForWidth(320));
}

// --- Screenshots -----------------------------------------------------------------------------

QImage shot(PopoverHarness& h) {
  QCoreApplication::sendPostedEvents();
  h.popover->resize(h.popover->sizeHint());
  return h.popover->grab().toImage();
}

// Every state side by side, for a look at what was built.
void saveSheet(const std::vector<QImage>& shots, const QString& name, const QColor& background) {
  int width = 0;
  int height = 0;
  for (const QImage& image : shots) {
    width += image.width() + 16;
    height = std::max(height, image.height());
  }
  QImage sheet(width + 16, height + 32, QImage::Format_ARGB32);
  sheet.fill(background);
  QPainter painter(&sheet);
  int x = 16;
  for (const QImage& image : shots) {
    painter.drawImage(x, 16, image);
    x += image.width() + 16;
  }
  painter.end();
  test::saveScreenshot(sheet, name);
  for (std::size_t i = 0; i < shots.size(); ++i) {
    test::saveScreenshot(shots[i], name + QLatin1Char('_') + QString::number(i));
  }
}

std::vector<QImage> everyState() {
  std::vector<QImage> shots;
  {
    PopoverHarness h;
    h.show();
    h.start(false);
    h.freeSpace = {std::int64_t{4000}};
    h.settle();
    h.scanSample();
    h.cleaner().rescan(true);
    shots.push_back(shot(h));  // scanning, with candidates from before
  }
  PopoverHarness h;
  h.freeSpace = {std::int64_t{500}};  // 95 % used
  h.show();
  h.start(false);
  h.settle();
  h.scanSample();
  shots.push_back(shot(h));  // idle
  h.cleaner().armQuickClean();
  shots.push_back(shot(h));  // preparing
  h.settle();
  h.wait(1s);
  shots.push_back(shot(h));  // confirming, armed
  h.popover->quickClean()->confirmButton()->click();
  for (int i = 0; i < 10 && h.cleaner().trashProgress().total == 0; ++i) h.executor->step();
  h.executor->runJob();
  h.executor->runOnePosted();
  shots.push_back(shot(h));  // running
  h.settle();
  shots.push_back(shot(h));  // done
  return shots;
}

TEST(MenuBarPopoverScreenshots, EveryQuickCleanStateLightAndDark) {
  {
    test::AppPalette palette(test::lightPalette());
    saveSheet(everyState(), QStringLiteral("popover_light"), QColor(200, 200, 205));
  }
  {
    test::AppPalette palette(test::darkPalette());
    saveSheet(everyState(), QStringLiteral("popover_dark"), QColor(60, 60, 64));
  }
  // Nothing to verify and nothing to clean.
  test::AppPalette palette(test::lightPalette());
  PopoverHarness h;
  h.show();
  h.start(false);
  h.settle();
  h.cleaner().rescan(true);
  h.engine->send(CacheScanEvent::InUse{
      InUseEvaluation{{}, {}, {}, VerificationState::unavailable("ps failed")}});
  h.engine->end();
  h.settle();
  const QImage unverifiable = shot(h);
  EXPECT_EQ(h.popover->quickClean()->quickCleanButton()->text(), "Can't verify — disabled");
  PopoverHarness empty;
  empty.show();
  saveSheet({unverifiable, shot(empty)}, QStringLiteral("popover_unverifiable_and_empty"),
            QColor(200, 200, 205));
}

}  // namespace
}  // namespace hl
