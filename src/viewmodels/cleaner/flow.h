#pragma once

#include <chrono>
#include <coroutine>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <type_traits>
#include <utility>

#include "viewmodels/cleaner/flow_executor.h"

namespace hl {

// A multi-step job of a view model written as a C++ coroutine: it runs on the GUI thread,
// waits for blocking work, a timer or a callback without blocking the thread, and reads step for
// step like the rules it carries out. A flow starts at once and runs synchronously up to its
// first wait, so whatever it sets before that wait holds when its starter returns.
//
// A flow is owned by whoever holds its `Flow` object: awaiting it (`co_await`) gives its
// result; destroying the object destroys the flow, also mid-way (so destroying a parent flow
// destroys the flows it waits on). A flow that nobody waits for is handed to a `FlowScope`,
// which owns it until it ends and destroys what is left when the scope goes.
//
// Await a named local (`Flow<T> step = …; co_await step;`), never a temporary: g++ 12 destroys
// some temporaries of a `co_await` expression twice.

class FlowScope;

// What the waits of a flow need from the object the flow belongs to.
class FlowHost {
 public:
  virtual FlowExecutor& flowExecutor() = 0;
  // Continues a flow on the GUI thread; the host may wrap the step (to announce its changes once
  // afterwards).
  virtual void resumeFlow(std::coroutine_handle<> flow) = 0;

 protected:
  ~FlowHost() = default;
};

namespace flow_detail {

struct PromiseBase {
  std::coroutine_handle<> continuation;
  FlowScope* scope = nullptr;

  std::suspend_never initial_suspend() noexcept { return {}; }
  struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    template <typename Promise>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<Promise> flow) noexcept;
    void await_resume() noexcept {}
  };
  FinalAwaiter final_suspend() noexcept { return {}; }
  void unhandled_exception() noexcept { std::terminate(); }
};

template <typename T>
struct Promise : PromiseBase {
  std::optional<T> value;
  auto get_return_object();
  void return_value(T result) { value.emplace(std::move(result)); }
};

template <>
struct Promise<void> : PromiseBase {
  auto get_return_object();
  void return_void() {}
};

// The link between a waiting flow and the callback that continues it. The waiting side forgets
// the flow when its frame goes away, so a late callback finds nothing to continue.
struct Resumption {
  FlowHost* host = nullptr;
  std::coroutine_handle<> flow;
  bool suspending = false;
  bool completedEarly = false;

  // Called on the GUI thread when what the flow waits for has happened.
  void complete() {
    if (suspending) {
      completedEarly = true;
      return;
    }
    if (auto waiting = std::exchange(flow, {})) host->resumeFlow(waiting);
  }
};

// Base of the waits: a shared resumption that outlives the wait only as a dead end.
class WaitBase {
 public:
  explicit WaitBase(FlowHost& host) : state_(std::make_shared<Resumption>()) {
    state_->host = &host;
  }
  WaitBase(WaitBase&&) = default;
  WaitBase(const WaitBase&) = delete;
  WaitBase& operator=(const WaitBase&) = delete;
  ~WaitBase() {
    if (state_) state_->flow = {};
  }
  bool await_ready() const noexcept { return false; }

 protected:
  // Starts the wait; `begin` receives the completion and may call it at once.
  template <typename Begin>
  bool suspendWith(std::coroutine_handle<> flow, Begin&& begin) {
    state_->flow = flow;
    state_->suspending = true;
    begin(state_);
    state_->suspending = false;
    if (!state_->completedEarly) return true;
    state_->flow = {};
    return false;
  }

  std::shared_ptr<Resumption> state_;
};

}  // namespace flow_detail

template <typename T = void>
class [[nodiscard]] Flow {
 public:
  using promise_type = flow_detail::Promise<T>;
  using Handle = std::coroutine_handle<promise_type>;

  explicit Flow(Handle handle) : handle_(handle) {}
  Flow(Flow&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  Flow& operator=(Flow&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, {});
    }
    return *this;
  }
  Flow(const Flow&) = delete;
  Flow& operator=(const Flow&) = delete;
  ~Flow() { reset(); }

  bool isDone() const { return !handle_ || handle_.done(); }

  bool await_ready() const noexcept { return handle_.done(); }
  void await_suspend(std::coroutine_handle<> waiting) noexcept {
    handle_.promise().continuation = waiting;
  }
  T await_resume() {
    if constexpr (std::is_void_v<T>) {
      return;
    } else {
      return std::move(*handle_.promise().value);
    }
  }

 private:
  friend class FlowScope;
  void reset() {
    if (handle_) std::exchange(handle_, {}).destroy();
  }
  Handle release() { return std::exchange(handle_, {}); }

  Handle handle_;
};

