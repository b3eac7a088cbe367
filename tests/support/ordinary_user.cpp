#include "support/ordinary_user.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "platform/unique_fd.h"
#include "services/system/process_runner.h"

namespace hl::test {
namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";
// Set in the child, so that a child that is still root never hands the test on again.
constexpr const char* kMarker = "HL_TEST_AS_ORDINARY_USER";

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

OrdinaryUserRun runAsOrdinaryUser() {
  if (::geteuid() != 0) return {};
  if (std::getenv(kMarker) != nullptr) {
    return {false, "setpriv ran the test as root: no ordinary user could be had"};
  }
  const passwd* nobody = ::getpwnam("nobody");
  if (nobody == nullptr) return {false, "there is no user \"nobody\" to run the test as"};
  if (::access(kSetpriv, X_OK) != 0) {
    return {false, std::string(kSetpriv) + " (util-linux) is missing"};
  }
  // The test executable is handed over as a descriptor: its folder may be closed to "nobody".
  const UniqueFd self(::open("/proc/self/exe", O_RDONLY));
  if (!self.valid()) return {false, "cannot open /proc/self/exe"};

  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(test->test_suite_name()) + "." + test->name();
  const std::optional<ProcessOutput> child = ProcessRunner::run(
      kSetpriv,
      {"--reuid=" + std::to_string(nobody->pw_uid), "--regid=" + std::to_string(nobody->pw_gid),
       "--clear-groups", "/proc/self/fd/" + std::to_string(self.get()), "--gtest_filter=" + name},
      std::chrono::seconds(60),
      // The child's own fake home goes below /tmp, where "nobody" may create it.
      {{kMarker, "1"}, {"HL_TEST_TMP", ""}});
  if (!child) return {false, std::string("could not start ") + kSetpriv};

  const std::string output = child->out + child->err;
  if (!contains(output, "[==========] Running 1 test")) {
    return {false, "the test could not be run as nobody: " + output};
  }
  if (child->succeeded() && contains(output, "[  SKIPPED ] 1 test")) {
    // gtest writes "FILE:LINE: Skipped", the reason, then a blank line.
    std::size_t begin = output.find("Skipped\n");
    begin = begin == std::string::npos ? 0 : begin + 8;
    return {true, "as nobody: " + output.substr(begin, output.find("\n\n", begin) - begin)};
  }
  if (!child->succeeded() || !contains(output, "[  PASSED  ] 1 test")) {
    ADD_FAILURE() << "as nobody, " << name << (child->timedOut ? " timed out" : " failed")
                  << ":\n"
                  << output;
  }
  return {true, std::nullopt};
}

}  // namespace hl::test
