#include "utilities/sliding_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace hl;

namespace {

// Work that waits until the test lets a named element through, and tells what runs.
class Floor {
 public:
  std::string work(const std::string& item) {
    std::unique_lock lock(mutex_);
    started_.push_back(item);
    ++inFlight_;
    maxInFlight_ = std::max(maxInFlight_, inFlight_);
    changed_.notify_all();
    changed_.wait(lock, [&] { return released_.count(item) > 0; });
    --inFlight_;
    return item + "!";
  }

  void release(const std::string& item) {
    std::lock_guard lock(mutex_);
    released_.insert(item);
    changed_.notify_all();
  }

  // Blocks until as many elements as expected have started, and checks they are those. Members
  // of one window start at once and may arrive here in any order.
  void waitForStarted(std::vector<std::string> expected) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return started_.size() >= expected.size(); });
    std::vector<std::string> seen = started_;
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(seen, expected);
  }


  int maxInFlight() {
    std::lock_guard lock(mutex_);
    return maxInFlight_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> started_;
  std::set<std::string> released_;
  int inFlight_ = 0;
  int maxInFlight_ = 0;
};

}  // namespace

TEST(SlidingWindow, AnEmptyListStartsNothing) {
  int calls = 0;
  slidingWindow(
      std::vector<int>{}, 4, [&](int) { return ++calls; }, [&](int, int) { ++calls; },
      [&] {
        ++calls;
        return true;
      });
  EXPECT_EQ(calls, 0);
}

TEST(SlidingWindow, StartsInListOrderAndHandsResultsOverInCompletionOrder) {
  Floor floor;
  const std::vector<std::string> items = {"a", "b", "c", "d"};
  std::vector<std::string> results;
  std::set<std::thread::id> handlers;
  std::thread runner([&] {
    slidingWindow(
        items, 2, [&](const std::string& item) { return floor.work(item); },
        [&](const std::string& item, std::string result) {
          EXPECT_EQ(result, item + "!");
          results.push_back(result);
          handlers.insert(std::this_thread::get_id());
          // The next element starts only after this one was handled.
          if (item == "b") floor.release("a");
          if (item == "a") floor.release("d");
          if (item == "d") floor.release("c");
        },
        [] { return true; });
  });
  floor.waitForStarted({"a", "b"});
  floor.release("b");
  runner.join();
  EXPECT_EQ(results, (std::vector<std::string>{"b!", "a!", "d!", "c!"}));
  floor.waitForStarted(items);
  EXPECT_EQ(floor.maxInFlight(), 2);
  // Every result is handled on the calling thread.
  ASSERT_EQ(handlers.size(), 1u);
}

TEST(SlidingWindow, OnceToldToStopItStartsNothingMoreButHandsOverWhatIsInFlight) {
  Floor floor;
  const std::vector<std::string> items = {"a", "b", "c", "d"};
  std::vector<std::string> handled;
  int asked = 0;
  std::thread runner([&] {
    slidingWindow(
        items, 2, [&](const std::string& item) { return floor.work(item); },
        [&](const std::string& item, const std::string&) {
          handled.push_back(item);
          if (item == "a") floor.release("b");
        },
        [&] {
          ++asked;
          return false;
        });
  });
  floor.waitForStarted({"a", "b"});
  floor.release("a");
  runner.join();
  EXPECT_EQ(handled, (std::vector<std::string>{"a", "b"}));
  floor.waitForStarted({"a", "b"});
  // Asked once: after the "no", nothing more is asked.
  EXPECT_EQ(asked, 1);
}

TEST(SlidingWindow, WorkThatThrowsStartsNothingMoreAndIsRethrownToTheCaller) {
  const std::vector<std::string> items = {"a", "b", "c"};
  std::vector<std::string> started;
  std::vector<std::string> handled;
  std::mutex mutex;
  try {
    slidingWindow(
        items, 1,
        [&](const std::string& item) {
          {
            std::lock_guard lock(mutex);
            started.push_back(item);
          }
          if (item == "b") throw std::runtime_error("broken b");
          return item;
        },
        [&](const std::string& item, const std::string&) { handled.push_back(item); },
        [] { return true; });
    ADD_FAILURE() << "the exception was not rethrown";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "broken b");
  }
  EXPECT_EQ(started, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(handled, std::vector<std::string>{"a"});
}

TEST(SlidingWindow, AHandlerThatThrowsLetsWhatIsInFlightEndAndHandsNothingMore) {
  const std::vector<std::string> items = {"a", "b", "c", "d"};
  std::vector<std::string> started;
  int handled = 0;
  int asked = 0;
  std::mutex mutex;
  EXPECT_THROW(slidingWindow(
                   items, 2,
                   [&](const std::string& item) {
                     std::lock_guard lock(mutex);
                     started.push_back(item);
                     return item;
                   },
                   [&](const std::string&, const std::string&) {
                     ++handled;
                     throw std::runtime_error("handler");
                   },
                   [&] {
                     ++asked;
                     return true;
                   }),
               std::runtime_error);
  std::sort(started.begin(), started.end());
  EXPECT_EQ(started, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(asked, 0);
}
