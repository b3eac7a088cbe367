#include <gtest/gtest.h>

#include "guarded_fakes.h"

using namespace hl;
using namespace hl::test;
using Ids = std::set<std::string>;
using namespace std::chrono_literals;

namespace {

CacheItem sized(const std::string& path, std::int64_t size) {
  return makeItem(path, CacheGroup::packageCaches, RiskLevel::safe, size);
}

// Every state in which a new removal would be refused is busy, and says so when it begins and
// when it ends; an armed Quick Clean not yet confirmed is not.
TEST(CleanerRemovalBusy, FollowsEveryStateThatRefusesANewRemoval) {
  struct Case {
    const char* name;
    std::function<void(Guarded&)> begin;
  };
  const auto planned = [](Guarded& h) {
    h->requestTrash(Ids{"/c/a"});
    h.executor->settle();
    ASSERT_TRUE(h->pendingPlan());
  };
  const std::vector<Case> cases = {
      {"a request being checked", [](Guarded& h) { h->requestTrash(Ids{"/c/a"}); }},
      {"the sheet's removal running",
       [&](Guarded& h) {
         planned(h);
         const TrashPlan plan = *h->pendingPlan();
         h->confirmTrash(plan, plan.createdAt + 1s);
       }},
      {"a confirmed Quick Clean checking before it removes",
       [](Guarded& h) {
         h->armQuickClean();
         h.executor->step();
         ASSERT_TRUE(h->quickClean().confirming());
         h->confirmQuickClean(referenceDate() + 1s);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Guarded h;
    h.scan({sized("/c/a", 10), sized("/c/b", 20)});
    SignalCounter counter;
    int& busyChanges = counter.watch(*h, &CleanerViewModel::isRemovalBusyChanged);
    EXPECT_FALSE(h->isRemovalBusy());
    c.begin(h);
    EXPECT_TRUE(h->isRemovalBusy());
    const int announced = busyChanges;
    EXPECT_GE(announced, 1);
    h.executor->settle();
    EXPECT_FALSE(h->isRemovalBusy());
    EXPECT_GT(busyChanges, announced);
  }

  Guarded h;
  h.scan({sized("/c/a", 10)});
  h->armQuickClean();
  h.executor->step();
  ASSERT_TRUE(h->quickClean().confirming());
  EXPECT_FALSE(h->isRemovalBusy());
  // A cancel after the confirmation shows idle at once, while the removal still goes ahead.
  h->confirmQuickClean(referenceDate() + 1s);
  h->cancelQuickClean();
  EXPECT_TRUE(h->quickClean().isIdle());
  EXPECT_TRUE(h->isRemovalBusy());
  h.executor->settle();
  EXPECT_FALSE(h->isRemovalBusy());
}

}  // namespace
