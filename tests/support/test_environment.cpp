#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/scratch_mount.h"

namespace hl::test {
namespace {

std::string& rootStorage() {
  static std::string root;
  return root;
}

void makeFolder(const std::string& path, mode_t mode = 0755) {
  if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot create test folder " + path);
  }
}

void removeRoot() {
  const std::string& root = rootStorage();
  if (root.empty()) return;
  // Tests may leave folders without permissions behind; give them back before removing.
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(
           root, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      ::chmod(it->path().c_str(), 0700);
    }
  }
  ::chmod(root.c_str(), 0700);
  std::filesystem::remove_all(root, ec);
}

// Points HOME, the XDG folders and TMPDIR at a new fake home below `base`.
void enterFakeHome(const std::string& base) {
  const std::string home = base + "/home";
  makeFolder(home);
  makeFolder(home + "/.local");
  makeFolder(home + "/.local/share");
  makeFolder(home + "/.config");
  makeFolder(home + "/.cache");
  makeFolder(base + "/tmp", 0700);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
  // The system's settings folders are read too: none of this machine's may reach a test.
  makeFolder(base + "/etc-xdg");
  ::setenv("XDG_CONFIG_DIRS", (base + "/etc-xdg").c_str(), 1);
  ::setenv("TMPDIR", (base + "/tmp").c_str(), 1);
}

// Every test starts in a home of its own, so that no test sees the history, settings or Trash
// an earlier test of the same process left behind, whatever order they run in.
class FreshHomeForEachTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    enterFakeHome(makeScratchFolder("test"));
  }
};

}  // namespace

void prepareFakeEnvironment(int, char**) {
  // A mount namespace belongs to a thread: entered now, before any thread starts, it is the one
  // every thread of the test process works in, the walk pool's included.
  ScratchMount::unavailableReason();
  const char* base = std::getenv("HL_TEST_TMP");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/hl-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create the test root");
  }
  rootStorage() = pattern;
  enterFakeHome(pattern);
  ::setenv("XCTestConfigurationFilePath", "harborlume-tests", 1);
  std::atexit(removeRoot);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshHomeForEachTest);
}

const std::string& testRoot() {
  return rootStorage();
}

std::string makeScratchFolder(const std::string& prefix) {
  std::string pattern = testRoot() + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a scratch folder");
  }
  return pattern;
}

}  // namespace hl::test
