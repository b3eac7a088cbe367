#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <cerrno>
#include <filesystem>

#include "support/fake_home.h"
#include "platform/aside_copy.h"
#include "support/manual_clock.h"
#include "support/removal_journals.h"
#include "viewmodels/activity_log.h"
#include "utilities/path_canonical.h"
#include "viewmodels/history_view_model.h"

using namespace hl;
using namespace std::chrono_literals;
using Paths = std::vector<std::string>;

namespace {

struct Fixture {
  test::FakeHome tree{"history"};
  std::string file = tree / "Harborlume/history.json";
  test::ManualWallClock clock{test::referenceDate() + 1500ms};
  std::shared_ptr<HistoryStore> store = std::make_shared<HistoryStore>(file);
  ActivityLog activity;
  HistoryViewModel history{store, activity, clock.clock()};
  int entryChanges = 0;

  Fixture() {
    QObject::connect(&history, &HistoryViewModel::entriesChanged, [this] { ++entryChanges; });
  }

  // Runs one call and the GUI thread's events until its completion has run.
  template <typename Call>
  void await(Call call) {
    QEventLoop loop;
    bool finished = false;
    call([&] {
      finished = true;
      loop.quit();
    });
    if (!finished) loop.exec();
  }

  void record(const TrashResult& result, const HistoryViewModel::Categories& categories,
              TrashTrigger trigger = TrashTrigger::confirmationSheet) {
    await([&](auto done) { history.record(result, categories, trigger, done); });
  }

  void load() {
    await([&](auto done) { history.load(done); });
  }

  std::vector<std::string> logged() const {
    std::vector<std::string> lines;
    for (const ActivityEvent& event : activity.events()) {
      EXPECT_EQ(event.kind, ActivityEvent::Kind::error);
      lines.push_back(event.message);
    }
    return lines;
  }
};

TrashResult removed(Paths succeeded, std::map<std::string, std::int64_t> sizes,
                    RemovalMode mode = RemovalMode::trash) {
  TrashResult result;
  result.succeeded = std::move(succeeded);
  result.sizes = std::move(sizes);
  result.bytesFreed = 0;
  for (const auto& [path, size] : result.sizes) result.bytesFreed += size;
  result.mode = mode;
  return result;
}

std::vector<HistoryEntry> onDisk(const std::string& file) {
  auto result = HistoryStore(file).load();
  auto* entries = std::get_if<std::vector<HistoryEntry>>(&result);
  return entries ? *entries : std::vector<HistoryEntry>{};
}

}  // namespace

TEST(TrashTrigger, KeepsTheStoredTextsAndShowsLinuxWords) {
  struct Case {
    TrashTrigger trigger;
    std::string stored;  // what history files hold, and their readers expect
    std::string shown;
  };
  const std::vector<Case> cases = {
      {TrashTrigger::quickClean, "Quick Clean (menu bar)", "Quick Clean (tray)"},
      {TrashTrigger::confirmationSheet, "Move to Trash (sheet)", "Move to Trash (sheet)"},
      {TrashTrigger::scanner, "Scanner", "Scanner"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rawValue(c.trigger), c.stored);
    EXPECT_EQ(shownName(c.trigger), c.shown);
    EXPECT_EQ(trashTriggerFromRaw(c.stored), c.trigger);
  }
  EXPECT_EQ(trashTriggerFromRaw("scanner"), std::nullopt);
  EXPECT_EQ(trashTriggerFromRaw("Quick Clean (tray)"), std::nullopt);
}

