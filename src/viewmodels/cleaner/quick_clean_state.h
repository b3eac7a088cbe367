#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hl {

// Where Quick Clean stands: idle, preparing (armed, the in-use check runs), confirming (waiting
// for the user), running (confirmed, the removal runs) or done (with the text shown to the user).
class QuickCleanState {
 public:
  // The cases, in their order.
  enum class Case { confirming, done, idle, preparing, running };

  struct Confirming {
    std::vector<std::string> ids;
    std::int64_t size = 0;
    int skippedForProcesses = 0;
    bool operator==(const Confirming&) const = default;
  };
  struct Done {
    std::string message;
    bool operator==(const Done&) const = default;
  };

  QuickCleanState() = default;

  static QuickCleanState idle() { return QuickCleanState(Case::idle); }
  static QuickCleanState preparing() { return QuickCleanState(Case::preparing); }
  static QuickCleanState running() { return QuickCleanState(Case::running); }
  static QuickCleanState confirming(std::vector<std::string> ids, std::int64_t size,
                                    int skippedForProcesses) {
    QuickCleanState state(Case::confirming);
    state.confirming_ = Confirming{std::move(ids), size, skippedForProcesses};
    return state;
  }
  static QuickCleanState done(std::string message) {
    QuickCleanState state(Case::done);
    state.done_ = Done{std::move(message)};
    return state;
  }

  Case kind() const { return case_; }
  bool isIdle() const { return case_ == Case::idle; }
  bool isPreparing() const { return case_ == Case::preparing; }
  bool isRunning() const { return case_ == Case::running; }
  // The payload while in that case.
  const Confirming* confirming() const {
    return case_ == Case::confirming ? &confirming_ : nullptr;
  }
  const Done* done() const { return case_ == Case::done ? &done_ : nullptr; }

  // Equal cases with equal payloads.
  bool operator==(const QuickCleanState& other) const {
    if (case_ != other.case_) return false;
    if (case_ == Case::confirming) return confirming_ == other.confirming_;
    if (case_ == Case::done) return done_ == other.done_;
    return true;
  }

 private:
  explicit QuickCleanState(Case kind) : case_(kind) {}

  Case case_ = Case::idle;
  Confirming confirming_;
  Done done_;
};

}  // namespace hl
