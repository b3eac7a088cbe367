#include "services/system/tool_locator.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>

#include "support/fake_home.h"
#include "support/fake_process_runner.h"
#include "support/service_printers.h"

using namespace hl;
using namespace std::chrono_literals;
using hl::test::FakeHome;
using hl::test::FakeProcessRunner;
using Tool = NativeAction::Tool;

namespace {

const std::string shell = "/bin/bash";
const std::string env = "/usr/bin/env";

ToolLocator::Dependencies dependenciesOf(const FakeProcessRunner& fake,
                                         const std::string& home = "/nonexistent-home") {
  return ToolLocator::Dependencies{fake.launcher(), [] { return shell; }, [home] { return home; }};
}

std::string executable(FakeHome& home, const std::string& relative, const std::string& script) {
  const std::string path = home.text(relative, "#!/bin/sh\n" + script + "\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

}  // namespace

TEST(ToolLocator, TheProbeScriptIsPosixAndNamesEveryToolOnce) {
  EXPECT_EQ(ToolLocator::probeScript(),
            "printf '%s\\n' \"PATH=$PATH\"; for t in brew conda docker go npm pnpm uv xcrun; do "
            "p=$(command -v $t 2>/dev/null) && printf '%s\\n' \"$t=$p\"; done");
  EXPECT_EQ(ToolLocator::probeShell("/usr/bin/zsh"), "/usr/bin/zsh");
  EXPECT_EQ(ToolLocator::probeShell("/bin/dash"), "/bin/dash");
  EXPECT_EQ(ToolLocator::probeShell("/bin/mksh"), "/bin/mksh");
  EXPECT_EQ(ToolLocator::probeShell("/usr/bin/fish"), "/bin/bash");
  EXPECT_EQ(ToolLocator::probeShell("/usr/sbin/nologin"), "/bin/bash");
  EXPECT_EQ(ToolLocator::probeShell("zsh"), "/bin/bash");
  EXPECT_EQ(ToolLocator::probeShell(""), "/bin/bash");
}

TEST(ToolLocator, ReadsOnlyTheLinesThatLookLikeAnswers) {
  const auto answer = ToolLocator::parseShellOutput(
      "Welcome to your shell\n"
      "PATH=/first\n"
      "uv=/opt/uv/bin/uv\n"
      "go=go: aliased to something\n"
      "docker\n"
      "\n"
      "pnpm=/odd/a=b/pnpm\n"
      "PATH=/usr/local/bin:/usr/bin\n"
      "uv=/later/uv\n");
  EXPECT_EQ(answer.path, "/usr/local/bin:/usr/bin");
  EXPECT_EQ(answer.found,
            (std::map<std::string, std::string>{{"uv", "/later/uv"}, {"pnpm", "/odd/a=b/pnpm"}}));
  EXPECT_EQ(ToolLocator::parseShellOutput("nothing here").path, std::nullopt);
  EXPECT_EQ(ToolLocator::absoluteLines("note\n/a\n\n relative\n/b/c\n"),
            (std::vector<std::string>{"/a", "/b/c"}));
}

TEST(ToolLocator, ResolvesToolsAndTheirCacheFolders) {
  FakeHome home;
  const std::string conda = executable(home, "miniconda3/bin/conda", "exit 0");
  FakeProcessRunner fake;
  // The loop's last lookup fails, so the shell exits non-zero; its output still counts.
  fake.on(shell, {"-lc"},
          FakeProcessRunner::output(1,
                                    "PATH=/login/bin:/usr/bin\n"
                                    "go=/usr/local/go/bin/go\n"
                                    "npm=/usr/bin/npm\n"
                                    "uv=/home/u/.cargo/bin/uv\n"
                                    "xcrun=/usr/bin/xcrun\n"));
  fake.on(env, {"go", "env"}, FakeProcessRunner::output(0, "/gopath/pkg/mod\n/gocache\n"));
  fake.on(env, {"npm", "config"}, FakeProcessRunner::output(0, "/npm-cache\n"));
  fake.on(env, {"uv", "cache"}, FakeProcessRunner::output(2, "/uv-cache\n"));
  ToolLocator locator(dependenciesOf(fake, home.path()));
  const ToolEnvironment found = locator.environment();

  EXPECT_EQ(found.path, "/login/bin:/usr/bin");
  EXPECT_EQ(found.available,
            (std::set<Tool>{Tool::uv, Tool::go, Tool::npm, Tool::simctl, Tool::conda}));
  EXPECT_EQ(found.binaries.at(Tool::simctl), "/usr/bin/xcrun");
  EXPECT_EQ(found.binaries.at(Tool::conda), conda);
  EXPECT_EQ(found.locations, (std::map<ToolLocationKey, std::string>{
                                 {ToolLocationKey::goModCache, "/gopath/pkg/mod/cache"},
                                 {ToolLocationKey::goBuildCache, "/gocache"},
                                 {ToolLocationKey::npmCacache, "/npm-cache/_cacache"},
                                 {ToolLocationKey::npmNpx, "/npm-cache/_npx"}}));

  const auto calls = fake.calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0].arguments, (std::vector<std::string>{"-lc", ToolLocator::probeScript()}));
  EXPECT_EQ(calls[0].timeout, ProcessRunner::Duration(8s));
  EXPECT_TRUE(calls[0].environment.empty());
  // One probe for each found tool that has one (conda and simctl have none), by plain name.
  EXPECT_EQ(fake.callCount(env), 3u);
  for (const auto& call : calls) {
    if (call.executable != env) continue;
    EXPECT_EQ(call.timeout, ProcessRunner::Duration(10s));
    // npm writes no debug log and asks no registry for a newer npm while it is only asked.
    EXPECT_EQ(call.environment, (ProcessRunner::Environment{{"PATH", "/login/bin:/usr/bin"},
                                                            {"npm_config_logs_max", "0"},
                                                            {"npm_config_update_notifier", "false"}}));
    EXPECT_EQ(call.arguments[0].find('/'), std::string::npos);
  }
  EXPECT_EQ(fake.callCount(env, {"go", "env", "GOMODCACHE", "GOCACHE"}), 1u);
  EXPECT_EQ(fake.callCount(env, {"npm", "config", "get", "cache"}), 1u);
  EXPECT_EQ(fake.callCount(env, {"uv", "cache", "dir"}), 1u);
}

