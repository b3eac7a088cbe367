#include "services/measurement/walk_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace hl;

namespace {

// A task that adds `fanout` children until `depth` is reached, counting every task that ran
// and the most that ran at once.
struct Counters {
  std::atomic<int> ran{0};
  std::atomic<int> running{0};
  std::atomic<int> most{0};
};

void spread(Counters& counters, int depth, int fanout, WalkPool::Job& job) {
  const int now = ++counters.running;
  int most = counters.most.load();
  while (now > most && !counters.most.compare_exchange_weak(most, now)) {
  }
  ++counters.ran;
  if (depth > 0) {
    std::vector<WalkPool::Task> tasks;
    for (int i = 0; i < fanout; ++i) {
      tasks.emplace_back(
          [&counters, depth, fanout](WalkPool::Job& j) { spread(counters, depth - 1, fanout, j); });
    }
    job.add(tasks);
    EXPECT_TRUE(tasks.empty());
  }
  --counters.running;
}

int treeSize(int depth, int fanout) {
  int total = 1;
  int level = 1;
  for (int d = 0; d < depth; ++d) total += (level *= fanout);
  return total;
}

}  // namespace

TEST(WalkPool, RunsEveryTaskAddedToTheJobBeforeReturning) {
  WalkPool pool(3);
  EXPECT_EQ(pool.threadCount(), 3u);
  Counters counters;
  pool.run([&](WalkPool::Job& job) { spread(counters, 4, 5, job); });
  EXPECT_EQ(counters.ran.load(), treeSize(4, 5));
  EXPECT_EQ(counters.running.load(), 0);
}

TEST(WalkPool, ConcurrentJobsShareTheBoundedThreads) {
  WalkPool pool(2);
  Counters counters;
  std::vector<std::thread> callers;
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      Counters own;
      pool.run([&](WalkPool::Job& job) {
        spread(own, 3, 6, job);
        spread(counters, 0, 0, job);
      });
      EXPECT_EQ(own.ran.load(), treeSize(3, 6));
      // The pool's two threads and its own caller, never another caller.
      EXPECT_LE(own.most.load(), 3);
    });
  }
  for (std::thread& caller : callers) caller.join();
  EXPECT_EQ(counters.ran.load(), 4);
  EXPECT_LE(counters.most.load(), 2 + 4);
}

TEST(WalkPool, AWalkStartedFromATaskDoesNotWaitForItself) {
  // One thread: a task that waited for a nested job would hold the only thread forever.
  WalkPool pool(1);
  Counters inner;
  pool.run(
      [&](WalkPool::Job&) { pool.run([&](WalkPool::Job& job) { spread(inner, 2, 3, job); }); });
  EXPECT_EQ(inner.ran.load(), treeSize(2, 3));
}

TEST(WalkPool, RethrowsWhatATaskThrewOnceTheJobIsDone) {
  WalkPool pool(2);
  Counters counters;
  EXPECT_THROW(pool.run([&](WalkPool::Job& job) {
    spread(counters, 2, 4, job);
    throw std::runtime_error("broken");
  }),
               std::runtime_error);
  EXPECT_EQ(counters.ran.load(), treeSize(2, 4));
  // The pool goes on serving.
  Counters after;
  pool.run([&](WalkPool::Job& job) { spread(after, 1, 2, job); });
  EXPECT_EQ(after.ran.load(), 3);
}

// Threads are woken one after another rather than all at once; still, while work waits, every
// sleeping thread joins in: six tasks that each wait for all six to be running at once finish
// only on six threads besides the busy caller.
TEST(WalkPool, EverySleepingThreadJoinsWhileWorkWaits) {
  constexpr int kTasks = 6;
  WalkPool pool(kTasks);
  std::atomic<int> arrived{0};
  std::atomic<int> timedOut{0};
  const auto waitForAll = [&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (arrived.load() < kTasks) {
      if (std::chrono::steady_clock::now() > deadline) {
        ++timedOut;
        return;
      }
      std::this_thread::yield();
    }
  };
  for (int round = 0; round < 2; ++round) {
    arrived = 0;
    pool.run([&](WalkPool::Job& job) {
      std::vector<WalkPool::Task> tasks;
      for (int i = 0; i < kTasks; ++i) {
        tasks.emplace_back([&](WalkPool::Job&) {
          ++arrived;
          waitForAll();
        });
      }
      job.add(tasks);
      // The caller stays busy, so only the pool's threads can take the tasks.
      waitForAll();
    });
    EXPECT_EQ(arrived.load(), kTasks) << round;
  }
  EXPECT_EQ(timedOut.load(), 0);
}
