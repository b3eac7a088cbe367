#include "utilities/within_limit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

using namespace hl;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr Seconds kLong{60};

}  // namespace

// A stop asked for before or while the work runs is decided first: the answer is the given-up one
// even when the work's own result is already there. The stop requested by the work itself, just
// before it returns, makes the result arrive before the caller looks in almost every round, which
// is the order a busy machine produced.
TEST(WithinLimit, AStopDecidesBeforeAResult) {
  for (int round = 0; round < 200; ++round) {
    std::stop_source before;
    before.request_stop();
    EXPECT_EQ(withinLimit(kLong, before.get_token(), [](std::stop_token) { return "done"s; },
                          "stopped"s),
              "stopped");

    std::stop_source during;
    const std::string answer = withinLimit(
        kLong, during.get_token(),
        [&during](std::stop_token) {
          during.request_stop();
          return "done"s;
        },
        "stopped"s);
    ASSERT_EQ(answer, "stopped") << "round " << round;
  }
}

TEST(WithinLimit, AResultInTimeIsTheAnswerAndAWorkPastItsLimitIsGivenUp) {
  EXPECT_EQ(withinLimit(kLong, {}, [](std::stop_token) { return 7; }, -1), 7);

  // The work never ends by itself; giving up asks it to stop, which lets it end.
  std::atomic<bool> askedToStop{false};
  EXPECT_EQ(withinLimit(
                Seconds(0.02), {},
                [&askedToStop](std::stop_token inner) {
                  while (!inner.stop_requested()) std::this_thread::yield();
                  askedToStop = true;
                  return 7;
                },
                -1),
            -1);
  while (!askedToStop) std::this_thread::yield();
}
