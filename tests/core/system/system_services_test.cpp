#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include "models/owner_names.h"
#include "services/in_use/process_guard.h"
#include "services/system/command_line_tools.h"
#include "services/system/system_queries.h"
#include "support/fake_home.h"
#include "support/fake_process_runner.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;
using hl::test::FakeProcessRunner;
using Probe = CommandLineTools::ProbeResult;

TEST(CommandLineTools, ConcurrentCallersShareOneProbe) {
  std::atomic<int> probes{0};
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  CommandLineTools tools([&] {
    ++probes;
    released.wait();
    return Probe::installed;
  });
  std::vector<std::future<Probe>> answers;
  for (int i = 0; i < 10; ++i) {
    answers.push_back(std::async(std::launch::async, [&tools] { return tools.status(); }));
  }
  release.set_value();
  for (auto& answer : answers) EXPECT_EQ(answer.get(), Probe::installed);
  EXPECT_EQ(probes.load(), 1);
  EXPECT_TRUE(tools.isInstalled());
  EXPECT_EQ(probes.load(), 1);
}

TEST(CommandLineTools, OnlyADeterminateAnswerIsKept) {
  std::vector<Probe> script = {Probe::indeterminate, Probe::missing, Probe::installed};
  std::size_t probes = 0;
  CommandLineTools tools([&] { return script[probes++]; });
  EXPECT_EQ(tools.status(), Probe::indeterminate);
  EXPECT_EQ(tools.status(), Probe::missing);
  EXPECT_EQ(tools.status(), Probe::missing);
  EXPECT_FALSE(tools.isInstalled());
  EXPECT_EQ(probes, 2u);

  CommandLineTools throwing([]() -> Probe { throw std::runtime_error("probe failed"); });
  EXPECT_EQ(throwing.status(), Probe::indeterminate);
}

TEST(CommandLineTools, GitIsInstalledOnlyAsAnExecutableFile) {
  FakeHome home;
  const std::string git = home.text("bin/git", "#!/bin/sh\n");
  ::chmod(git.c_str(), 0755);
  const std::string plain = home.text("bin/plain", "data");
  ::chmod(plain.c_str(), 0644);
  home.symlink("bin/linked", git);
  home.symlink("bin/dangling", home / "missing");
  EXPECT_EQ(CommandLineTools::checkGit(git), Probe::installed);
  EXPECT_EQ(CommandLineTools::checkGit(home / "bin/linked"), Probe::installed);
  EXPECT_EQ(CommandLineTools::checkGit(plain), Probe::missing);
  EXPECT_EQ(CommandLineTools::checkGit(home / "bin"), Probe::missing);
  EXPECT_EQ(CommandLineTools::checkGit(home / "bin/dangling"), Probe::missing);
  EXPECT_EQ(CommandLineTools::checkGit(home / "nothing/git"), Probe::missing);
  EXPECT_EQ(CommandLineTools::checkGit(plain + "/git"), Probe::missing);
  // A path the system refuses to look at gives no answer either way.
  EXPECT_EQ(CommandLineTools::checkGit("/" + std::string(5000, 'x')), Probe::indeterminate);
  if (::access("/usr/bin/git", X_OK) == 0) {
    EXPECT_EQ(CommandLineTools::shared().status(), Probe::installed);
  }
}