TEST(ToolLocator, TakesTheLastAnswerAndIgnoresIncompleteGoAnswers) {
  FakeProcessRunner fake;
  fake.on(shell, {"-lc"},
          FakeProcessRunner::output(0, "PATH=/p\npnpm=/p/pnpm\nbrew=/p/brew\ngo=/p/go\n"));
  fake.on(env, {"pnpm"}, FakeProcessRunner::output(0, "note\n/store/v1\n/store/v3\n"));
  fake.on(env, {"brew"}, FakeProcessRunner::output(0, "/brew-cache\n"));
  fake.on(env, {"go"}, FakeProcessRunner::output(0, "/a\n/b\n/c\n"));
  ToolLocator locator(dependenciesOf(fake));
  const ToolEnvironment found = locator.environment();
  EXPECT_EQ(found.locations,
            (std::map<ToolLocationKey, std::string>{{ToolLocationKey::pnpmStore, "/store/v3"},
                                                    {ToolLocationKey::brewCache, "/brew-cache"}}));
}

TEST(ToolLocator, AShellThatCannotAnswerLeavesTheDefaultPath) {
  FakeProcessRunner timedOut;
  timedOut.on(shell, {"-lc"}, FakeProcessRunner::output(-1, "PATH=/x\nuv=/x/uv\n", "", true));
  EXPECT_EQ(ToolLocator(dependenciesOf(timedOut)).environment(), ToolEnvironment::empty());
  EXPECT_EQ(timedOut.callCount(), 1u);

  FakeProcessRunner missing;  // the shell cannot be launched
  EXPECT_EQ(ToolLocator(dependenciesOf(missing)).environment(), ToolEnvironment::empty());
  EXPECT_EQ(ToolEnvironment::empty().path,
            "/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin");
}

