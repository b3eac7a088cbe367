#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "utilities/time.h"
#include "views/shared/arming_delay.h"
#include "views/shared/status_tag_model.h"

class QPushButton;
class QLabel;

namespace hl {

class DestructiveButton;

// The window-modal sheet every removal passes through. It lists what goes, with sizes and chips,
// the total, warnings and notes, and says whether the items go to the Trash or are deleted. Its
// confirm button is armed one second after the sheet is shown (on the monotonic clock) and
// never in read-only mode; Return presses it only once it is armed, and Cancel never takes
// Return. It removes nothing and never closes itself: it reports through `onConfirm` and
// `onCancel` (Escape and the window's close button cancel too), and its builder closes it with
// `dismiss()` once the pending removal is cleared.
class ConfirmTrashSheet : public QDialog {
  Q_OBJECT

 public:
  struct Row {
    std::string id;
    std::string name;
    std::string detail;
    // None while not measured: shown as "—", and the total is then marked approximate.
    std::optional<std::int64_t> size;
    std::vector<StatusTagModel> tags;
  };

  struct Contents {
    std::string title;
    std::vector<Row> rows;
    // Given by the builder, never recomputed from the rows; counts measured sizes only.
    std::int64_t totalSize = 0;
    std::vector<std::string> warnings;
    std::vector<std::string> notes;
    bool isReadOnly = false;
    bool isPermanent = false;
    std::function<void()> onConfirm;
    std::function<void()> onCancel;
  };

  explicit ConfirmTrashSheet(Contents contents, MonotonicClock clock = systemMonotonicClock(),
                             QWidget* parent = nullptr);

  static constexpr std::chrono::milliseconds armingDelay{1000};
  static constexpr int sheetWidth = 580;

  bool isArmed() const { return arming_.isArmed(); }
  // Arms the confirm button once a second has passed since the sheet was shown; the sheet's own
  // timer calls it, tests call it after moving their clock.
  void refreshArming();
  // Closes the sheet for good; the builder calls it when the pending removal is cleared.
  void dismiss();
  // While another removal keeps the builder from starting this one, confirming is off.
  void setBusy(bool busy);

  QPushButton* confirmButton() const;
  QPushButton* cancelButton() const { return cancel_; }
  // The list of rows, where the keyboard starts.
  QWidget* rowList() const { return rows_; }
  QLabel* summaryLabel() const { return summary_; }
  const Contents& contents() const { return contents_; }

  // Escape and the close button ask the builder to cancel; the sheet stays until dismissed.
  void reject() override;
  void accept() override {}

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* buildHeader();
  QWidget* buildRows();
  QWidget* buildMessages();
  void confirmPressed();
  void updateConfirm();

  Contents contents_;
  ArmingDelay arming_;
  bool shown_ = false;
  bool busy_ = false;
  QLabel* summary_ = nullptr;
  QWidget* rows_ = nullptr;
  QPushButton* cancel_ = nullptr;
  DestructiveButton* confirm_ = nullptr;
};

}  // namespace hl
