#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>

namespace hl::test {

// Background work that runs only when the test says so, on the test's own thread, in any order
// the test chooses: a late answer is a task run after a later one.
class ManualTaskQueue {
 public:
  using Task = std::function<void()>;

  std::function<void(Task)> executor() const {
    return [queue = queue_](Task task) { queue->push_back(std::move(task)); };
  }

  std::size_t pending() const { return queue_->size(); }

  // Runs the task at `index` in the order the tasks were handed in; false when there is none.
  bool run(std::size_t index = 0) {
    if (index >= queue_->size()) return false;
    Task task = std::move((*queue_)[index]);
    queue_->erase(queue_->begin() + static_cast<std::ptrdiff_t>(index));
    task();
    return true;
  }

  // Runs the newest task first: the answer to the older ones comes late.
  bool runLast() { return !queue_->empty() && run(queue_->size() - 1); }

 private:
  std::shared_ptr<std::deque<Task>> queue_ = std::make_shared<std::deque<Task>>();
};

}  // namespace hl::test
