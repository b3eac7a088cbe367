#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "viewmodels/cleaner/flow.h"
#include "viewmodels/cleaner/flow_executor.h"

using namespace hl;
using namespace std::chrono_literals;

namespace {

// A host that resumes flows directly.
class Host : public FlowHost {
 public:
  explicit Host(FlowExecutor& executor) : executor_(executor) {}
  FlowExecutor& flowExecutor() override { return executor_; }
  void resumeFlow(std::coroutine_handle<> flow) override { flow.resume(); }

 private:
  FlowExecutor& executor_;
};

Flow<int> square(Host& host, int value, std::vector<std::string>& steps) {
  steps.push_back("started");
  BackgroundWait<int> squaring(host, [value] { return value * value; });
  const int result = co_await squaring;
  steps.push_back("squared");
  co_return result;
}

// Runs the event loop until every flow of the scope has ended.
void runUntilEnded(FlowScope& scope) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (scope.size() == 0) loop.quit();
  });
  poll.start(1ms);
  QTimer::singleShot(10s, &loop, &QEventLoop::quit);
  loop.exec();
}

Flow<> sequence(Host& host, std::vector<std::string>& steps) {
  Flow<int> squaring = square(host, 3, steps);
  const int first = co_await squaring;
  SleepWait sleep(host, 20ms);
  co_await sleep;
  steps.push_back("slept " + std::to_string(first));
}

}  // namespace

TEST(QtFlowExecutor, RunsJobsAwayAndResumesOnTheGuiThreadAfterASleepProofWait) {
  QtFlowExecutor executor;
  Host host(executor);
  std::vector<std::string> steps;
  FlowScope scope;
  scope.spawn(sequence(host, steps));
  // Started at once, up to its first wait.
  EXPECT_EQ(steps, std::vector<std::string>{"started"});
  ASSERT_EQ(scope.size(), 1u);

  runUntilEnded(scope);
  EXPECT_EQ(steps, (std::vector<std::string>{"started", "squared", "slept 9"}));
  EXPECT_EQ(scope.size(), 0u);
}

TEST(QtFlowExecutor, TasksPostedFromAJobArriveBeforeTheJobsOwnResult) {
  QtFlowExecutor executor;
  Host host(executor);
  std::vector<int> order;
  FlowScope scope;
  auto flow = [](Host& host, FlowExecutor& executor, std::vector<int>& order) -> Flow<> {
    BackgroundWait<int> posting(host, [&executor, &order] {
      for (int i = 0; i < 3; ++i) executor.post([&order, i] { order.push_back(i); });
      return 99;
    });
    const int last = co_await posting;
    order.push_back(last);
  };
  scope.spawn(flow(host, executor, order));
  runUntilEnded(scope);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 99}));
}

TEST(FlowScope, DestroyingTheScopeDropsWaitingFlowsAndTheirLateAnswers) {
  QtFlowExecutor executor;
  Host host(executor);
  std::vector<std::string> steps;
  {
    FlowScope scope;
    scope.spawn(sequence(host, steps));
  }
  // The job may still answer; nothing is continued.
  QEventLoop loop;
  QTimer::singleShot(50ms, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(steps, std::vector<std::string>{"started"});
}
