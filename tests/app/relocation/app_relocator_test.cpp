#include "app/relocation/app_relocator.h"

#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/relocation/fake_relocation.h"
#include "platform/settings_file.h"
#include "platform/user_folders.h"
#include "services/system/process_runner.h"
#include "support/test_environment.h"

namespace hl {
namespace {

using test::FakeRelocationPrompts;
using test::FakeRelocationSystem;
using Started = FakeRelocationSystem::Run;

const std::string kInstalled = "/Applications/Harbor Lume.app";

// The lines written under the "relocation" category while it lives.
class RelocationLog {
 public:
  RelocationLog() {
    lines().clear();
    previous_ = qInstallMessageHandler(&record);
  }
  ~RelocationLog() { qInstallMessageHandler(previous_); }

  struct Line {
    QtMsgType type;
    std::string text;
  };
  static std::vector<Line>& lines() {
    static std::vector<Line> recorded;
    return recorded;
  }

 private:
  static void record(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category != nullptr && std::string_view(context.category) == "relocation") {
      lines().push_back({type, text.toStdString()});
    }
  }
  QtMessageHandler previous_;
};

// The declined flag as the settings file holds it: missing, a Boolean, or any other text.
// The flag is the only thing this test keeps in its home's settings file.
void storeDeclined(const std::optional<QString>& value) {
  if (!value) {
    std::filesystem::remove(SettingsFile::standardPath());
    return;
  }
  SettingsFile::write(SettingsFile::standardPath(),
                      {{std::string(AppRelocator::declinedMoveKey),
                        IniDocument::encodeText(value->toStdString())}},
                      std::chrono::system_clock::now());
}

std::optional<bool> storedDeclined() {
  return SettingsFile::readBool(AppRelocator::declinedMoveKey);
}

TEST(AppRelocator, OffersTheMoveOnlyOutsideAnApplicationsFolderAndUntilDeclined) {
  const std::string home = homeDirectory();
  const std::string downloads = home + "/Downloads/Harbor Lume.app";
  const std::string translocated = "/private/var/folders/T/AppTranslocation/1/d/Harbor Lume.app";
  struct Row {
    std::string name;
    std::function<void(FakeRelocationSystem&)> arrange;
    std::optional<QString> declinedBefore;
    bool asked;
    RelocationOutcome outcome;
    std::optional<bool> declinedAfter;
  };
  const std::vector<Row> rows = {
      {"in /Applications",
       [&](auto& fs) { fs.runningCopy = kInstalled; },
       std::nullopt, false, RelocationOutcome::nothingToDo, std::nullopt},
      {"in ~/Applications",
       [&](auto& fs) { fs.runningCopy = home + "/Applications/Harbor Lume.app"; },
       std::nullopt, false, RelocationOutcome::nothingToDo, std::nullopt},
      {"through a link that resolves into /Applications",
       [&](auto& fs) {
         fs.item(kInstalled, "v2");
         fs.link(home + "/Desktop/Harbor Lume.app", kInstalled);
         fs.runningCopy = home + "/Desktop/Harbor Lume.app";
       },
       std::nullopt, false, RelocationOutcome::nothingToDo, std::nullopt},
      {"in a folder whose name only begins with Applications",
       [&](auto& fs) { fs.runningCopy = "/ApplicationsOld/Harbor Lume.app"; },
       std::nullopt, true, RelocationOutcome::declined, true},
      {"in ~/ApplicationsOld",
       [&](auto& fs) { fs.runningCopy = home + "/ApplicationsOld/Harbor Lume.app"; },
       std::nullopt, true, RelocationOutcome::declined, true},
      {"declined before",
       [&](auto& fs) { fs.runningCopy = downloads; },
       QStringLiteral("true"), false, RelocationOutcome::nothingToDo, true},
      {"a garbled flag counts as not declined",
       [&](auto& fs) { fs.runningCopy = downloads; },
       QStringLiteral("yes"), true, RelocationOutcome::declined, true},
      {"translocated: asked although declined before",
       [&](auto& fs) {
         fs.runningCopy = translocated;
         fs.translocatedFrom = downloads;
       },
       QStringLiteral("true"), true, RelocationOutcome::declined, true},
      {"translocated: declining stores nothing",
       [&](auto& fs) {
         fs.runningCopy = translocated;
         fs.translocatedFrom = downloads;
       },
       std::nullopt, true, RelocationOutcome::declined, std::nullopt},
      {"the Applications folder's entry is a link to this copy",
       [&](auto& fs) {
         fs.item(downloads, "v2");
         fs.link(kInstalled, downloads);
         fs.runningCopy = downloads;
       },
       std::nullopt, false, RelocationOutcome::alreadyInstalled, std::nullopt},
      {"a system without an Applications folder never offers",
       [&](auto& fs) {
         fs.offers = false;
         fs.runningCopy = downloads;
       },
       std::nullopt, false, RelocationOutcome::nothingToDo, std::nullopt},
  };
  for (const Row& row : rows) {
    storeDeclined(row.declinedBefore);
    FakeRelocationSystem fs;
    row.arrange(fs);
    const auto before = fs.entries;
    FakeRelocationPrompts prompts;
    RelocationLog log;
    const RelocationOutcome outcome = AppRelocator(fs, prompts).moveToApplicationsIfNeeded();
    EXPECT_EQ(outcome, row.outcome) << row.name;
    EXPECT_EQ(prompts.asked, row.asked ? 1 : 0) << row.name;
    EXPECT_EQ(storedDeclined(), row.declinedAfter) << row.name;
    // Nothing was asked to move, so nothing moved and nothing started.
    EXPECT_EQ(fs.entries, before) << row.name;
    EXPECT_TRUE(fs.runs.empty()) << row.name;
    EXPECT_TRUE(prompts.failures.empty()) << row.name;
    if (outcome == RelocationOutcome::alreadyInstalled) {
      ASSERT_EQ(RelocationLog::lines().size(), 1u) << row.name;
      EXPECT_EQ(RelocationLog::lines()[0].type, QtInfoMsg);
      EXPECT_NE(RelocationLog::lines()[0].text.find(kInstalled), std::string::npos);
    }
  }
  storeDeclined(std::nullopt);
}

TEST(AppRelocator, CopiesThroughAStagingItemAndRelaunchesOnlyAfterASuccessfulCopy) {
  const std::string downloads = homeDirectory() + "/Downloads/Harbor Lume.app";
  const std::string staging = "/Applications/.Harbor Lume.app.new-4711";
  const Started quarantine{"/usr/bin/xattr", {"-dr", "com.apple.quarantine", kInstalled}, true};
  const Started relaunch{"/bin/sh", AppRelocator::relaunchCommand(4711, kInstalled).arguments,
                        false};
  struct Row {
    std::string name;
    std::function<void(FakeRelocationSystem&)> arrange;
    RelocationOutcome outcome;
    std::optional<std::string> installed;  // what the Applications folder holds afterwards
    std::vector<Started> runs;
    bool failureShown;
    bool relaunchFailureShown;
    std::string logged;  // the start of the one error line, if any
  };
  const std::vector<Row> rows = {
      {"nothing installed yet", [](auto&) {}, RelocationOutcome::relaunching, "new",
       {quarantine, relaunch}, false, false, ""},
      {"an older copy is replaced", [&](auto& fs) { fs.item(kInstalled, "old"); },
       RelocationOutcome::relaunching, "new", {quarantine, relaunch}, false, false, ""},
      {"a leftover staging item is cleared first",
       [&](auto& fs) {
         fs.item(kInstalled, "old");
         fs.item(staging, "leftover");
       },
       RelocationOutcome::relaunching, "new", {quarantine, relaunch}, false, false, ""},
      {"the copy fails", [&](auto& fs) { fs.failingCopiesTo.insert(kInstalled); },
       RelocationOutcome::failed, std::nullopt, {}, true, false,
       "could not relocate to /Applications/Harbor Lume.app: disk full"},
      {"the staging copy fails",
       [&](auto& fs) {
         fs.item(kInstalled, "old");
         fs.failingCopiesTo.insert(staging);
       },
       RelocationOutcome::failed, "old", {}, true, false,
       "could not relocate to /Applications/Harbor Lume.app: disk full"},
      {"the replacement fails",
       [&](auto& fs) {
         fs.item(kInstalled, "old");
         fs.failingReplacements.insert(kInstalled);
       },
       RelocationOutcome::failed, "old", {}, true, false,
       "could not relocate to /Applications/Harbor Lume.app: item is busy"},
      {"a leftover staging item that cannot go",
       [&](auto& fs) {
         fs.item(kInstalled, "old");
         fs.item(staging, "leftover");
         fs.failingRemovals.insert(staging);
       },
       RelocationOutcome::failed, "old", {}, true, false,
       "could not relocate to /Applications/Harbor Lume.app: an item is already there"},
      {"the quarantine tool is missing",
       [&](auto& fs) { fs.unstartable.insert("/usr/bin/xattr"); },
       RelocationOutcome::relaunching, "new", {relaunch}, false, false, ""},
      {"the relaunch cannot start: reported, and the program keeps running",
       [&](auto& fs) { fs.unstartable.insert("/bin/sh"); }, RelocationOutcome::failed, "new",
       {quarantine}, false, true, "could not relaunch from /Applications/Harbor Lume.app"},
      {"translocated, and the Applications entry is a link to the original: nothing moves",
       [&](auto& fs) {
         fs.runningCopy = "/private/var/folders/T/AppTranslocation/1/d/Harbor Lume.app";
         fs.item(fs.runningCopy, "new");
         fs.translocatedFrom = downloads;
         fs.link(kInstalled, downloads);
       },
       RelocationOutcome::alreadyInstalled, downloads, {}, false, false, ""},
  };
  for (const Row& row : rows) {
    storeDeclined(std::nullopt);
    FakeRelocationSystem fs;
    fs.runningCopy = downloads;
    fs.item(downloads, "new");
    row.arrange(fs);
    FakeRelocationPrompts prompts;
    prompts.answerMove = true;
    RelocationLog log;

    EXPECT_EQ(AppRelocator(fs, prompts).moveToApplicationsIfNeeded(), row.outcome) << row.name;
    EXPECT_EQ(fs.contentAt(kInstalled), row.installed) << row.name;
    EXPECT_EQ(fs.runs, row.runs) << row.name;
    // The source is copied, never moved; the staging item never stays behind unless it was a
    // leftover that could not be removed.
    EXPECT_EQ(fs.contentAt(downloads), "new") << row.name;
    if (!fs.failingRemovals.count(staging)) {
      EXPECT_FALSE(fs.itemExists(staging)) << row.name;
    }
    EXPECT_EQ(prompts.failures, row.failureShown ? std::vector{kInstalled}
                                                 : std::vector<std::string>{})
        << row.name;
    EXPECT_EQ(prompts.relaunchFailures, row.relaunchFailureShown
                                            ? std::vector{kInstalled}
                                            : std::vector<std::string>{})
        << row.name;
    EXPECT_EQ(storedDeclined(), std::nullopt) << row.name;

    std::vector<std::string> errors;
    for (const auto& line : RelocationLog::lines()) {
      if (line.type == QtCriticalMsg) errors.push_back(line.text);
    }
    if (row.logged.empty()) {
      EXPECT_TRUE(errors.empty()) << row.name;
    } else {
      ASSERT_EQ(errors.size(), 1u) << row.name;
      EXPECT_TRUE(errors[0].starts_with(row.logged)) << row.name << ": " << errors[0];
    }
    if (row.outcome == RelocationOutcome::alreadyInstalled) {
      EXPECT_TRUE(fs.copiedTo.empty()) << row.name;
      ASSERT_EQ(RelocationLog::lines().size(), 1u) << row.name;
      EXPECT_EQ(RelocationLog::lines()[0].type, QtInfoMsg) << row.name;
    }
  }
}

TEST(AppRelocator, TheRelaunchPassesTheInstallPathAsAnArgumentNeverAsShellText) {
  const std::vector<std::string> names = {
      "Harbor Lume.app", "Harbor \"Lume\".app", "$(touch pwned).app", "`touch pwned`.app",
      "it's.app", "a;touch pwned.app", "two\nlines.app", "-n.app"};
  const std::string folder = test::makeScratchFolder("relaunch");
  const std::string marker = folder + "/started-as";
  for (const std::string& name : names) {
    const std::string destination = folder + "/" + name;
    const LaunchCommand command = AppRelocator::relaunchCommand(4194305, destination);
    ASSERT_EQ(command.executable, "/bin/sh");
    ASSERT_EQ(command.arguments.size(), 5u);
    EXPECT_EQ(command.arguments[0], "-c");
    EXPECT_EQ(command.arguments[1].find(name), std::string::npos) << name;
    EXPECT_EQ(command.arguments[3], "4194305");
    EXPECT_EQ(command.arguments[4], destination);

    // Run for real: the installed copy is a script that records how it was started. The process
    // id is above any the kernel hands out, so the wait ends at once.
    {
      std::ofstream script(destination);
      script << "#!/bin/sh\nprintf '%s' \"$0\" > '" << marker << "'\n";
    }
    std::filesystem::permissions(destination, std::filesystem::perms::owner_all);
    const auto output = ProcessRunner::run(command.executable, command.arguments,
                                           std::chrono::seconds(20));
    ASSERT_TRUE(output && output->succeeded()) << name;
    std::ifstream recorded(marker);
    const std::string startedAs((std::istreambuf_iterator<char>(recorded)), {});
    EXPECT_EQ(startedAs, destination) << name;
    EXPECT_FALSE(std::filesystem::exists(folder + "/pwned")) << name;
    EXPECT_FALSE(std::filesystem::exists("pwned")) << name;
    std::filesystem::remove(marker);
  }
}

}  // namespace
}  // namespace hl
