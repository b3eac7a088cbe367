#pragma once

#include <QObject>
#include <functional>

namespace hl {

// Runs an update once after the current step of the event loop, however often it is asked for
// during that step: a view model announces several changed values at the end of one step, and a
// view that reads them all needs to redraw once, not once per announcement.
class CoalescedUpdate : public QObject {
  Q_OBJECT

 public:
  // Owned by `owner`; `update` runs on its thread.
  CoalescedUpdate(QObject* owner, std::function<void()> update);

  void request();
  bool isPending() const { return pending_; }

 private:
  void run();

  std::function<void()> update_;
  bool pending_ = false;
};

}  // namespace hl
