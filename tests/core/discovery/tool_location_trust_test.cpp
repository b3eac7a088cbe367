#include "services/discovery/tool_location_trust.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "services/discovery/cache_discovery.h"
#include "services/system/tool_locator.h"
#include "support/fake_home.h"

using namespace hl;
using hl::test::FakeHome;
using Key = ToolLocationKey;

namespace {

const std::string kCacheTag = "Signature: 8a477f597d28d172789f06886806bc55\n";

std::optional<std::string> objectionTo(const FakeHome& home, Key key, const std::string& location) {
  return ToolLocationTrust::objection(key, location, TrashGuard{home.path()}.protectedLocations(),
                                      ToolLocationTrust::searchedFolders(home.path()));
}

}  // namespace

// A tool's answer is kept only where it holds that tool's own layout and nothing protected.
TEST(ToolLocationTrust, AnAnswerMustHoldTheToolsLayoutAndNothingProtected) {
  struct Case {
    const char* name;
    Key key;
    std::string location;  // home-relative unless it begins with "/"
    std::function<void(FakeHome&)> make;
    std::optional<std::string> objection;
  };
  const std::string notPnpm = "it does not hold pnpm's store";
  const std::vector<Case> cases = {
      {"pnpm's store", Key::pnpmStore, ".local/share/pnpm/store/v3",
       [](FakeHome& h) { h.dir(".local/share/pnpm/store/v3/files/74"); }, std::nullopt},
      {"a user's folder", Key::pnpmStore, "thesis",
       [](FakeHome& h) { h.text("thesis/chapter1.tex", "x"); }, notPnpm},
      {"a version folder without files", Key::pnpmStore, "thesis/v3",
       [](FakeHome& h) { h.dir("thesis/v3/chapters"); }, notPnpm},
      {"uv's cache", Key::uvCache, ".cache/uv",
       [](FakeHome& h) {
         h.text(".cache/uv/CACHEDIR.TAG", kCacheTag);
         h.dir(".cache/uv/wheels-v5");
       },
       std::nullopt},
      {"another tool's tagged cache", Key::uvCache, "code/app/target",
       [](FakeHome& h) {
         h.text("code/app/target/CACHEDIR.TAG", kCacheTag);
         h.dir("code/app/target/debug");
       },
       "it does not hold uv's cache"},
      {"go's module cache", Key::goModCache, "go/pkg/mod/cache",
       [](FakeHome& h) { h.dir("go/pkg/mod/cache/download/golang.org"); }, std::nullopt},
      {"go's build cache", Key::goBuildCache, ".cache/go-build",
       [](FakeHome& h) {
         h.text(".cache/go-build/README",
                "This directory holds cached build artifacts from the Go build system.\n");
       },
       std::nullopt},
      {"a README of someone else", Key::goBuildCache, "notes",
       [](FakeHome& h) { h.text("notes/README", "My notes.\n"); }, "it does not hold go's build cache"},
      {"Homebrew's formula data", Key::brewCache, ".cache/Homebrew",
       [](FakeHome& h) { h.text(".cache/Homebrew/api/formula.jws.json", "{}"); }, std::nullopt},
      {"Homebrew's downloads", Key::brewCache, ".cache/Homebrew",
       [](FakeHome& h) {
         h.file(".cache/Homebrew/downloads/" + std::string(64, 'a') + "--wget-1.24.bottle.tar.gz",
                10);
       },
       std::nullopt},
      {"a user's downloads", Key::brewCache, "thesis",
       [](FakeHome& h) { h.file("thesis/downloads/paper.pdf", 10); }, "it does not hold brew's cache"},
      {"npm's cache", Key::npmCacache, ".npm/_cacache",
       [](FakeHome& h) { h.dir(".npm/_cacache/index-v5/98"); }, std::nullopt},
      {"npm's npx folder", Key::npmNpx, ".npm/_npx",
       [](FakeHome& h) {
         h.dir(".npm/_cacache/content-v2");
         h.dir(".npm/_npx/e3e1d528ee105f80");
       },
       std::nullopt},
      {"an npx folder beside no npm cache", Key::npmNpx, "thesis/_npx",
       [](FakeHome& h) { h.dir("thesis/_npx"); }, "it does not hold npm's npx folder"},
      {"the home folder", Key::uvCache, "",
       [](FakeHome& h) {
         h.text("CACHEDIR.TAG", kCacheTag);
         h.dir("wheels-v5");
       },
       "it is a protected location"},
      {"a protected cache folder", Key::goModCache, ".cache",
       [](FakeHome& h) { h.dir(".cache/download"); }, "it is a protected location"},
      {"a project search root", Key::goModCache, "work",
       [](FakeHome& h) { h.dir("work/download"); }, "it is a protected location"},
      {"a folder holding agents' worktrees", Key::goModCache, ".grok",
       [](FakeHome& h) { h.dir(".grok/worktrees/w1/download"); },
       "it is or holds a folder searched for projects or worktrees"},
      {"a folder above the home", Key::goModCache, "..", [](FakeHome&) {},
       "it holds a protected location"},
      {"a relative answer", Key::goModCache, "/relative/go", [](FakeHome&) {},
       "it is not an absolute path"},
  };
  for (const Case& c : cases) {
    FakeHome home;
    c.make(home);
    const std::string location = c.location == "/relative/go" ? "relative/go"
                                 : c.location.empty()         ? home.path()
                                                              : home / c.location;
    EXPECT_EQ(objectionTo(home, c.key, location), c.objection) << c.name;
  }
}

