#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "services/system/process_runner.h"

namespace hl::test {

// A scripted stand-in for the process runner: answers each command from rules the test gives
// and records every call. Safe to call from several threads at once. Copies of `runner()` and
// `launcher()` share the script and the record.
class FakeProcessRunner {
 public:
  struct Call {
    std::string executable;
    std::vector<std::string> arguments;
    ProcessRunner::Duration timeout{};
    ProcessRunner::Environment environment;
    bool watchedOutput = false;
  };
  using Responder = std::function<std::optional<ProcessOutput>(const Call&)>;

  FakeProcessRunner();

  // Answers runs of `executable` whose arguments hold `containing` as a contiguous run (an empty
  // list matches any arguments). Rules are tried in the order they were added; a run that no
  // rule answers could not be launched (no result).
  void on(const std::string& executable, const std::vector<std::string>& containing,
          std::optional<ProcessOutput> reply);
  void on(const std::string& executable, const std::vector<std::string>& containing,
          Responder responder);

  // The recorded calls, in the order they started.
  std::vector<Call> calls() const;
  std::size_t callCount() const;
  // Calls of one executable whose arguments hold `containing`.
  std::size_t callCount(const std::string& executable,
                        const std::vector<std::string>& containing = {}) const;

  ProcessRunner::Runner runner() const;
  ProcessRunner::Launcher launcher() const;

  // A finished run's output.
  static ProcessOutput output(int status, std::string out = "", std::string err = "",
                              bool timedOut = false);
  // Whether `arguments` hold `containing` as a contiguous run.
  static bool holds(const std::vector<std::string>& arguments,
                    const std::vector<std::string>& containing);

 private:
  struct Rule {
    std::string executable;
    std::vector<std::string> containing;
    Responder responder;
  };
  struct State {
    mutable std::mutex mutex;
    std::vector<Rule> rules;
    std::vector<Call> calls;
  };
  static std::optional<ProcessOutput> answer(State& state, Call call,
                                             const ProcessRunner::OutputHandler& onOutput);

  std::shared_ptr<State> state_;
};

}  // namespace hl::test