TEST(ProcessGuard, OwnerTables) {
  EXPECT_EQ(ProcessGuard::genericRuntimes().size(), 17u);
  EXPECT_EQ(ProcessGuard::genericRuntimes().count("python3"), 1u);
  EXPECT_EQ(ProcessGuard::genericRuntimes().count("Docker"), 0u);
  EXPECT_TRUE(ProcessGuard::blockingOwners(NativeAction::Tool::brew).empty());
  EXPECT_TRUE(ProcessGuard::blockingOwners(NativeAction::Tool::npm).empty());
  EXPECT_EQ(ProcessGuard::blockingOwners(NativeAction::Tool::go),
            (std::vector<std::string>{"go", "gopls"}));
  EXPECT_EQ(ProcessGuard::blockingOwners(NativeAction::Tool::docker),
            (std::vector<std::string>{"Docker", "com.docker.backend"}));
  EXPECT_EQ(
      ProcessGuard::blockingOwners(NativeAction::Tool::simctl),
      (std::vector<std::string>{"Simulator", "com.apple.CoreSimulator.CoreSimulatorService"}));
  EXPECT_EQ(ProcessGuard::blockingOwners(NativeAction::Tool::conda),
            (std::vector<std::string>{"conda", "python", "python3"}));
  EXPECT_EQ(ownerDisplayName("Claude.app"), "Claude desktop");
  EXPECT_EQ(ownerDisplayName("com.apple.CoreSimulator.CoreSimulatorService"),
            "CoreSimulatorService");
  EXPECT_EQ(ownerDisplayName("Xcode"), "Xcode");
  EXPECT_EQ(ownerDisplayName("CLAUDE"), "CLAUDE");
}

TEST(ProcessGuard, RunningAsksTheProcessListOnlyWhenThereIsSomethingToAsk) {
  int snapshots = 0;
  const ProcessGuard::RunningOwnersSource source = [&](const std::set<std::string>& keys) {
    ++snapshots;
    std::set<std::string> found = {"Docker", "unrelated"};
    (void)keys;
    return std::optional<std::set<std::string>>(found);
  };
  EXPECT_EQ(ProcessGuard::running({}, source), std::set<std::string>{});
  EXPECT_EQ(snapshots, 0);
  EXPECT_EQ(ProcessGuard::running({"Docker", "com.docker.backend"}, source),
            std::set<std::string>{"Docker"});
  EXPECT_EQ(snapshots, 1);

  const ProcessGuard::RunningOwnersSource failing = [](const std::set<std::string>&) {
    return std::optional<std::set<std::string>>();
  };
  EXPECT_EQ(ProcessGuard::running({"go"}, failing), std::nullopt);
  EXPECT_EQ(ProcessGuard::running({"go"}, nullptr), std::nullopt);
}

namespace {

struct MeasureRecorder {
  std::vector<std::string> measured;
  SystemQueries::FolderMeasurer measurer() {
    return [this](const std::string& folder) -> std::optional<std::int64_t> {
      measured.push_back(folder);
      if (folder == "/stopped") return std::nullopt;
      return folder == "/missing" ? 0 : 4096;
    };
  }
};

}  // namespace

TEST(SystemQueries, SumsUnavailableSimulators) {
  MeasureRecorder recorder;
  const auto result = SystemQueries::parseUnavailableSimulators(R"({
    "devices": {
      "runtime-a": [
        {"name": "A", "dataPathSize": 1000, "dataPath": "/never-measured"},
        {"name": "B", "dataPathSize": 0, "dataPath": "/never-measured-either"},
        {"name": "C", "dataPath": "/measured"}
      ],
      "runtime-b": [
        {"name": "D", "dataPath": "/missing"},
        {"name": "E", "dataPath": "/stopped"},
        {"name": "F"},
        {"name": "G", "dataPathSize": "12", "dataPath": "/text-size"}
      ],
      "runtime-c": [{"name": "H", "dataPathSize": 5}, "not a device"],
      "runtime-d": {"name": "I", "dataPathSize": 7},
      "runtime-e": []
    },
    "other": 1
  })",
                                                                recorder.measurer());
  ASSERT_TRUE(result);
  EXPECT_EQ(result->count, 7);
  EXPECT_EQ(result->size, 1000 + 0 + 4096 + 0 + 0 + 4096);
  EXPECT_EQ(recorder.measured,
            (std::vector<std::string>{"/measured", "/missing", "/stopped", "/text-size"}));
}