TEST(HistoryViewModel, RecordsOneEntryPerCategoryInTitleOrder) {
  Fixture f;
  f.record(removed({"/x/a", "/p/npm", "/x/b"}, {{"/x/a", 100}, {"/p/npm", 50}}),
           {{"Xcode", {"/x/a", "/x/./b/"}}, {"Package caches", {"/p/npm"}}});

  const std::vector<HistoryEntry>& entries = f.history.entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].category, "Package caches");
  EXPECT_EQ(entries[0].itemPaths, Paths{"/p/npm"});
  EXPECT_EQ(entries[0].bytesFreed, 50);
  EXPECT_EQ(entries[1].category, "Xcode");
  // Canonical paths; a removed path without a size adds nothing.
  EXPECT_EQ(entries[1].itemPaths, (Paths{"/x/a", "/x/b"}));
  EXPECT_EQ(entries[1].bytesFreed, 100);
  for (const HistoryEntry& entry : entries) {
    EXPECT_EQ(entry.operationID, entries[0].operationID);
    EXPECT_EQ(entry.date, test::referenceDate() + 1s);
    EXPECT_EQ(entry.trigger, "Move to Trash (sheet)");
    EXPECT_FALSE(entry.permanent);
    EXPECT_TRUE(entry.failures.empty());
  }
  EXPECT_NE(entries[0].id, entries[1].id);
  EXPECT_EQ(f.entryChanges, 1);
  EXPECT_EQ(onDisk(f.file), entries);
  EXPECT_TRUE(f.logged().empty());
}

TEST(HistoryViewModel, RecordsFailuresOnlyUnderTheirOwnCategories) {
  Fixture f;
  TrashResult result = removed({"/c/kept-going"}, {{"/c/kept-going", 7}},
                               RemovalMode::deletePermanently);
  result.failed = {{"/t/a", TrashError::missing("/t/a")},
                   {"/t/b/", FileSystemError{EACCES, "Permission denied"}},
                   {"/nowhere", FileSystemError{EIO, "I/O error"}}};
  f.record(result, {{"Trash", {"/t/a", "/t/b"}},
                    {"Custom paths", {"/c/kept-going"}},
                    {"Projects", {"/p/untouched"}}},
           TrashTrigger::quickClean);

  const std::vector<HistoryEntry>& entries = f.history.entries();
  ASSERT_EQ(entries.size(), 2u);  // "Projects" removed nothing and failed nothing
  EXPECT_EQ(entries[0].category, "Custom paths");
  EXPECT_EQ(entries[0].bytesFreed, 7);
  EXPECT_TRUE(entries[0].failures.empty());
  EXPECT_EQ(entries[1].category, "Trash");
  EXPECT_TRUE(entries[1].itemPaths.empty());
  EXPECT_EQ(entries[1].bytesFreed, 0);
  EXPECT_EQ(entries[1].failures,
            (std::vector<HistoryEntry::Failure>{{"/t/a", "/t/a no longer exists."},
                                                {"/t/b", "Permission denied"}}));
  for (const HistoryEntry& entry : entries) {
    EXPECT_TRUE(entry.permanent);
    EXPECT_EQ(entry.trigger, "Quick Clean (menu bar)");
  }
}

TEST(HistoryViewModel, ARemovalWithNothingToRecordWritesNothing) {
  Fixture f;
  TrashResult result = removed({"/elsewhere"}, {});
  result.failed = {{"/also/elsewhere", FileSystemError{EIO, "I/O error"}}};
  f.record(result, {{"Xcode", {"/x/a"}}, {"Trash", {}}});
  EXPECT_TRUE(f.history.entries().empty());
  EXPECT_EQ(f.entryChanges, 0);
  EXPECT_FALSE(test::existsNoFollow(f.tree / "Harborlume"));
  EXPECT_TRUE(f.logged().empty());
}

