#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <unistd.h>

#include "platform/settings_file.h"
#include "support/fake_home.h"
#include "support/test_environment.h"
#include "support/write_failures.h"
#include "viewmodels/fake_updater.h"
#include "viewmodels/settings_store.h"
#include "viewmodels/updater_box.h"

using namespace hl;

namespace {

using Paths = std::vector<std::string>;

// A settings file written by hand in a folder of its own.
std::string handWritten(const std::string& body) {
  const std::string path = test::makeScratchFolder("settings") + "/Harborlume.conf";
  std::ofstream(path) << "[General]\n" << body;
  return path;
}

std::unique_ptr<SettingsStore> storeAt(const std::string& path) {
  return std::make_unique<SettingsStore>(path);
}

bool fileHasLine(const std::string& path, const std::string& line) {
  return ("\n" + test::readFile(path) + "\n").find("\n" + line + "\n") != std::string::npos;
}

// Counts the notifications of every property.
struct Notifications {
  std::map<std::string, int> counts;

  explicit Notifications(SettingsStore& store) {
    watch(store, &SettingsStore::extraPathsChanged, "extraPaths");
    watch(store, &SettingsStore::excludedPathsChanged, "excludedPaths");
    watch(store, &SettingsStore::pruneWorktreesAfterTrashChanged, "pruneWorktreesAfterTrash");
    watch(store, &SettingsStore::showInMenuBarChanged, "showInMenuBar");
    watch(store, &SettingsStore::quickCleanIncludesModerateChanged,
          "quickCleanIncludesModerate");
    watch(store, &SettingsStore::deleteImmediatelyChanged, "deleteImmediately");
    watch(store, &SettingsStore::checkForUpdatesAutomaticallyChanged,
          "checkForUpdatesAutomatically");
    watch(store, &SettingsStore::sidebarWidthChanged, "sidebarWidth");
  }
  template <typename Signal>
  void watch(SettingsStore& store, Signal signal, const std::string& name) {
    QObject::connect(&store, signal, [this, name] { ++counts[name]; });
  }
  int total() const {
    int sum = 0;
    for (const auto& [name, count] : counts) sum += count;
    return sum;
  }
};

}  // namespace

TEST(SettingsStore, StartsFromTheDefaultsAndWritesNothingUntilAsked) {
  // The user's file is written; it, the organisation's file and the system's are read, in the
  // order Qt's settings class reads them.
  const std::string config = std::getenv("XDG_CONFIG_HOME");
  const std::string system = std::getenv("XDG_CONFIG_DIRS");
  const SettingsFile::Location standard = SettingsStore::standardDefaults();
  EXPECT_EQ(standard.path, config + "/Harborlume/Harborlume.conf");
  EXPECT_EQ(standard.alsoRead,
            (Paths{config + "/Harborlume.conf", system + "/Harborlume/Harborlume.conf",
                   system + "/Harborlume.conf"}));

  const std::string path = test::makeScratchFolder("settings") + "/Harborlume.conf";
  auto store = storeAt(path);
  EXPECT_EQ(store->extraPaths(), Paths{});
  EXPECT_EQ(store->excludedPaths(), Paths{});
  EXPECT_TRUE(store->pruneWorktreesAfterTrash());
  EXPECT_TRUE(store->showInMenuBar());
  EXPECT_FALSE(store->quickCleanIncludesModerate());
  EXPECT_FALSE(store->deleteImmediately());
  EXPECT_TRUE(store->checkForUpdatesAutomatically());
  EXPECT_EQ(store->sidebarWidth(), 240);
  EXPECT_EQ(store->removalMode(), RemovalMode::trash);
  EXPECT_FALSE(test::existsNoFollow(path));
}

TEST(SettingsStore, ReadsAHandWrittenFile) {
  const std::string path = handWritten(
      "sidebarWidth=250.5\n"
      "extraPaths=/home/u/src\n"
      "excludedPaths=/b, /a, \"/c,d\"\n"
      "pruneWorktreesAfterTrash=false\n"
      "showInMenuBar=false\n"
      "quickCleanIncludesModerate=true\n"
      "deleteImmediately=true\n"
      "checkForUpdatesAutomatically=false\n");
  auto store = storeAt(path);
  EXPECT_EQ(store->sidebarWidth(), 250.5);
  // A plain text under a list key is a list of one.
  EXPECT_EQ(store->extraPaths(), Paths{"/home/u/src"});
  // Kept as stored: the order is the file's.
  EXPECT_EQ(store->excludedPaths(), (Paths{"/b", "/a", "/c,d"}));
  EXPECT_EQ(store->exclusions().paths, (Paths{"/b", "/a", "/c,d"}));
  EXPECT_FALSE(store->pruneWorktreesAfterTrash());
  EXPECT_FALSE(store->showInMenuBar());
  EXPECT_TRUE(store->quickCleanIncludesModerate());
  EXPECT_TRUE(store->deleteImmediately());
  EXPECT_EQ(store->removalMode(), RemovalMode::deletePermanently);
  EXPECT_FALSE(store->checkForUpdatesAutomatically());
  EXPECT_FALSE(SettingsStore::storedCheckForUpdatesAutomatically(path));
}

