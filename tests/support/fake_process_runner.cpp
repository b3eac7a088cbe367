#include "support/fake_process_runner.h"

#include <algorithm>

namespace hl::test {

FakeProcessRunner::FakeProcessRunner() : state_(std::make_shared<State>()) {}

void FakeProcessRunner::on(const std::string& executable,
                           const std::vector<std::string>& containing,
                           std::optional<ProcessOutput> reply) {
  on(executable, containing, [reply](const Call&) { return reply; });
}

void FakeProcessRunner::on(const std::string& executable,
                           const std::vector<std::string>& containing, Responder responder) {
  std::lock_guard lock(state_->mutex);
  state_->rules.push_back(Rule{executable, containing, std::move(responder)});
}

std::vector<FakeProcessRunner::Call> FakeProcessRunner::calls() const {
  std::lock_guard lock(state_->mutex);
  return state_->calls;
}

std::size_t FakeProcessRunner::callCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->calls.size();
}

std::size_t FakeProcessRunner::callCount(const std::string& executable,
                                         const std::vector<std::string>& containing) const {
  std::lock_guard lock(state_->mutex);
  return static_cast<std::size_t>(
      std::count_if(state_->calls.begin(), state_->calls.end(), [&](const Call& call) {
        return call.executable == executable && holds(call.arguments, containing);
      }));
}

bool FakeProcessRunner::holds(const std::vector<std::string>& arguments,
                              const std::vector<std::string>& containing) {
  if (containing.empty()) return true;
  return std::search(arguments.begin(), arguments.end(), containing.begin(), containing.end()) !=
         arguments.end();
}

ProcessOutput FakeProcessRunner::output(int status, std::string out, std::string err,
                                        bool timedOut) {
  return ProcessOutput{status, std::move(out), std::move(err), timedOut};
}

std::optional<ProcessOutput> FakeProcessRunner::answer(
    State& state, Call call, const ProcessRunner::OutputHandler& onOutput) {
  Responder responder;
  {
    std::lock_guard lock(state.mutex);
    state.calls.push_back(call);
    for (const Rule& rule : state.rules) {
      if (rule.executable == call.executable && holds(call.arguments, rule.containing)) {
        responder = rule.responder;
        break;
      }
    }
  }
  if (!responder) return std::nullopt;
  std::optional<ProcessOutput> result = responder(call);
  if (result && onOutput) {
    if (!result->out.empty()) onOutput(result->out);
    if (!result->err.empty()) onOutput(result->err);
  }
  return result;
}

ProcessRunner::Runner FakeProcessRunner::runner() const {
  return [state = state_](const std::string& executable, const std::vector<std::string>& arguments,
                          ProcessRunner::Duration timeout, std::stop_token) {
    return answer(*state, Call{executable, arguments, timeout, {}, false}, {});
  };
}

ProcessRunner::Launcher FakeProcessRunner::launcher() const {
  return [state = state_](const std::string& executable, const std::vector<std::string>& arguments,
                          ProcessRunner::Duration timeout,
                          const ProcessRunner::Environment& environment,
                          const ProcessRunner::OutputHandler& onOutput, std::stop_token) {
    return answer(*state, Call{executable, arguments, timeout, environment, bool(onOutput)},
                  onOutput);
  };
}

}  // namespace hl::test
