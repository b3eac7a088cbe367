#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace hl {

// Where Quick Clean stands: idle, preparing (armed, the in-use check runs), confirming (waiting
// for the user), running (confirmed, the removal runs) or done (with the text shown to the user).
class QuickCleanState {
 public:
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
  struct Idle {
    bool operator==(const Idle&) const = default;
  };
  struct Preparing {
    bool operator==(const Preparing&) const = default;
  };
  struct Running {
    bool operator==(const Running&) const = default;
  };
  // Alternatives in the order of the cases.
  using Value = std::variant<Confirming, Done, Idle, Preparing, Running>;

  QuickCleanState() = default;
  QuickCleanState(Value value) : value_(std::move(value)) {}  // NOLINT: implicit by design

  static QuickCleanState idle() { return QuickCleanState(Idle{}); }
  static QuickCleanState preparing() { return QuickCleanState(Preparing{}); }
  static QuickCleanState running() { return QuickCleanState(Running{}); }
  static QuickCleanState confirming(std::vector<std::string> ids, std::int64_t size,
                                    int skippedForProcesses) {
    return QuickCleanState(Confirming{std::move(ids), size, skippedForProcesses});
  }
  static QuickCleanState done(std::string message) {
    return QuickCleanState(Done{std::move(message)});
  }

  bool isIdle() const { return std::holds_alternative<Idle>(value_); }
  bool isPreparing() const { return std::holds_alternative<Preparing>(value_); }
  bool isRunning() const { return std::holds_alternative<Running>(value_); }
  const Confirming* confirming() const { return std::get_if<Confirming>(&value_); }
  const Done* done() const { return std::get_if<Done>(&value_); }
  const Value& value() const { return value_; }

  bool operator==(const QuickCleanState&) const = default;

 private:
  Value value_{Idle{}};
};

}  // namespace hl