TEST(SettingsStore, AGarbledBooleanReadsAsItsDefault) {
  for (const char* garbled : {"yes", "1", "True", "TRUE", "on", "", "true, false", "\"\""}) {
    SCOPED_TRACE(garbled);
    std::string body;
    for (const char* key : {"pruneWorktreesAfterTrash", "showInMenuBar",
                            "quickCleanIncludesModerate", "deleteImmediately",
                            "checkForUpdatesAutomatically"}) {
      body += std::string(key) + "=" + garbled + "\n";
    }
    const std::string path = handWritten(body);
    auto store = storeAt(path);
    EXPECT_TRUE(store->pruneWorktreesAfterTrash());
    EXPECT_TRUE(store->showInMenuBar());
    EXPECT_FALSE(store->quickCleanIncludesModerate());
    // Above all, nothing but a real Boolean switches on permanent deletion.
    EXPECT_FALSE(store->deleteImmediately());
    EXPECT_TRUE(store->checkForUpdatesAutomatically());
    EXPECT_TRUE(SettingsStore::storedCheckForUpdatesAutomatically(path));
  }
}

TEST(SettingsStore, ClampsTheSidebarWidthOnlyWhenReading) {
  const std::vector<std::pair<std::string, double>> cases = {
      {"180", 220}, {"220", 220},  {"221", 221},   {"300", 300},     {"350", 300},
      {"-5", 220},  {"260 ", 260}, {"wide", 240},  {"240px", 240},   {"inf", 240},
      {"nan", 240}, {"", 240},     {"1e400", 240}, {"250, 260", 240}, {"true", 240}};
  for (const auto& [stored, width] : cases) {
    SCOPED_TRACE(stored);
    EXPECT_EQ(storeAt(handWritten("sidebarWidth=" + stored + "\n"))->sidebarWidth(), width);
  }

  const std::string path = handWritten("");
  storeAt(path)->setSidebarWidth(500);
  EXPECT_TRUE(fileHasLine(path, "sidebarWidth=500"));
  EXPECT_EQ(SettingsStore(path).sidebarWidth(), 300);
}

TEST(SettingsStore, AListOfAnythingButTextsReadsAsEmpty) {
  const std::string path = handWritten("extraPaths=\nexcludedPaths=@Invalid()\n");
  auto store = storeAt(path);
  EXPECT_EQ(store->extraPaths(), Paths{});
  EXPECT_EQ(store->excludedPaths(), Paths{});

  // Typed values are not texts.
  auto typed = storeAt(handWritten("extraPaths=/a, @Rect(1 2 3 4)\n"
                                   "excludedPaths=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x1)\n"
                                   "deleteImmediately=@Variant(\\0\\0\\0\\x1\\x1)\n"));
  EXPECT_EQ(typed->extraPaths(), Paths{});
  EXPECT_EQ(typed->excludedPaths(), Paths{});
  EXPECT_FALSE(typed->deleteImmediately());

  // A typed form that cannot be parsed is a text, and the folder beside it stays excluded.
  auto untyped = storeAt(handWritten("excludedPaths=/home/u/keep, @Rect()\n"
                                     "extraPaths=@Size(1)\n"));
  EXPECT_EQ(untyped->excludedPaths(), (Paths{"/home/u/keep", "@Rect()"}));
  EXPECT_EQ(untyped->extraPaths(), Paths{"@Size(1)"});
}

