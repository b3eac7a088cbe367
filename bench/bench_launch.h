#pragma once

// How the benchmarks of the program's own wiring start it: as a user whose home is the given
// folder lives it, on the offscreen platform, read-only, so nothing can be removed whatever the
// home holds. The home's own settings, data and cache folders stand in for the user's.

#include <QApplication>
#include <cstdlib>
#include <filesystem>

#include "app/launch_steps.h"
#include "platform/launch_arguments.h"

namespace hl::bench {

class ProgramLaunch {
 public:
  // Call before anything reads the environment.
  ProgramLaunch(const char* program, const std::filesystem::path& home) {
    arguments_[0] = program;
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("XCTestConfigurationFilePath");
    recordLaunchArguments(count_, arguments_);
  }

  int& count() { return count_; }
  char** arguments() { return const_cast<char**>(arguments_); }
  // Once the application object exists.
  static void named() { LaunchSteps::identifyApplication(); }

 private:
  int count_ = 2;
  const char* arguments_[3] = {nullptr, "-HLMReadOnly", nullptr};
};

}  // namespace hl::bench
