#pragma once

#include <optional>
#include <string>

namespace hl::test {

// How a test that needs an ordinary user's permissions runs in this process. Permissions do not
// bind the superuser, and CI runs as root; there the test runs itself again, that one test,
// as the user "nobody" (util-linux's setpriv), on fixtures made by that run.
struct OrdinaryUserRun {
  // The test ran in a child as an ordinary user; its outcome is already reported here.
  bool delegated = false;
  // Neither works here, and why.
  std::optional<std::string> skipReason;
};

// Not root: nothing to do, the test runs here. Root: runs the current test as "nobody".
OrdinaryUserRun runAsOrdinaryUser();

}  // namespace hl::test

// The first line of a test that needs an ordinary user: as root it hands the test to a child
// running as "nobody" and ends; it skips, with the reason, only where that is impossible.
#define HL_AS_ORDINARY_USER()                                                 \
  do {                                                                        \
    const ::hl::test::OrdinaryUserRun hlRun = ::hl::test::runAsOrdinaryUser(); \
    if (hlRun.skipReason) GTEST_SKIP() << *hlRun.skipReason;                  \
    if (hlRun.delegated) return;                                              \
  } while (false)