TEST(SettingsStore, EveryAssignmentReachesTheFile) {
  const std::string path = handWritten("");
  {
    auto store = storeAt(path);
    store->setExtraPaths({"/home/u/a b", "/home/u/c,d", "/home/u/\"q\""});
    store->setExcludedPaths({"/only/one"});
    store->setPruneWorktreesAfterTrash(false);
    store->setShowInMenuBar(false);
    store->setQuickCleanIncludesModerate(true);
    store->setDeleteImmediately(true);
    store->setCheckForUpdatesAutomatically(false);
    store->setSidebarWidth(262.5);
    // On disk at once, not only when the store goes away.
    EXPECT_TRUE(fileHasLine(path, "deleteImmediately=true"));
    EXPECT_TRUE(fileHasLine(path, "sidebarWidth=262.5"));
  }
  SettingsStore fresh(path);
  EXPECT_EQ(fresh.extraPaths(), (Paths{"/home/u/a b", "/home/u/c,d", "/home/u/\"q\""}));
  EXPECT_EQ(fresh.excludedPaths(), Paths{"/only/one"});
  EXPECT_FALSE(fresh.pruneWorktreesAfterTrash());
  EXPECT_FALSE(fresh.showInMenuBar());
  EXPECT_TRUE(fresh.quickCleanIncludesModerate());
  EXPECT_TRUE(fresh.deleteImmediately());
  EXPECT_FALSE(fresh.checkForUpdatesAutomatically());
  EXPECT_EQ(fresh.sidebarWidth(), 262.5);

  // Emptied lists stay empty.
  fresh.setExtraPaths({});
  fresh.setExcludedPaths({});
  SettingsStore emptied(path);
  EXPECT_EQ(emptied.extraPaths(), Paths{});
  EXPECT_EQ(emptied.excludedPaths(), Paths{});
}

TEST(SettingsStore, AnEqualAssignmentIsWrittenButNotNotified) {
  const std::string path = handWritten("");
  auto store = storeAt(path);
  Notifications seen(*store);

  store->setExtraPaths({});
  store->setExcludedPaths({});
  store->setPruneWorktreesAfterTrash(true);
  store->setShowInMenuBar(true);
  store->setQuickCleanIncludesModerate(false);
  store->setDeleteImmediately(false);
  store->setCheckForUpdatesAutomatically(true);
  store->setSidebarWidth(240);
  EXPECT_EQ(seen.total(), 0);
  EXPECT_TRUE(fileHasLine(path, "showInMenuBar=true"));
  EXPECT_TRUE(fileHasLine(path, "sidebarWidth=240"));

  store->setShowInMenuBar(false);
  store->setDeleteImmediately(true);
  store->setExtraPaths({"/a"});
  store->setSidebarWidth(241);
  EXPECT_EQ(seen.counts["showInMenuBar"], 1);
  EXPECT_EQ(seen.counts["deleteImmediately"], 1);
  EXPECT_EQ(seen.counts["extraPaths"], 1);
  EXPECT_EQ(seen.counts["sidebarWidth"], 1);
  EXPECT_EQ(seen.total(), 4);
  EXPECT_EQ(store->removalMode(), RemovalMode::deletePermanently);
}

TEST(SettingsStore, ExtraPathEditsKeepTheirOrder) {
  const std::string path = handWritten("extraPaths=/a,   /m\n");
  auto store = storeAt(path);
  Notifications seen(*store);

  store->addExtraPath("/m");
  EXPECT_EQ(seen.total(), 0);
  EXPECT_TRUE(fileHasLine(path, "extraPaths=/a,   /m"));  // not even rewritten

  store->addExtraPath("/0");
  EXPECT_EQ(store->extraPaths(), (Paths{"/a", "/m", "/0"}));
  EXPECT_EQ(seen.counts["extraPaths"], 1);

  store->setExtraPaths({"/x", "/a", "/y", "/x"});
  store->removeExtraPath("/x");
  EXPECT_EQ(store->extraPaths(), (Paths{"/a", "/y"}));
  store->removeExtraPath("/not/listed");
  EXPECT_EQ(seen.counts["extraPaths"], 4);
  EXPECT_EQ(SettingsStore(path).extraPaths(), (Paths{"/a", "/y"}));
}

TEST(SettingsStore, ExcludeSortsAndIncludeAlwaysNotifies) {
  const std::string path = handWritten("excludedPaths=/a,/b\n");
  auto store = storeAt(path);
  Notifications seen(*store);

  store->exclude({"/b", "/a"});
  EXPECT_EQ(seen.total(), 0);
  EXPECT_TRUE(fileHasLine(path, "excludedPaths=/a, /b"));  // written all the same

  store->setExcludedPaths({"/m", "/c"});
  store->exclude({"/z", "/b", "/m"});
  EXPECT_EQ(store->excludedPaths(), (Paths{"/b", "/c", "/m", "/z"}));
  EXPECT_EQ(seen.counts["excludedPaths"], 2);

  store->include("/c");
  store->include("/not/excluded");
  EXPECT_EQ(store->excludedPaths(), (Paths{"/b", "/m", "/z"}));
  EXPECT_EQ(seen.counts["excludedPaths"], 4);
  EXPECT_EQ(store->exclusions().paths, (Paths{"/b", "/m", "/z"}));
  EXPECT_EQ(SettingsStore(path).excludedPaths(), (Paths{"/b", "/m", "/z"}));
}

