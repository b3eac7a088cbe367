#include "views/shared/coalesced_update.h"

namespace hl {

CoalescedUpdate::CoalescedUpdate(QObject* owner, std::function<void()> update)
    : QObject(owner), update_(std::move(update)) {}

void CoalescedUpdate::request() {
  if (pending_) return;
  pending_ = true;
  QMetaObject::invokeMethod(this, &CoalescedUpdate::run, Qt::QueuedConnection);
}

void CoalescedUpdate::run() {
  pending_ = false;
  if (update_) update_();
}

}  // namespace hl