TEST(ToolLocator, KeepsItsAnswerUntilARefreshAndNeverKeepsAStoppedOne) {
  FakeProcessRunner fake;
  int resolutions = 0;
  std::mutex mutex;
  fake.on(shell, {"-lc"}, [&](const FakeProcessRunner::Call&) {
    std::lock_guard lock(mutex);
    ++resolutions;
    return FakeProcessRunner::output(0, "PATH=/run" + std::to_string(resolutions) + "\n");
  });
  ToolLocator locator(dependenciesOf(fake));

  std::stop_source stop;
  stop.request_stop();
  EXPECT_EQ(locator.environment(false, stop.get_token()), std::nullopt);
  EXPECT_EQ(locator.cached(), std::nullopt);

  EXPECT_EQ(locator.environment().path, "/run2");
  EXPECT_EQ(locator.environment().path, "/run2");
  EXPECT_EQ(locator.environment(true).path, "/run3");
  EXPECT_EQ(locator.cached()->path, "/run3");
  // A stopped refresh leaves the kept answer alone.
  EXPECT_EQ(locator.environment(true, stop.get_token()), std::nullopt);
  EXPECT_EQ(locator.cached()->path, "/run3");
  EXPECT_EQ(locator.resolve()->path, "/run5");
  EXPECT_EQ(locator.cached()->path, "/run3");
}

TEST(ToolLocator, TheReadOnlyGateStartsNoProcess) {
  FakeProcessRunner fake;
  fake.on(shell, {"-lc"}, FakeProcessRunner::output(0, "PATH=/p\npnpm=/p/pnpm\n"));
  fake.on("/p/pnpm", {}, FakeProcessRunner::output(0));
  ToolLocator locator(dependenciesOf(fake));
  const DestructiveGate closed = DestructiveGate::current();
  ASSERT_TRUE(closed.isReadOnly());
  EXPECT_EQ(locator.run(NativeAction{Tool::pnpm}, closed), std::nullopt);
  EXPECT_EQ(fake.callCount(), 0u);
  locator.environment();
  const std::size_t afterResolution = fake.callCount();
  EXPECT_EQ(locator.run(NativeAction{Tool::pnpm}, closed), std::nullopt);
  EXPECT_EQ(fake.callCount(), afterResolution);
}

TEST(ToolLocator, RunsAFoundToolDirectlyAndABareNameThroughEnv) {
  FakeProcessRunner fake;
  fake.on(shell, {"-lc"}, FakeProcessRunner::output(0, "PATH=/p:/q\nxcrun=/q/xcrun\n"));
  fake.on("/q/xcrun", {}, FakeProcessRunner::output(0, "deleted\n"));
  fake.on(env, {"docker"}, FakeProcessRunner::output(1, "", "no daemon\n"));
  ToolLocator locator(dependenciesOf(fake));

  std::string seen;
  const auto simulators = locator.run(NativeAction{Tool::simctl}, DestructiveGate::open(),
                                      [&seen](std::string_view chunk) { seen += chunk; });
  ASSERT_TRUE(simulators);
  EXPECT_TRUE(simulators->succeeded());
  EXPECT_EQ(seen, "deleted\n");
  const auto direct = fake.calls().back();
  EXPECT_EQ(direct.executable, "/q/xcrun");
  EXPECT_EQ(direct.arguments, (std::vector<std::string>{"simctl", "delete", "unavailable"}));
  // A confirmed cleanup command runs as the user would run it.
  EXPECT_EQ(direct.environment, (ProcessRunner::Environment{{"PATH", "/p:/q"}}));
  EXPECT_EQ(direct.timeout, ProcessRunner::Duration(120s));
  EXPECT_TRUE(direct.watchedOutput);

  // Not found by the shell: run by name through env, and a failure is passed back as it is.
  const auto docker = locator.run(NativeAction{Tool::docker}, DestructiveGate::open());
  ASSERT_TRUE(docker);
  EXPECT_EQ(docker->status, 1);
  EXPECT_EQ(fake.calls().back().arguments,
            (std::vector<std::string>{"docker", "system", "prune", "-f"}));
  EXPECT_EQ(fake.callCount(shell), 1u);

  FakeProcessRunner nothing;
  EXPECT_EQ(
      ToolLocator(dependenciesOf(nothing)).run(NativeAction{Tool::npm}, DestructiveGate::open()),
      std::nullopt);
}