TEST(SettingsStore, TheUpdateSwitchReachesTheRunningUpdater) {
  const std::string path = handWritten("");
  auto store = storeAt(path);
  ASSERT_EQ(Updater::box().current(), nullptr);
  // Before any updater exists the value is only stored; the updater reads it at launch.
  store->setCheckForUpdatesAutomatically(false);
  EXPECT_FALSE(SettingsStore::storedCheckForUpdatesAutomatically(path));

  auto updater = std::make_shared<FakeUpdater>();
  int boxChanges = 0;
  // The box lives as long as the process: the connection ends with this test.
  QObject context;
  QObject::connect(&Updater::box(), &UpdaterBox::currentChanged, &context,
                   [&] { ++boxChanges; });
  Updater::box().setCurrent(updater);
  Updater::box().setCurrent(updater);
  EXPECT_EQ(boxChanges, 1);

  store->setCheckForUpdatesAutomatically(true);
  EXPECT_TRUE(updater->automaticallyChecksForUpdates());
  // Every assignment is handed on, also one that leaves the stored value as it was.
  updater->setAutomaticallyChecksForUpdates(false);
  store->setCheckForUpdatesAutomatically(true);
  EXPECT_TRUE(updater->automaticallyChecksForUpdates());
  updater->setAutomaticallyChecksForUpdates(false);
  store->setShowInMenuBar(false);
  EXPECT_FALSE(updater->automaticallyChecksForUpdates());
  Updater::box().setCurrent(nullptr);
}

namespace {

// The error lines the store reports for the activity log.
struct Reported {
  std::vector<std::string> lines;
  explicit Reported(SettingsStore& store) {
    QObject::connect(&store, &SettingsStore::errorOccurred,
                     [this](const std::string& line) { lines.push_back(line); });
  }
};

std::optional<bool> readOnlySwitch(const std::string& path) {
  return SettingsFile::failingClosedValue(SettingsFile::readAll(path), "HLMReadOnly").on;
}

}  // namespace

// A full disk must never cost the read-only switch or the exclusions: the file stays as it was,
// the change holds for the session and reaches the file with the next write that succeeds.
TEST(SettingsStore, AFailedWriteKeepsTheFileAndIsWrittenWithTheNextAssignment) {
  auto scenario = [](const std::string& folder, const std::function<void()>& breakWrites,
                     const std::function<void()>& repair, const std::string& reason) {
    const std::string path = folder + "/Harborlume.conf";
    std::ofstream(path) << "[General]\nHLMReadOnly=true\nexcludedPaths=/home/u/keep\n";
    auto store = storeAt(path);
    Reported reported(*store);
    const std::string before = test::readFile(path);
    breakWrites();
    store->setDeleteImmediately(true);
    store->exclude({"/home/u/other"});
    EXPECT_EQ(test::readFile(path), before);
    std::set<std::string> names = test::namesIn(folder);
    names.erase(".filler");
    EXPECT_EQ(names, std::set<std::string>{"Harborlume.conf"});
    ASSERT_EQ(reported.lines.size(), 2u);
    EXPECT_EQ(reported.lines[0].rfind("Could not save settings: " + path + ": ", 0), 0u)
        << reported.lines[0];
    EXPECT_NE(reported.lines[0].find(reason), std::string::npos) << reported.lines[0];
    EXPECT_TRUE(store->deleteImmediately());
    EXPECT_EQ(store->excludedPaths(), (Paths{"/home/u/keep", "/home/u/other"}));

    repair();
    store->setShowInMenuBar(false);
    EXPECT_EQ(reported.lines.size(), 2u);
    SettingsStore restarted(path);
    EXPECT_TRUE(restarted.deleteImmediately());
    EXPECT_FALSE(restarted.showInMenuBar());
    EXPECT_EQ(restarted.excludedPaths(), (Paths{"/home/u/keep", "/home/u/other"}));
    EXPECT_EQ(readOnlySwitch(path), true);
  };

  std::optional<test::FileSizeLimit> limit;
  scenario(test::makeScratchFolder("settings"), [&] { limit.emplace(16); }, [&] { limit.reset(); },
           "File too large");
  if (const std::string reason = test::FullVolume::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << "no full volume: " << reason;
  }
  const std::string folder = test::makeScratchFolder("settings");
  test::FullVolume volume(folder);
  scenario(folder, [&] { volume.fill(); }, [&] { volume.makeRoom(); }, "No space left on device");
}