TEST(HistoryViewModel, TheLastCleanupIsTheLatestRemovalAsAWhole) {
  Fixture f;
  EXPECT_EQ(f.history.lastCleanup(), std::nullopt);
  EXPECT_FALSE(f.history.lastCleanupWasPermanent());

  f.record(removed({"/a", "/b"}, {{"/a", 1000}, {"/b", 2000}}, RemovalMode::deletePermanently),
           {{"Xcode", {"/a"}}, {"Trash", {"/b"}}});
  EXPECT_EQ(f.history.lastCleanup(),
            (HistoryViewModel::LastCleanup{test::referenceDate() + 1s, 3000}));
  EXPECT_TRUE(f.history.lastCleanupWasPermanent());

  f.clock.advance(60s);
  f.record(removed({"/c", "/d"}, {{"/c", 30}, {"/d", 12}}),
           {{"Projects", {"/c"}}, {"Package caches", {"/d"}}});
  EXPECT_EQ(f.history.lastCleanup(),
            (HistoryViewModel::LastCleanup{test::referenceDate() + 61s, 42}));
  EXPECT_FALSE(f.history.lastCleanupWasPermanent());

  // Of two removals with the same latest date, the first in the list counts.
  std::vector<HistoryEntry> tied = f.history.entries();
  const UUID first = UUID::random();
  const UUID second = UUID::random();
  const Date later = test::referenceDate() + 120s;
  tied.push_back(HistoryEntry::make(first, later, "Xcode", {"/e"}, 5, {}, std::nullopt, false));
  tied.push_back(HistoryEntry::make(second, later, "Xcode", {"/f"}, 9, {}, std::nullopt, true));
  tied.push_back(HistoryEntry::make(first, later, "Trash", {"/g"}, 6, {}, std::nullopt, false));
  f.history.setEntries(tied);
  EXPECT_EQ(f.history.lastCleanup(), (HistoryViewModel::LastCleanup{later, 11}));
  EXPECT_FALSE(f.history.lastCleanupWasPermanent());
}

TEST(HistoryViewModel, TheSelectionFollowsTheEntries) {
  Fixture f;
  f.record(removed({"/a", "/b"}, {}), {{"Xcode", {"/a"}}, {"Trash", {"/b"}}});
  const HistoryEntry chosen = f.history.entries()[1];
  int selectionChanges = 0;
  QObject::connect(&f.history, &HistoryViewModel::selectedEntryIDChanged,
                   [&] { ++selectionChanges; });

  f.history.setSelectedEntryID(chosen.id);
  f.history.setSelectedEntryID(chosen.id);
  EXPECT_EQ(selectionChanges, 1);
  EXPECT_EQ(f.history.selectedEntry(), chosen);

  f.history.setEntries({f.history.entries()[0]});
  EXPECT_EQ(f.history.selectedEntry(), std::nullopt);
  f.history.setSelectedEntryID(std::nullopt);
  EXPECT_EQ(f.history.selectedEntry(), std::nullopt);
  EXPECT_EQ(selectionChanges, 2);
}

TEST(HistoryViewModel, LoadShowsTheFileAndNamesAMovedAsideFile) {
  Fixture f;
  const HistoryEntry stored =
      HistoryEntry::make(UUID::random(), test::referenceDate(), "Xcode", {"/a"}, 1, {}, "x", false);
  ASSERT_TRUE(std::holds_alternative<std::vector<HistoryEntry>>(f.store->append({stored})));
  f.load();
  EXPECT_EQ(f.history.entries(), std::vector<HistoryEntry>{stored});
  EXPECT_TRUE(f.logged().empty());

  Fixture damaged;
  damaged.tree.text("Harborlume/history.json", "[{\"id\":");
  damaged.load();
  EXPECT_TRUE(damaged.history.entries().empty());
  const std::vector<std::string> lines = damaged.logged();
  ASSERT_EQ(lines.size(), 1u);
  const std::string moved = lastPathComponent(*damaged.store->recoveredCorruptFile());
  EXPECT_EQ(moved.rfind("history.json.corrupt-", 0), 0u);
  EXPECT_EQ(lines[0], "History file was corrupt; moved it to " + moved + " and started fresh");
}

