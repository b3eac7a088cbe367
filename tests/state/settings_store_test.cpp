#include <gtest/gtest.h>

#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

#include "support/fake_home.h"
#include "support/test_environment.h"
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

std::unique_ptr<QSettings> settingsAt(const std::string& path) {
  return std::make_unique<QSettings>(QString::fromStdString(path), QSettings::IniFormat);
}

std::unique_ptr<SettingsStore> storeAt(const std::string& path) {
  return std::make_unique<SettingsStore>(settingsAt(path));
}

// Qt shares what one QSettings wrote with every other QSettings on the same file name in this
// process, typed values included. A link under another name makes Qt read the disk.
std::unique_ptr<QSettings> fromDisk(const std::string& path) {
  static int count = 0;
  const std::string alias = path + ".alias" + std::to_string(++count) + ".conf";
  std::filesystem::create_symlink(path, alias);
  return settingsAt(alias);
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
  EXPECT_EQ(SettingsStore::standardDefaults()->fileName().toStdString(),
            std::string(std::getenv("XDG_CONFIG_HOME")) + "/Harborlume/Harborlume.conf");

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
  EXPECT_FALSE(SettingsStore::storedCheckForUpdatesAutomatically(*settingsAt(path)));
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
    EXPECT_TRUE(SettingsStore::storedCheckForUpdatesAutomatically(*settingsAt(path)));
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
  EXPECT_EQ(SettingsStore(fromDisk(path)).sidebarWidth(), 300);
}

TEST(SettingsStore, AListOfAnythingButTextsReadsAsEmpty) {
  const std::string path = handWritten("extraPaths=\nexcludedPaths=@Invalid()\n");
  auto store = storeAt(path);
  EXPECT_EQ(store->extraPaths(), Paths{});
  EXPECT_EQ(store->excludedPaths(), Paths{});

  // Values this process wrote keep their types until read back from disk.
  const std::string typed = test::makeScratchFolder("settings") + "/Harborlume.conf";
  auto writer = settingsAt(typed);
  writer->setValue("extraPaths", QVariantList{QVariant(1), QVariant("/a")});
  writer->setValue("excludedPaths", true);
  writer->setValue("deleteImmediately", 1);
  auto fromTyped = storeAt(typed);
  EXPECT_EQ(fromTyped->extraPaths(), Paths{});
  EXPECT_EQ(fromTyped->excludedPaths(), Paths{});
  EXPECT_FALSE(fromTyped->deleteImmediately());
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
  const auto disk = fromDisk(path);
  EXPECT_EQ(disk->value("deleteImmediately").typeId(), QMetaType::QString);
  SettingsStore fresh(fromDisk(path));
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
  SettingsStore emptied(fromDisk(path));
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
  EXPECT_EQ(SettingsStore(fromDisk(path)).extraPaths(), (Paths{"/a", "/y"}));
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
  EXPECT_EQ(SettingsStore(fromDisk(path)).excludedPaths(), (Paths{"/b", "/m", "/z"}));
}

TEST(SettingsStore, TheUpdateSwitchReachesTheRunningUpdater) {
  const std::string path = handWritten("");
  auto store = storeAt(path);
  ASSERT_EQ(Updater::box().current(), nullptr);
  // Before any updater exists the value is only stored; the updater reads it at launch.
  store->setCheckForUpdatesAutomatically(false);
  EXPECT_FALSE(SettingsStore::storedCheckForUpdatesAutomatically(*fromDisk(path)));

  auto updater = std::make_shared<FakeUpdater>();
  int boxChanges = 0;
  // The box lives as long as the process: the connection ends with the test.
  QObject context;
  QObject::connect(&Updater::box(), &UpdaterBox::currentChanged, &context, [&] { ++boxChanges; });
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