// Owns the flows that nobody waits for. Each ends on its own; those still waiting when the
// scope is destroyed are destroyed with it, and their waits are then never continued.
class FlowScope {
 public:
  FlowScope() = default;
  FlowScope(const FlowScope&) = delete;
  FlowScope& operator=(const FlowScope&) = delete;
  ~FlowScope() {
    const std::set<std::coroutine_handle<>> left = std::move(running_);
    running_.clear();
    for (std::coroutine_handle<> flow : left) flow.destroy();
  }

  template <typename T>
  void spawn(Flow<T> flow) {
    if (flow.isDone()) return;
    auto handle = flow.release();
    handle.promise().scope = this;
    running_.insert(handle);
  }

  std::size_t size() const { return running_.size(); }
  // Called by a spawned flow as it ends.
  void ended(std::coroutine_handle<> flow) { running_.erase(flow); }

 private:
  std::set<std::coroutine_handle<>> running_;
};

namespace flow_detail {

template <typename T>
auto Promise<T>::get_return_object() {
  return Flow<T>(std::coroutine_handle<Promise<T>>::from_promise(*this));
}

inline auto Promise<void>::get_return_object() {
  return Flow<void>(std::coroutine_handle<Promise<void>>::from_promise(*this));
}

template <typename Promise>
std::coroutine_handle<> PromiseBase::FinalAwaiter::await_suspend(
    std::coroutine_handle<Promise> flow) noexcept {
  PromiseBase& promise = flow.promise();
  if (promise.continuation) return promise.continuation;
  if (promise.scope) {
    promise.scope->ended(flow);
    flow.destroy();
  }
  return std::noop_coroutine();
}

}  // namespace flow_detail

// Waits for `job` on a worker thread and continues with its result on the GUI thread.
template <typename R>
class BackgroundWait : public flow_detail::WaitBase {
 public:
  BackgroundWait(FlowHost& host, std::function<R()> job)
      : WaitBase(host), job_(std::move(job)), result_(std::make_shared<std::optional<R>>()) {}

  bool await_suspend(std::coroutine_handle<> flow) {
    FlowExecutor& executor = state_->host->flowExecutor();
    return suspendWith(flow, [&](const std::shared_ptr<flow_detail::Resumption>& state) {
      executor.runInBackground(
          [&executor, state, result = result_, job = std::move(job_)]() mutable {
            result->emplace(job());
            executor.post([state] { state->complete(); });
          });
    });
  }
  R await_resume() { return std::move(**result_); }

 private:
  std::function<R()> job_;
  std::shared_ptr<std::optional<R>> result_;
};

// Waits on the executor's sleep-proof clock.
class SleepWait : public flow_detail::WaitBase {
 public:
  SleepWait(FlowHost& host, std::chrono::nanoseconds delay) : WaitBase(host), delay_(delay) {}

  bool await_suspend(std::coroutine_handle<> flow) {
    return suspendWith(flow, [&](const std::shared_ptr<flow_detail::Resumption>& state) {
      state->host->flowExecutor().after(delay_, [state] { state->complete(); });
    });
  }
  void await_resume() noexcept {}

 private:
  std::chrono::nanoseconds delay_;
};

// Waits until a callback-taking call reports back on the GUI thread.
class CallbackWait : public flow_detail::WaitBase {
 public:
  // `start` receives the completion to call, once, on the GUI thread.
  CallbackWait(FlowHost& host, std::function<void(std::function<void()>)> start)
      : WaitBase(host), start_(std::move(start)) {}

  bool await_suspend(std::coroutine_handle<> flow) {
    FlowExecutor& executor = state_->host->flowExecutor();
    return suspendWith(flow, [&](const std::shared_ptr<flow_detail::Resumption>& state) {
      executor.externalWaitBegan();
      start_([state] {
        // A flow destroyed meanwhile took its host and executor with it.
        if (state->flow || state->suspending) state->host->flowExecutor().externalWaitEnded();
        state->complete();
      });
    });
  }
  void await_resume() noexcept {}

 private:
  std::function<void(std::function<void()>)> start_;
};

}  // namespace hl