TEST(HistoryViewModel, AnUnreadableFileKeepsWhatIsShown) {
  Fixture f;
  f.tree.dir("Harborlume/history.json");
  const HistoryEntry shown =
      HistoryEntry::make(UUID::random(), test::referenceDate(), "Xcode", {"/a"}, 1, {}, "x", false);
  f.history.setEntries({shown});
  f.load();
  EXPECT_EQ(f.history.entries(), std::vector<HistoryEntry>{shown});
  const std::vector<std::string> lines = f.logged();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Could not read history: " + f.file + ": ", 0), 0u) << lines[0];
}

TEST(HistoryViewModel, AFailedSaveStillShowsTheRemoval) {
  Fixture f;
  f.tree.dir("Harborlume/history.json");
  f.record(removed({"/a"}, {{"/a", 5}}), {{"Xcode", {"/a"}}});
  ASSERT_EQ(f.history.entries().size(), 1u);
  EXPECT_EQ(f.history.entries()[0].itemPaths, Paths{"/a"});
  EXPECT_EQ(f.entryChanges, 1);
  EXPECT_EQ(f.history.lastCleanup()->bytes, 5);
  const std::vector<std::string> lines = f.logged();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("Could not save history: ", 0), 0u) << lines[0];

  // Nothing is retried, and later removals still land in memory.
  f.record(removed({"/b"}, {}), {{"Trash", {"/b"}}});
  EXPECT_EQ(f.history.entries().size(), 2u);
}

// A record that could not be saved is not lost with the session: its journal stays, and the next
// start completes the record from what is gone. A journal that cannot be read is kept aside.
TEST(HistoryViewModel, ARecordThatCannotBeSavedIsCompletedAtTheNextStart) {
  Fixture f;
  const std::string gone = f.tree / "cache/gone";
  const std::string kept = f.tree.dir("cache/kept");
  std::vector<TrashItem> items(2);
  items[0].url = gone;
  items[0].size = 7;
  items[1].url = kept;
  items[1].size = 9;
  const HistoryViewModel::Categories categories = {{"Package caches", {gone, kept}}};
  UUID operation;
  f.await([&](auto done) {
    operation = f.history.beginRemoval(categories, items, {}, TrashTrigger::confirmationSheet,
                                       RemovalMode::trash, done);
  });
  f.tree.dir("Harborlume/history.json");
  TrashResult result = removed({gone}, {{gone, 7}});
  result.failed.push_back({kept, FileSystemError{13, "Permission denied"}});
  f.await([&](auto done) {
    f.history.record(result, categories, TrashTrigger::confirmationSheet, done, operation);
  });
  ASSERT_EQ(f.logged().size(), 1u);
  ASSERT_EQ(test::journalsIn(f.tree / "Harborlume").size(), 1u);
  f.tree.text("Harborlume/removal-0A9619FF-8B86-D011-B42D-00C04FC964FF.journal", "{damaged");

  std::filesystem::remove(f.file);
  ActivityLog activity;
  HistoryViewModel next(f.store, activity, f.clock.clock());
  f.await([&](auto done) { next.load(done); });
  ASSERT_EQ(next.entries().size(), 1u);
  EXPECT_EQ(next.entries()[0].operationID, operation);
  EXPECT_EQ(next.entries()[0].itemPaths, Paths{gone});
  EXPECT_EQ(next.entries()[0].bytesFreed, 7);
  EXPECT_EQ(next.entries()[0].failures,
            (std::vector<HistoryEntry::Failure>{{kept, "interrupted"}}));
  EXPECT_EQ(onDisk(f.file), next.entries());
  std::vector<std::string> lines;
  for (const ActivityEvent& event : activity.events()) lines.push_back(event.message);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "A removal journal was damaged; moved it to "
                       "removal-0A9619FF-8B86-D011-B42D-00C04FC964FF.journal.corrupt-" +
                           AsideCopy::localStamp(f.clock.now()),
                       "A removal was interrupted; its record was completed: 1 item removed, "
                       "1 not removed"}));
  EXPECT_TRUE(test::journalsIn(f.tree / "Harborlume").empty());
}