TEST(SystemQueries, NoDeviceOrNoObjectIsNoAnswer) {
  MeasureRecorder recorder;
  const auto measure = recorder.measurer();
  EXPECT_EQ(
      SystemQueries::parseUnavailableSimulators(R"({"devices": {"a": [], "b": []}})", measure),
      std::nullopt);
  EXPECT_EQ(SystemQueries::parseUnavailableSimulators(R"([{"devices": {}}])", measure),
            std::nullopt);
  EXPECT_EQ(SystemQueries::parseUnavailableSimulators(R"({"devices": []})", measure), std::nullopt);
  EXPECT_EQ(SystemQueries::parseUnavailableSimulators("simctl: error", measure), std::nullopt);
  EXPECT_EQ(SystemQueries::parseUnavailableSimulators("", measure), std::nullopt);
  const auto huge = SystemQueries::parseUnavailableSimulators(
      R"({"devices": {"a": [{"dataPathSize": 9.0e18}, {"dataPathSize": 9.0e18}]}})", measure);
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->size, std::numeric_limits<std::int64_t>::max());
}

TEST(SystemQueries, KeepsSnapshotLinesWhole) {
  EXPECT_EQ(SystemQueries::parseLocalSnapshots("Snapshots for disk /:\n"
                                               "com.apple.TimeMachine.2026-03-01-120000.local\n"
                                               "\n"
                                               "  com.apple.TimeMachine.2026-03-02-120000.local  \n"
                                               "com.apple.timemachine.lowercase\n"
                                               "other.com.apple.TimeMachine"),
            (std::vector<std::string>{"com.apple.TimeMachine.2026-03-01-120000.local",
                                      "  com.apple.TimeMachine.2026-03-02-120000.local  ",
                                      "other.com.apple.TimeMachine"}));
  EXPECT_TRUE(SystemQueries::parseLocalSnapshots("").empty());
}

TEST(SystemQueries, RunTheirCommandsAndAcceptOnlySuccess) {
  MeasureRecorder recorder;
  FakeProcessRunner fake;
  fake.on("/usr/bin/xcrun", {}, FakeProcessRunner::output(0, R"({"devices": {"r": [{}]}})"));
  fake.on("/usr/bin/tmutil", {}, FakeProcessRunner::output(0, "com.apple.TimeMachine.x\n"));
  EXPECT_EQ(SystemQueries::unavailableSimulators(recorder.measurer(), {}, fake.runner()),
            (SystemQueries::UnavailableSimulators{1, 0}));
  EXPECT_EQ(SystemQueries::localSnapshots({}, fake.runner()),
            std::vector<std::string>{"com.apple.TimeMachine.x"});
  const auto calls = fake.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].arguments,
            (std::vector<std::string>{"simctl", "list", "devices", "unavailable", "-j"}));
  EXPECT_EQ(calls[0].timeout, ProcessRunner::Duration(20s));
  EXPECT_EQ(calls[1].arguments, (std::vector<std::string>{"listlocalsnapshots", "/"}));
  EXPECT_EQ(calls[1].timeout, ProcessRunner::Duration(10s));

  FakeProcessRunner failing;
  failing.on("/usr/bin/xcrun", {},
             FakeProcessRunner::output(1, R"({"devices": {"r": [{"dataPathSize": 1}]}})"));
  failing.on("/usr/bin/tmutil", {},
             FakeProcessRunner::output(-1, "com.apple.TimeMachine.x\n", "", true));
  EXPECT_EQ(SystemQueries::unavailableSimulators(recorder.measurer(), {}, failing.runner()),
            std::nullopt);
  EXPECT_TRUE(SystemQueries::localSnapshots({}, failing.runner()).empty());

  // Where the commands do not exist, the real runner launches nothing and the answers are empty.
  if (::access("/usr/bin/xcrun", F_OK) != 0) {
    EXPECT_EQ(SystemQueries::unavailableSimulators(recorder.measurer()), std::nullopt);
  }
  if (::access("/usr/bin/tmutil", F_OK) != 0) {
    EXPECT_TRUE(SystemQueries::localSnapshots().empty());
  }
}
