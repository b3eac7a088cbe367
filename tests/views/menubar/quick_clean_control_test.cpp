#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "state/cleaner/guarded_fakes.h"
#include "views/menubar/quick_clean_confirm_button.h"
#include "views/menubar/quick_clean_control.h"
#include "views/shared/destructive_button.h"

namespace hl {
namespace {

using namespace std::chrono_literals;
using Case = QuickCleanState::Case;
using test::Guarded;
using test::makeItem;

CacheItem safe(const std::string& path, std::int64_t size) {
  return makeItem(path, CacheGroup::packageCaches, RiskLevel::safe, size);
}

// The control over a cleaner whose every dependency is a fake, with its own arming clock.
struct ControlHarness : Guarded {
  test::ManualMonotonicClock buttonClock;
  std::unique_ptr<QuickCleanControl> control;

  ControlHarness() { make(); }
  explicit ControlHarness(DestructiveGate gate) : Guarded(std::move(gate)) { make(); }

  void make() {
    control = std::make_unique<QuickCleanControl>(*cleaner, buttonClock.clock(), wall.clock());
    control->resize(292, 160);
    control->show();
  }
  // Time passes for the button and for the dates the cleaner compares.
  void wait(std::chrono::milliseconds by) {
    buttonClock.advance(by);
    wall.advance(by);
    if (QuickCleanConfirmButton* button = control->confirmButton()) button->refreshArming();
  }
  QLabel* label(const char* name) const {
    return control->findChild<QLabel*>(QLatin1String(name));
  }
  bool shows(const char* name) const {
    QLabel* found = label(name);
    return found && found->isVisibleTo(control.get());
  }
};

TEST(QuickCleanControl, TheIdleButtonFollowsTheCleaner) {
  struct Row {
    const char* name;
    std::optional<DestructiveGate> gate;
    std::function<void(ControlHarness&)> arrange;
    QString label;
    bool enabled;
    bool spinner;
    QString line;
  };
  const auto scanned = [](ControlHarness& h) { h.scan({safe("/c/a", 1000), safe("/c/b", 2000)}); };
  const std::vector<Row> rows = {
      {"before any scan", {}, [](ControlHarness&) {}, "Nothing safe to clean", false, false, {}},
      {"candidates", {}, scanned, "Quick Clean (3 KB)", true, false, {}},
      {"scanning", {},
       [&](ControlHarness& h) {
         scanned(h);
         h->rescan(true);
       },
       "Scanning…", false, true, {}},
      {"in-use state unverifiable", {},
       [&](ControlHarness& h) {
         scanned(h);
         h->rescan(true);
         h.deliver(CacheScanEvent::InUse{
             InUseEvaluation{{}, {}, {}, VerificationState::unavailable("ps failed")}});
         h.endRun();
       },
       "Can't verify — disabled", false, false,
       "Cannot verify in-use state (ps failed). Quick Clean is disabled."},
      {"read-only", DestructiveGate{"read-only mode (-HLMReadOnly)"}, scanned, "Read-only mode",
       false, false, {}},
      {"removing from the window", {},
       [&](ControlHarness& h) {
         scanned(h);
         h->selectAllVisible();
         h->requestTrash();
         h.executor->settle();
         ASSERT_TRUE(h->pendingPlan());
         h->confirmTrash(*h->pendingPlan(), h.wall.now() + 1s);
         ASSERT_TRUE(h->isTrashing());
       },
       "Quick Clean (3 KB)", false, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto h = row.gate ? std::make_unique<ControlHarness>(*row.gate)
                      : std::make_unique<ControlHarness>();
    row.arrange(*h);
    DestructiveButton* button = h->control->quickCleanButton();
    EXPECT_EQ(h->control->shownCase(), Case::idle);
    EXPECT_EQ(button->text(), row.label);
    EXPECT_EQ(button->accessibleName(), row.label);
    EXPECT_EQ(button->isEnabled(), row.enabled);
    EXPECT_EQ(button->showsSpinner(), row.spinner);
    EXPECT_EQ(h->shows("unverifiableLine"), !row.line.isEmpty());
    if (!row.line.isEmpty()) {
      EXPECT_EQ(h->label("unverifiableLine")->text(), row.line);
    }
    // Pressing a disabled button arms nothing.
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ((*h)->quickClean().isPreparing(), row.enabled);
  }
}

TEST(QuickCleanControl, WalksThroughEveryStateOfAQuickClean) {
  for (const bool permanent : {false, true}) {
    SCOPED_TRACE(permanent ? "deleting" : "to the Trash");
    ControlHarness h;
    h.settings.setDeleteImmediately(permanent);
    h.scan({safe("/c/a", 1000), safe("/c/b", 2000)});

    // The first step from the keyboard.
    DestructiveButton* quickClean = h.control->quickCleanButton();
    quickClean->setFocus();
    QTest::keyClick(quickClean, Qt::Key_Space);
    EXPECT_EQ(h.control->shownCase(), Case::preparing);
    EXPECT_TRUE(h.shows("preparingLabel"));
    EXPECT_EQ(h.label("preparingLabel")->text(), "Checking running apps…");

    h.executor->settle();
    ASSERT_EQ(h.control->shownCase(), Case::confirming);
    QuickCleanConfirmButton* confirm = h.control->confirmButton();
    ASSERT_TRUE(confirm);
    EXPECT_EQ(confirm->text(), permanent ? "Confirm — delete 3 KB permanently"
                                         : "Confirm — move 3 KB to Trash");
    EXPECT_EQ(confirm->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(h.control->confirmCaption()->text(), "2 items · cancels in 5 s");

    // Within its first second the button does nothing.
    QTest::mouseClick(confirm, Qt::LeftButton);
    h.wait(999ms);
    EXPECT_FALSE(confirm->isEnabled());
    QTest::mouseClick(confirm, Qt::LeftButton);
    EXPECT_EQ(h.control->shownCase(), Case::confirming);
    h.wait(1ms);
    EXPECT_TRUE(confirm->isArmed());
    ASSERT_TRUE(confirm->isEnabled());
    QTest::mouseClick(confirm, Qt::LeftButton);

    EXPECT_EQ(h.control->shownCase(), Case::running);
    EXPECT_EQ(h.control->confirmButton(), nullptr);
    EXPECT_TRUE(h.shows("checkingLabel"));
    EXPECT_EQ(h.label("checkingLabel")->text(), "Checking that nothing is in use…");
    EXPECT_FALSE(h.control->progressBar()->isVisibleTo(h.control.get()));

    // Until the removal knows its total the control keeps checking.
    for (int i = 0; i < 10 && h->trashProgress().total == 0; ++i) {
      h.executor->step();
      h.executor->finishExternalWaits();  // the removal is written down on the history's thread
    }
    ASSERT_EQ(h->trashProgress().total, 2);
    EXPECT_FALSE(h.shows("checkingLabel"));
    const QString title = permanent ? "Deleting" : "Moving to Trash";
    EXPECT_EQ(h.control->progressLabel()->text(), title + "… 0 of 2");
    h.executor->runJob();
    h.executor->runOnePosted();
    EXPECT_EQ(h.control->progressLabel()->text(), title + "… 1 of 2");
    EXPECT_EQ(h.control->progressBar()->value(), 1);
    EXPECT_EQ(h.control->progressBar()->maximum(), 2);

    h.executor->settle();
    ASSERT_EQ(h.control->shownCase(), Case::done);
    EXPECT_EQ(h.label("doneMessage")->text(),
              permanent ? "Deleted 2 items (3 KB)." : "Cleaned 2 items (3 KB).");
    EXPECT_FALSE(h.control->quickCleanButton()->isVisibleTo(h.control.get()));
    QTest::mouseClick(h.control->okButton(), Qt::LeftButton);
    EXPECT_EQ(h.control->shownCase(), Case::idle);
    EXPECT_EQ(h.control->quickCleanButton()->text(), "Nothing safe to clean");
  }
}

TEST(QuickCleanControl, AnUnconfirmedOfferFallsBackAfterFiveSeconds) {
  ControlHarness h;
  h.scan({safe("/c/a", 1000), safe("/c/b", 2000)});
  h.control->quickCleanButton()->click();
  h.executor->settle();
  h.wait(1s);
  ASSERT_TRUE(h.control->confirmButton()->isEnabled());
  h.executor->advance(4999ms);
  EXPECT_EQ(h.control->shownCase(), Case::confirming);
  h.executor->advance(1ms);
  EXPECT_EQ(h.control->shownCase(), Case::idle);
  EXPECT_EQ(h.control->confirmButton(), nullptr);

  // Offered again: a new button, unarmed for its own first second.
  h.control->quickCleanButton()->click();
  h.executor->settle();
  ASSERT_TRUE(h.control->confirmButton());
  EXPECT_FALSE(h.control->confirmButton()->isArmed());
  EXPECT_FALSE(h.control->confirmButton()->isEnabled());
}

TEST(QuickCleanControl, AnOfferWithEveryCandidateInUseCannotBeConfirmed) {
  ControlHarness h;
  h.scan({safe("/c/a", 1000)});
  h.reasons = {{"/c/a", "open by vim"}};
  h.control->quickCleanButton()->click();
  h.executor->settle();
  ASSERT_EQ(h.control->shownCase(), Case::confirming);
  EXPECT_EQ(h.control->confirmCaption()->text(),
            "0 items · 1 skipped (in use or app running) · cancels in 5 s");
  EXPECT_EQ(h.control->confirmButton()->text(), "Confirm — move 0 bytes to Trash");
  h.wait(2s);
  EXPECT_TRUE(h.control->confirmButton()->isArmed());
  EXPECT_FALSE(h.control->confirmButton()->isEnabled());
  h.executor->advance(5s);
  EXPECT_EQ(h.control->shownCase(), Case::idle);
}

TEST(QuickCleanControl, ShownAgainTheSecondStepWaitsItsSecondAgain) {
  ControlHarness h;
  h.scan({safe("/c/a", 1000)});
  h.control->quickCleanButton()->click();
  h.executor->settle();
  h.wait(1s);
  ASSERT_TRUE(h.control->confirmButton()->isEnabled());

  // Hidden (the popover closed) while the cleaner moves on, then shown: it catches up.
  h.control->hide();
  h.wait(500ms);
  h.control->show();
  EXPECT_FALSE(h.control->confirmButton()->isEnabled());
  h.wait(999ms);
  EXPECT_FALSE(h.control->confirmButton()->isEnabled());
  h.wait(1ms);
  EXPECT_TRUE(h.control->confirmButton()->isEnabled());

  h.control->hide();
  h.executor->advance(5s);
  h.control->show();
  EXPECT_EQ(h.control->shownCase(), Case::idle);
}

TEST(QuickCleanControl, AFailedPreparationShowsTheCleanersMessageUntilOK) {
  ControlHarness h;
  h.scan({safe("/c/a", 1000)});
  h.unverifiable = "ps failed";
  h.control->quickCleanButton()->click();
  h.executor->settle();
  ASSERT_EQ(h.control->shownCase(), Case::done);
  EXPECT_EQ(h.label("doneMessage")->text(),
            "Nothing cleaned: cannot verify in-use state (ps failed).");
  EXPECT_EQ(h.removal->calls.size(), 0u);
  h.control->okButton()->setFocus();
  QTest::keyClick(h.control->okButton(), Qt::Key_Space);
  EXPECT_EQ(h.control->shownCase(), Case::idle);
}

}  // namespace
}  // namespace hl