// The program may stop after the record was appended and before its journal went: the next start
// removes the journal and records nothing twice.
TEST(HistoryViewModel, AJournalLeftBehindItsRecordAddsNothing) {
  Fixture f;
  const std::string gone = f.tree / "cache/gone";
  std::vector<TrashItem> items(1);
  items[0].url = gone;
  items[0].size = 7;
  const HistoryViewModel::Categories categories = {{"Package caches", {gone}}};
  UUID operation;
  f.await([&](auto done) {
    operation = f.history.beginRemoval(categories, items, {}, TrashTrigger::confirmationSheet,
                                       RemovalMode::trash, done);
  });
  std::string journal;
  for (const auto& entry : std::filesystem::directory_iterator(f.tree / "Harborlume")) {
    if (entry.path().extension() == ".journal") journal = entry.path().string();
  }
  ASSERT_FALSE(journal.empty());
  const std::string bytes = test::readFile(journal);
  f.await([&](auto done) {
    f.history.record(removed({gone}, {{gone, 7}}), categories, TrashTrigger::confirmationSheet,
                     done, operation);
  });
  f.tree.text("Harborlume/" + lastPathComponent(journal), bytes);

  ActivityLog activity;
  HistoryViewModel next(f.store, activity, f.clock.clock());
  f.await([&](auto done) { next.load(done); });
  ASSERT_EQ(next.entries().size(), 1u);
  EXPECT_EQ(next.entries()[0].operationID, operation);
  EXPECT_EQ(onDisk(f.file).size(), 1u);
  EXPECT_TRUE(test::journalsIn(f.tree / "Harborlume").empty());
  EXPECT_TRUE(activity.events().empty());
}

TEST(HistoryViewModel, AFileDamagedSinceStartUpIsReportedWhenRecording) {
  Fixture f;
  f.record(removed({"/a"}, {}), {{"Xcode", {"/a"}}});
  f.tree.text("Harborlume/history.json", "garbage");
  f.record(removed({"/b"}, {}), {{"Trash", {"/b"}}});

  ASSERT_EQ(f.history.entries().size(), 1u);
  EXPECT_EQ(f.history.entries()[0].category, "Trash");
  const std::vector<std::string> lines = f.logged();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("History file was corrupt; moved it to history.json.corrupt-", 0), 0u);
  EXPECT_EQ(test::readFile(*f.store->recoveredCorruptFile()), "garbage");
}

TEST(HistoryViewModel, OverlappingRecordsArriveInCallOrder) {
  Fixture f;
  bool firstDone = false;
  f.history.record(removed({"/1"}, {}), {{"Xcode", {"/1"}}}, TrashTrigger::scanner,
                   [&] { firstDone = true; });
  f.history.record(removed({"/2"}, {}), {{"Trash", {"/2"}}}, TrashTrigger::scanner);
  f.record(removed({"/3"}, {}), {{"Projects", {"/3"}}});
  EXPECT_TRUE(firstDone);

  std::vector<std::string> categories;
  for (const HistoryEntry& entry : f.history.entries()) categories.push_back(entry.category);
  EXPECT_EQ(categories, (Paths{"Xcode", "Trash", "Projects"}));
  EXPECT_EQ(onDisk(f.file), f.history.entries());
}

TEST(HistoryViewModel, DestroyedWhileSavingLosesNoRecord) {
  test::FakeHome tree("history");
  const std::string file = tree / "Harborlume/history.json";
  ActivityLog activity;
  bool called = false;
  {
    auto history = std::make_unique<HistoryViewModel>(std::make_shared<HistoryStore>(file),
                                                      activity);
    history->record(removed({"/a"}, {}), {{"Xcode", {"/a"}}}, TrashTrigger::scanner,
                    [&] { called = true; });
  }
  QCoreApplication::processEvents();
  EXPECT_FALSE(called);
  EXPECT_EQ(onDisk(file).size(), 1u);
}