// Bytes that could not be read are kept beside the file, once, before it is first rewritten.
TEST(SettingsStore, ADamagedFileIsKeptAsideBeforeItsFirstRewrite) {
  std::mt19937 random(26);
  std::string garbage(2000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[General]\nexcludedPaths=/home/u/keep\n")) {
    utf16 += std::string{c, '\0'};
  }
  struct Case {
    std::string name;
    std::string content;
    Paths excluded;
    // After the rewrite, which keeps every key as Qt read it.
    Paths excludedAfter;
    std::optional<bool> readOnlyAfter;
  };
  const std::vector<Case> cases = {
      // The good lines are read; but Qt lost the last one in the garbage (a quote in it takes
      // in the lines after it), so the rewrite does not write it for Qt to find.
      {"random bytes between good lines",
       "[General]\nHLMReadOnly=true\n" + garbage + "\nexcludedPaths=/home/u/keep, /home/u/also\n",
       {"/home/u/keep", "/home/u/also"}, {}, true},
      {"UTF-16", utf16, {}, {}, std::nullopt},
      // Qt never writes a quote that goes on over a line break: the line it took in may have
      // been the switch.
      {"a quote left open",
       "[General]\nexcludedPaths=\"/home/u/keep\nHLMReadOnly=true\"\n",
       {"/home/u/keep\nHLMReadOnly=true"}, {"/home/u/keep\nHLMReadOnly=true"}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = test::makeScratchFolder("settings");
    const std::string path = folder + "/Harborlume.conf";
    std::ofstream(path, std::ios::binary) << c.content;
    // Until it is rewritten, a file that may hold the read-only switch keeps it on.
    EXPECT_EQ(readOnlySwitch(path), true);
    auto store = storeAt(path);
    EXPECT_EQ(store->excludedPaths(), c.excluded);
    Reported reported(*store);

    store->setSidebarWidth(250);
    std::set<std::string> copies = test::namesIn(folder);
    copies.erase("Harborlume.conf");
    ASSERT_EQ(copies.size(), 1u);
    const std::string copy = *copies.begin();
    EXPECT_EQ(copy.rfind("Harborlume.conf.corrupt-", 0), 0u);
    EXPECT_EQ(test::readFile(folder + "/" + copy), c.content);
    EXPECT_EQ(reported.lines, std::vector<std::string>{"Settings file was damaged; kept its bytes as " +
                                                       copy + " and rewrote it"});
    EXPECT_FALSE(IniDocument::parse(test::readFile(path)).damaged());
    EXPECT_EQ(SettingsStore(path).excludedPaths(), c.excludedAfter);
    EXPECT_EQ(readOnlySwitch(path), c.readOnlyAfter);

    // Clean now: no second copy.
    store->setSidebarWidth(260);
    EXPECT_EQ(test::namesIn(folder).size(), 2u);
    EXPECT_EQ(reported.lines.size(), 1u);
  }
}

// An excluded folder whose name is not UTF-8 is the same folder after a restart, and no other
// entry is rewritten on the way.
TEST(SettingsStore, PathsThatAreNotUtf8AreKeptByteForByte) {
  const std::string bad = "/home/u/.cache/bad\377name";
  const std::string path = handWritten("extraPaths=/home/u/src\n");
  {
    auto store = storeAt(path);
    store->exclude({bad, "/home/u/.cache/fine"});
    store->addExtraPath("/home/u/\xC3(");
  }
  for (int restart = 0; restart < 2; ++restart) {
    auto store = storeAt(path);
    EXPECT_EQ(store->excludedPaths(), (Paths{bad, "/home/u/.cache/fine"}));
    EXPECT_TRUE(store->exclusions().isExcluded(bad + "/inner"));
    EXPECT_FALSE(store->exclusions().isExcluded("/home/u/.cache/bad\uFFFDname"));
    EXPECT_EQ(store->extraPaths(), (Paths{"/home/u/src", "/home/u/\xC3("}));
    store->setShowInMenuBar(restart == 0);
  }

  // A byte someone wrote into the file as it is stays that byte.
  const std::string raw = handWritten("excludedPaths=/home/u/raw\377, /b\n");
  storeAt(raw)->setDeleteImmediately(true);
  EXPECT_EQ(storeAt(raw)->excludedPaths(), (Paths{"/home/u/raw\377", "/b"}));
}
