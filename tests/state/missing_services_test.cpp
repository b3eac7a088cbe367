#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app_model_fixture.h"
#include "state/cleaner/guarded_fakes.h"
#include "support/scanner_fixture.h"

namespace hl {
namespace {

// Runs `make` and returns what it threw, or "" when it made the model.
std::string refusal(const std::function<void()>& make) {
  try {
    make();
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

// A view model made without one of the services that reach the world fails at once and names
// it; it never falls back to the real one.
TEST(MissingServices, AViewModelWithoutAServiceThatReachesTheWorldRefusesToBeMade) {
  struct Case {
    std::string member;
    std::function<void(CleanerDependencies&)> leaveOut;
  };
  const std::vector<Case> cleanerCases = {
      {"engine", [](CleanerDependencies& d) { d.engine = nullptr; }},
      {"trashService", [](CleanerDependencies& d) { d.trashService = nullptr; }},
      {"evaluateInUse", [](CleanerDependencies& d) { d.evaluateInUse = nullptr; }},
      {"worktreeStatus", [](CleanerDependencies& d) { d.worktreeStatus = nullptr; }},
      {"pruneWorktrees", [](CleanerDependencies& d) { d.pruneWorktrees = nullptr; }},
      {"runningOwners", [](CleanerDependencies& d) { d.runningOwners = nullptr; }},
  };
  for (const Case& c : cleanerCases) {
    test::Guarded fakes;
    CleanerDependencies d = fakes.dependencies();
    d.engine = std::make_shared<test::ScriptedScanEngine>();
    c.leaveOut(d);
    EXPECT_EQ(refusal([&] {
                CleanerViewModel(fakes.settings, fakes.activity, fakes.history, std::move(d));
              }),
              "CleanerViewModel needs CleanerDependencies::" + c.member +
                  "; the composition root wires the real one");
  }

  const std::vector<std::pair<std::string, std::function<void(ScannerServices&)>>> scannerCases = {
      {"trash", [](ScannerServices& s) { s.trash = nullptr; }},
      {"makePolicy", [](ScannerServices& s) { s.makePolicy = nullptr; }},
      {"pruneWorktrees", [](ScannerServices& s) { s.pruneWorktrees = nullptr; }},
  };
  for (const auto& [member, leaveOut] : scannerCases) {
    test::ScannerFixture f;
    leaveOut(f.services);
    EXPECT_EQ(refusal([&] { f.scanner(); }),
              "ScannerViewModel needs ScannerServices::" + member +
                  "; the composition root wires the real one");
  }
}

TEST(MissingServices, TheApplicationModelWithoutItsHistoryOrVolumeRefusesToBeMade) {
  for (const std::string member : {"historyStore", "readBootVolume"}) {
    test::AppHarness h;
    AppModelDependencies d = h.makeDependencies();
    if (member == "historyStore") d.historyStore = nullptr;
    if (member == "readBootVolume") d.readBootVolume = nullptr;
    EXPECT_EQ(refusal([&] {
                AppModel(std::make_unique<SettingsStore>(test::makeScratchFolder("s") +
                                                         "/Harborlume.conf"),
                         std::move(d));
              }),
              "AppModel needs AppModelDependencies::" + member +
                  "; the composition root wires the real one");
  }
}

}  // namespace
}  // namespace hl
