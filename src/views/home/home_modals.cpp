#include "views/home/home_modals.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "viewmodels/cleaner/cleaner_view_model.h"
#include "viewmodels/settings_store.h"
#include "views/home/home_texts.h"
#include "views/home/removal_sheet_texts.h"
#include "views/shared/confirm_trash_texts.h"
#include "views/shared/palette_colors.h"
#include "views/shared/result_alert.h"
#include "views/shared/status_grammar.h"
#include "views/shared/text.h"
#include "views/shared/window_dialog.h"
#include "views/shell/keyboard_return.h"

namespace hl {

namespace {

// The tool's confirmation: its title as a heading over the message, both shown as written; the
// window's title is the program's.
QMessageBox* messageBox(QWidget* host, const QString& title, const QString& message) {
  auto* box = new QMessageBox(host);
  makeWindowDialog(*box);
  box->setTextFormat(Qt::PlainText);
  box->setText(title);
  box->setInformativeText(message);
  if (auto* heading = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    heading->setFont(sizedFont(heading->font(), 14, QFont::DemiBold));
  }
  if (auto* text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
    text->setTextFormat(Qt::PlainText);
    // A few sentences read better on fewer, longer lines.
    text->setMinimumWidth(320);
  }
  return box;
}

}  // namespace

HomeModals::HomeModals(CleanerViewModel& cleaner, SettingsStore& settings, QWidget* host,
                       MonotonicClock sheetClock, WallClock wallClock)
    : QObject(host),
      cleaner_(cleaner),
      settings_(settings),
      host_(host),
      sheetClock_(std::move(sheetClock)),
      wallClock_(std::move(wallClock)) {
  keyboard_ = new KeyboardReturn(
      {host_}, [this] { return sheet_ || resultAlert_ || cleaner_.isRemovalBusy(); }, this);
  connect(&cleaner_, &CleanerViewModel::pendingPlanChanged, this, &HomeModals::syncSheet);
  connect(&cleaner_, &CleanerViewModel::pendingActionChanged, this, &HomeModals::syncToolDialog);
  connect(&cleaner_, &CleanerViewModel::resultMessageChanged, this, &HomeModals::syncResultAlert);
  connect(&cleaner_, &CleanerViewModel::isRemovalBusyChanged, this, [this] {
    if (sheet_) sheet_->setBusy(cleaner_.isRemovalBusy());
  });
  syncSheet();
  syncToolDialog();
  syncResultAlert();
}

HomeModals::~HomeModals() {
  closeSheet();
  closeToolDialog();
  closeResultAlert();
}

ConfirmTrashSheet::Contents HomeModals::sheetContents(const TrashPlan& plan, bool isReadOnly,
                                                      bool pruneWorktreesAfterTrash, Date now,
                                                      const std::string& home) {
  const bool permanent = isPermanent(plan.mode);
  ConfirmTrashSheet::Contents contents;
  contents.title = ConfirmTrashTexts::title(plan.items.size(), permanent);
  for (const CacheItem& item : plan.items) {
    contents.rows.push_back(
        {item.id, item.name, item.subtitle, item.size, StatusGrammar::tags(item, 2, now, home)});
  }
  contents.totalSize = plan.totalSize();
  contents.warnings =
      RemovalSheetTexts::warnings(plan.unsafeWorktrees().size(), permanent, plan.runningWarnings);
  contents.notes = RemovalSheetTexts::notes(plan.prunableWorktrees().size(), permanent,
                                            pruneWorktreesAfterTrash);
  contents.isReadOnly = isReadOnly;
  contents.isPermanent = permanent;
  return contents;
}

void HomeModals::syncSheet() {
  const std::optional<TrashPlan>& plan = cleaner_.pendingPlan();
  if (!plan) {
    if (sheet_) keyboard_->closeAndGiveBack([this] { closeSheet(); });
    return;
  }
  if (sheet_ && sheetPlan_ == plan->id) return;
  // A new plan replaces the one shown: its sheet starts unarmed.
  closeSheet();
  ConfirmTrashSheet::Contents contents = sheetContents(
      *plan, cleaner_.isReadOnly(), settings_.pruneWorktreesAfterTrash(), wallClock_(),
      cleaner_.home());
  contents.onConfirm = [this, shown = *plan] { cleaner_.confirmTrash(shown, wallClock_()); };
  contents.onCancel = [this] { cleaner_.setPendingPlan(std::nullopt); };
  sheet_ = new ConfirmTrashSheet(std::move(contents), sheetClock_, host_);
  sheet_->setBusy(cleaner_.isRemovalBusy());
  sheetPlan_ = plan->id;
  sheet_->open();
}

void HomeModals::closeSheet() {
  sheetPlan_.reset();
  if (!sheet_) return;
  ConfirmTrashSheet* sheet = sheet_;
  sheet_ = nullptr;
  sheet->dismiss();
  sheet->deleteLater();
}

void HomeModals::syncToolDialog() {
  const std::optional<CacheItem>& item = cleaner_.pendingAction();
  closeToolDialog();
  if (!item) return;
  const std::optional<NativeAction>& action = item->action;
  auto* box = messageBox(host_, qtext(HomeTexts::toolDialogTitle(action)),
                         qtext(HomeTexts::toolMessage(action)));
  box->setIcon(QMessageBox::Warning);
  toolRun_ = box->addButton(qtext(HomeTexts::toolRunTitle(action)), QMessageBox::DestructiveRole);
  toolCancel_ = box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  // The command deletes for good: Return and Escape both answer Cancel, never the command, even
  // when the run button has the focus.
  toolRun_->setAutoDefault(false);
  box->setDefaultButton(toolCancel_);
  box->setEscapeButton(toolCancel_);
  toolDialog_ = box;
  connect(box, &QMessageBox::finished, this, [this, box, shown = *item] {
    if (toolDialog_ != box) return;
    const bool run = box->clickedButton() == toolRun_.data();
    toolDialog_ = nullptr;
    box->deleteLater();
    if (run) {
      cleaner_.runAction(shown);
    } else {
      cleaner_.setPendingAction(std::nullopt);
    }
  });
  box->open();
}

void HomeModals::closeToolDialog() {
  if (!toolDialog_) return;
  QMessageBox* box = toolDialog_;
  toolDialog_ = nullptr;
  box->done(QMessageBox::Cancel);
  box->deleteLater();
}

void HomeModals::syncResultAlert() {
  const std::optional<std::string>& message = cleaner_.resultMessage();
  if (!message) {
    closeResultAlert();
    return;
  }
  if (resultAlert_) {
    resultAlert_->setMessage(qtext(*message));
    return;
  }
  auto* alert = new ResultAlert(qtext(*message), host_);
  resultAlert_ = alert;
  // Closed by "OK", Escape or the window's close button: the message has been read.
  connect(alert, &QMessageBox::finished, this, [this, alert] {
    if (resultAlert_ != alert) return;
    resultAlert_ = nullptr;
    alert->deleteLater();
    cleaner_.setResultMessage(std::nullopt);
    keyboard_->giveBack();
  });
  alert->open();
}

void HomeModals::closeResultAlert() {
  if (!resultAlert_) return;
  ResultAlert* box = resultAlert_;
  resultAlert_ = nullptr;
  box->done(0);
  box->deleteLater();
}

}  // namespace hl
