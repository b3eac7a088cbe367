#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <optional>

#include "utilities/time.h"
#include "utilities/uuid.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/result_alert.h"


namespace hl {

class CleanerViewModel;
class KeyboardReturn;
class SettingsStore;
struct TrashPlan;

// The Home page's three modal surfaces, each open exactly while its property of the view model
// is set and clearing it when the user closes it: the removal sheet (`pendingPlan`), the
// confirmation of a tool's own cleanup command (`pendingAction`) and the result alert
// (`resultMessage`). They are window-modal over `host` and opened without blocking, so nothing
// waits on them.
class HomeModals : public QObject {
  Q_OBJECT

 public:
  // `cleaner`, `settings` and `host` must outlive it. `sheetClock` arms the sheet; `wallClock`
  // dates the chips and the confirmation.
  HomeModals(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* host,
             MonotonicClock sheetClock = systemMonotonicClock(),
             WallClock wallClock = systemWallClock());
  ~HomeModals() override;

  // The surfaces now open; none when closed.
  ConfirmTrashSheet* sheet() const { return sheet_; }
  QMessageBox* toolDialog() const { return toolDialog_; }
  ResultAlert* resultAlert() const { return resultAlert_; }
  // Puts the keyboard back where the removal was started from when its sheet or alert closes.
  KeyboardReturn* keyboardReturn() const { return keyboard_; }
  // The tool dialog's two buttons.
  QPushButton* toolRunButton() const { return toolRun_; }
  QPushButton* toolCancelButton() const { return toolCancel_; }

  // What the sheet shows for a plan; chips' help names paths with `home` as "~".
  static ConfirmTrashSheet::Contents sheetContents(const TrashPlan& plan, bool isReadOnly,
                                                   bool pruneWorktreesAfterTrash, Date now,
                                                   const std::string& home);

 private:
  void syncSheet();
  void syncToolDialog();
  void syncResultAlert();
  void closeSheet();
  void closeToolDialog();
  void closeResultAlert();

  CleanerViewModel& cleaner_;
  SettingsStore& settings_;
  QWidget* host_;
  MonotonicClock sheetClock_;
  WallClock wallClock_;

  QPointer<ConfirmTrashSheet> sheet_;
  std::optional<UUID> sheetPlan_;
  QPointer<QMessageBox> toolDialog_;
  QPointer<QPushButton> toolRun_;
  QPointer<QPushButton> toolCancel_;
  QPointer<ResultAlert> resultAlert_;
  KeyboardReturn* keyboard_;
};

}  // namespace hl
