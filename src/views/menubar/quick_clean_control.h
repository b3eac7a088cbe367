#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "utilities/time.h"
#include "viewmodels/cleaner/quick_clean_state.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace hl {

class CleanerViewModel;
class DestructiveButton;
class QuickCleanConfirmButton;
class Spinner;

// The tray popover's Quick Clean control: one look per Quick Clean state of the cleaner.
//   idle        the first-step button (with the red line while the in-use state cannot be
//               verified), 12 px below it
//   preparing   "Checking running apps…"
//   confirming  the second-step button, armed one second after it is shown, and its caption
//   running     "Checking that nothing is in use…", then a bar with "Moving to Trash… 3 of 10"
//   done        the cleaner's message and "OK"
// It draws what the cleaner holds and calls its operations; the flow itself is the cleaner's.
// While hidden it ignores the cleaner and catches up when shown. The keyboard that is on it
// stays on it from state to state: on the button each state offers (once the second step is
// armed, on that), on the control itself while a state offers none.
class QuickCleanControl : public QWidget {
  Q_OBJECT

 public:
  // `clock` arms the second-step button; `now` is the date handed to the confirmation.
  QuickCleanControl(CleanerViewModel& cleaner, MonotonicClock clock, WallClock now,
                    QWidget* parent = nullptr);

  // Reads the cleaner again.
  void refresh();

  // The parts, for tests and the keyboard.
  DestructiveButton* quickCleanButton() const { return idleButton_; }
  QLabel* unverifiableLabel() const { return unverifiableText_; }
  // None outside the confirming state.
  QuickCleanConfirmButton* confirmButton() const { return confirm_; }
  QLabel* confirmCaption() const { return confirmCaption_; }
  QProgressBar* progressBar() const { return progress_; }
  QLabel* progressLabel() const { return progressText_; }
  QPushButton* okButton() const { return ok_; }
  // The page shown now.
  QuickCleanState::Case shownCase() const { return shown_; }
  // What the keyboard presses in the state shown: the enabled button it offers; none while it
  // offers none.
  QWidget* keyboardTarget() const;

 signals:
  // The keyboard is on the control, which offers nothing to press, and nothing is running that
  // would offer something (idle, no scan, no removal): it waits here for nothing.
  void keyboardHasNothingToPress();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* buildIdle();
  QWidget* buildPreparing();
  QWidget* buildConfirming();
  QWidget* buildRunning();
  QWidget* buildDone();
  void refreshState();
  void refreshIdle();
  void refreshConfirming(const QuickCleanState::Confirming& confirming);
  void refreshRunning();
  void showPage(QuickCleanState::Case which);
  void dropConfirmButton();
  // Whether the keyboard is on the control or on one of its parts.
  bool hasKeyboard() const;

  CleanerViewModel& cleaner_;
  MonotonicClock clock_;
  WallClock now_;
  QuickCleanState::Case shown_ = QuickCleanState::Case::idle;

  QWidget* idle_ = nullptr;
  DestructiveButton* idleButton_ = nullptr;
  QWidget* unverifiable_ = nullptr;
  QLabel* unverifiableText_ = nullptr;

  QWidget* preparing_ = nullptr;

  QWidget* confirming_ = nullptr;
  QuickCleanConfirmButton* confirm_ = nullptr;
  // The confirmation the button was made for: another list of ids gets a new, unarmed button.
  std::vector<std::string> confirmIDs_;
  QLabel* confirmCaption_ = nullptr;

  QWidget* running_ = nullptr;
  QWidget* checking_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* progressText_ = nullptr;

  QWidget* done_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace hl