TEST(ToolLocationTrust, WhatIsSetAsideIsSaidOnceAndWhatIsMissingIsDropped) {
  FakeHome home;
  home.text("thesis/chapter1.tex", "x");
  home.dir(".npm/_cacache/index-v5");
  const TrustedToolLocations trusted = ToolLocationTrust::vet(
      {{Key::pnpmStore, home / "thesis"},
       {Key::uvCache, home / "nowhere"},
       {Key::npmCacache, home / ".npm/_cacache"}},
      home.path());
  EXPECT_EQ(trusted.accepted,
            (std::map<Key, std::string>{{Key::npmCacache, home / ".npm/_cacache"}}));
  EXPECT_EQ(trusted.notes,
            std::vector<std::string>{"Set aside the store location pnpm gave, ~/thesis: it does "
                                     "not hold pnpm's store; the usual location is used instead."});
}

// A pnpm found first on the login PATH names the user's thesis as its store: the scan finds the
// tool through the real login shell, and discovery offers no item for the thesis.
TEST(ToolLocationTrust, AFakeToolFirstOnTheLoginPathYieldsNoItem) {
  FakeHome home;
  home.text(".bash_profile", "PATH=\"$HOME/bin:$PATH\"\n");
  const std::string pnpm = home.text("bin/pnpm", "#!/bin/sh\necho \"$HOME/thesis\"\n");
  ASSERT_EQ(::chmod(pnpm.c_str(), 0755), 0);
  home.text("thesis/chapter1.tex", "x");

  ToolLocator::Dependencies dependencies;
  dependencies.loginShell = [] { return std::string("/bin/bash"); };
  dependencies.home = [&home] { return home.path(); };
  // The shell and the tools run in this test's home.
  dependencies.launcher = [&home](const std::string& executable,
                                  const std::vector<std::string>& arguments,
                                  ProcessRunner::Duration timeout,
                                  ProcessRunner::Environment environment,
                                  const ProcessRunner::OutputHandler& onOutput,
                                  std::stop_token stop) {
    environment["HOME"] = home.path();
    return ProcessRunner::run(executable, arguments, timeout, environment, onOutput, stop);
  };
  const ToolLocator locator(dependencies);
  const std::optional<ToolEnvironment> tools = locator.resolve();
  ASSERT_TRUE(tools);
  ASSERT_EQ(tools->binaries.at(NativeAction::Tool::pnpm), pnpm);
  EXPECT_EQ(tools->locations.at(Key::pnpmStore), home / "thesis");

  CacheDiscovery discovery;
  discovery.home = discovery.worktrees.home = discovery.projects.home = home.path();
  discovery.tools = *tools;
  const DiscoveryResult found = discovery.discover();
  for (const CacheItem& item : found.items) {
    EXPECT_NE(item.url, home / "thesis") << item.id;
  }
  EXPECT_EQ(std::count(found.notes.begin(), found.notes.end(),
                       "Set aside the store location pnpm gave, ~/thesis: it does not hold "
                       "pnpm's store; the usual location is used instead."),
            1);
}