TEST(ToolLocator, AToolPathHoldingAnEqualsSignRunsThatTool) {
  FakeHome home;
  const std::string tool = executable(home, "tools/a=b/pnpm", "echo \"pnpm ran: $*\"");
  // The shell is scripted; the tool itself runs for real.
  FakeProcessRunner fake;
  fake.on(shell, {"-lc"}, FakeProcessRunner::output(0, "PATH=/usr/bin:/bin\npnpm=" + tool + "\n"));
  const ProcessRunner::Launcher real = ProcessRunner::launcher();
  const ProcessRunner::Launcher scripted = fake.launcher();
  ToolLocator::Dependencies dependencies{
      [&](const std::string& executable, const std::vector<std::string>& arguments,
          ProcessRunner::Duration timeout, const ProcessRunner::Environment& environment,
          const ProcessRunner::OutputHandler& onOutput, std::stop_token stop) {
        if (executable == shell) {
          return scripted(executable, arguments, timeout, environment, onOutput, stop);
        }
        if (executable == env && arguments == std::vector<std::string>{"pnpm", "store", "path"}) {
          return std::optional<ProcessOutput>();  // the store probe is not under test here
        }
        return real(executable, arguments, timeout, environment, onOutput, stop);
      },
      [] { return shell; }, [&home] { return home.path(); }};
  ToolLocator locator(dependencies);
  const auto output = locator.run(NativeAction{Tool::pnpm}, DestructiveGate::open());
  ASSERT_TRUE(output);
  EXPECT_EQ(*output, (ProcessOutput{0, "pnpm ran: store prune\n", "", false}));
}

TEST(ToolLocator, AskingARealLoginShellFindsToolsOnItsPath) {
  FakeHome home;
  executable(home, "bin/uv", "echo \"$HOME/uv-cache\"");
  executable(home, "bin/pnpm", "exit 1");
  home.text(".profile", "PATH=\"$HOME/bin\"\nexport PATH\n");
  home.text(".bash_profile", ". \"$HOME/.profile\"\n");
  const std::string savedHome = std::getenv("HOME");
  // The shell reads the startup files of the home in its environment.
  ToolLocator::Dependencies dependencies{
      [&](const std::string& executable, const std::vector<std::string>& arguments,
          ProcessRunner::Duration timeout, const ProcessRunner::Environment& environment,
          const ProcessRunner::OutputHandler& onOutput, std::stop_token stop) {
        ProcessRunner::Environment withHome = environment;
        withHome["HOME"] = home.path();
        return ProcessRunner::run(executable, arguments, timeout, withHome, onOutput, stop);
      },
      [] { return std::string("/bin/bash"); }, [&home] { return home.path(); }};
  ToolLocator locator(dependencies);
  const ToolEnvironment found = locator.environment();
  EXPECT_EQ(found.path, home / "bin");
  EXPECT_EQ(found.available, (std::set<Tool>{Tool::pnpm, Tool::uv}));
  EXPECT_EQ(found.binaries.at(Tool::uv), home / "bin/uv");
  EXPECT_EQ(
      found.locations,
      (std::map<ToolLocationKey, std::string>{{ToolLocationKey::uvCache, home / "uv-cache"}}));
  EXPECT_EQ(std::getenv("HOME"), savedHome);
}

TEST(ToolLocationKey, RawValuesAreTheCaseNames) {
  for (ToolLocationKey key : allToolLocationKeys) {
    EXPECT_EQ(toolLocationKeyFromRaw(rawValue(key)), key);
  }
  EXPECT_EQ(rawValue(ToolLocationKey::npmCacache), "npmCacache");
  EXPECT_EQ(toolLocationKeyFromRaw("NpmNpx"), std::nullopt);
  ToolEnvironment changed = ToolEnvironment::empty();
  EXPECT_EQ(changed.hash(), ToolEnvironment::empty().hash());
  changed.locations[ToolLocationKey::npmNpx] = "/x";
  EXPECT_NE(changed, ToolEnvironment::empty());
}
