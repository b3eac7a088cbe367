#include <gtest/gtest.h>

#include <QEventLoop>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "platform/freedesktop_trash.h"
#include "platform/trash_folders.h"
#include "platform/user_folders.h"
#include "support/child_process.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/removal_journals.h"
#include "support/write_failures.h"
#include "services/storage/history_store.h"
#include "services/storage/removal_journal.h"
#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"
#include "viewmodels/history_view_model.h"

using namespace hl;
using Paths = std::vector<std::string>;

namespace {

// The history as the next start of the program finds it.
struct NextStart {
  ActivityLog activity;
  HistoryViewModel history;

  explicit NextStart(const std::string& file)
      : history(std::make_shared<HistoryStore>(file), activity) {
    QEventLoop loop;
    bool loaded = false;
    history.load([&] {
      loaded = true;
      loop.quit();
    });
    if (!loaded) loop.exec();
  }

  std::vector<std::string> logged() const {
    std::vector<std::string> lines;
    for (const ActivityEvent& event : activity.events()) lines.push_back(event.message);
    return lines;
  }
};

}  // namespace

// A removal killed half-way is in the history at the next start, with exactly the items that
// are gone as removed and the rest as not removed; while it still runs, it is left alone. A Trash
// record it reserved for an item that never reached the Trash goes then, whether the kill came
// before the record was written or after; every other record stays.
TEST(InterruptedRemoval, IsRecordedAtTheNextStartWithExactlyWhatIsGone) {
  struct Row {
    std::string name;
    std::string mode;
    // Where the removal is killed: after three items, or once the fourth item's record is
    // reserved (before its item is moved).
    std::string stop;
    // Whether the record is written in full before the kill.
    bool recordWritten = false;
  };
  for (const Row& row : {Row{"trash", "trash", "3"}, Row{"delete", "delete", "3"},
                         Row{"reserved", "trash", "r4"}, Row{"written", "trash", "r4", true}}) {
    SCOPED_TRACE(row.name);
    const std::string home = homeDirectory();
    const std::string trash = TrashFolders::homeTrash();
    test::FakeHome tree{"removal"};
    const std::string history = tree / "data/Harborlume/history.json";
    Paths paths;
    std::vector<std::string> arguments = {HL_INTERRUPTED_REMOVAL, history, row.mode, row.stop,
                                          "Package caches"};
    for (int i = 0; i < 5; ++i) {
      const std::string item =
          home + "/.cache/tool-" + row.name + "/" + row.name + "-" + std::to_string(i);
      std::filesystem::create_directories(item + "/content");
      std::ofstream(item + "/content/file") << std::string(4096, 'x');
      std::ofstream(item + "/other") << "y";
      paths.push_back(item);
      arguments.push_back(item);
      arguments.push_back(std::to_string(1000 + i));
    }
    // A record the removal does not write, left for the very item it stops at: its name is taken.
    const std::string foreign = trash + "/info/" + row.name + "-3.trashinfo";
    std::filesystem::create_directories(trash + "/info");
    std::ofstream{foreign};
    const std::set<std::string> recordsBefore = test::namesIn(trash + "/info");

    test::ChildProcess child(arguments);
    std::string reserved;
    if (row.stop == "3") {
      ASSERT_EQ(child.readLine(), "stopped after 3");
    } else {
      const std::string line = child.readLine();
      ASSERT_EQ(line.rfind("reserved ", 0), 0u) << line;
      reserved = line.substr(std::string("reserved ").size());
      EXPECT_EQ(reserved, trash + "/info/" + row.name + "-3.2.trashinfo");
      if (row.recordWritten) {
        std::ofstream(reserved) << FreedesktopTrash::trashInfo(paths[3], test::referenceDate());
      }
    }
    // A removal that is still under way is not taken for an interrupted one.
    {
      NextStart meanwhile(history);
      EXPECT_TRUE(meanwhile.history.entries().empty());
      EXPECT_EQ(test::journalsIn(tree / "data/Harborlume").size(), 1u);
      if (!reserved.empty()) {
        EXPECT_TRUE(test::existsNoFollow(reserved));
      }
    }
    child.stop(SIGKILL);

    NextStart next(history);
    ASSERT_EQ(next.history.entries().size(), 1u);
    const HistoryEntry& entry = next.history.entries()[0];
    EXPECT_EQ(entry.category, "Package caches");
    EXPECT_EQ(entry.trigger, "Move to Trash (sheet)");
    EXPECT_EQ(entry.permanent, row.mode == "delete");
    EXPECT_EQ(entry.itemPaths, (Paths{paths[0], paths[1], paths[2]}));
    EXPECT_EQ(entry.bytesFreed, 1000 + 1001 + 1002);
    EXPECT_EQ(entry.failures, (std::vector<HistoryEntry::Failure>{{paths[3], "interrupted"},
                                                                  {paths[4], "interrupted"}}));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(test::existsNoFollow(paths[i]), i >= 3) << i;
    EXPECT_EQ(next.logged(), std::vector<std::string>{"A removal was interrupted; its record was "
                                                      "completed: 3 items removed, 2 not removed"});
    EXPECT_TRUE(test::journalsIn(tree / "data/Harborlume").empty());
    EXPECT_EQ(test::namesIn(tree / "data/Harborlume"), std::set<std::string>{"history.json"});

    // The records of the items it moved stay, and so does every record it did not write.
    const std::set<std::string> recordsAfter = test::namesIn(trash + "/info");
    std::vector<std::string> added;
    std::set_difference(recordsAfter.begin(), recordsAfter.end(), recordsBefore.begin(),
                        recordsBefore.end(), std::back_inserter(added));
    EXPECT_EQ(added.size(), row.mode == "trash" ? 3u : 0u);
    for (const std::string& record : added) {
      const std::string name = record.substr(0, record.size() - std::string(".trashinfo").size());
      EXPECT_TRUE(test::existsNoFollow(trash + "/files/" + name)) << record;
    }
    EXPECT_TRUE(std::includes(recordsAfter.begin(), recordsAfter.end(), recordsBefore.begin(),
                              recordsBefore.end()));
    EXPECT_EQ(test::readFile(foreign), "");

    // Completed once: the start after that finds the same history and nothing more to do.
    NextStart later(history);
    EXPECT_EQ(later.history.entries(), next.history.entries());
    EXPECT_TRUE(later.logged().empty());
  }
}

// Two copies of the program starting at once never both take a journal left behind: the first
// holds it until it is recorded, and one recorded and removed meanwhile is not taken at all.
TEST(InterruptedRemoval, TwoCopiesNeverBothTakeAJournal) {
  test::FakeHome home{"journals"};
  const std::string historyFile = home / "Harborlume/history.json";
  PendingRemoval removal;
  removal.operationID = UUID::random();
  removal.date = test::referenceDate();
  removal.trigger = "sheet";
  removal.items = {{home / "cache/gone", 7}};
  {
    RemovalJournal running(historyFile);
    ASSERT_EQ(running.begin(removal), std::nullopt);
    // While it runs, no other copy takes it.
    EXPECT_TRUE(RemovalJournal(historyFile).interrupted(removal.date).removals.empty());
    running.release(removal.operationID);
  }

  RemovalJournal first(historyFile);
  RemovalJournal second(historyFile);
  ASSERT_EQ(first.interrupted(removal.date).removals, std::vector<PendingRemoval>{removal});
  EXPECT_TRUE(second.interrupted(removal.date).removals.empty());
  first.finish(removal.operationID);
  EXPECT_TRUE(second.interrupted(removal.date).removals.empty());
  EXPECT_TRUE(test::journalsIn(home / "Harborlume").empty());
}

// Two copies of the program appending to one history at once lose none of each other's records.
TEST(InterruptedRemoval, TwoCopiesAppendingToOneHistoryLoseNothing) {
  test::FakeHome home{"history"};
  const std::string file = home / "Harborlume/history.json";
  constexpr int kEach = 60;
  test::ChildProcess one({HL_HISTORY_APPENDER, file, std::to_string(kEach)});
  test::ChildProcess two({HL_HISTORY_APPENDER, file, std::to_string(kEach)});
  ASSERT_EQ(one.readLine(), "ready");
  ASSERT_EQ(two.readLine(), "ready");
  one.writeLine("go");
  two.writeLine("go");
  EXPECT_EQ(one.readLine(), "done 0");
  EXPECT_EQ(two.readLine(), "done 0");
  const HistoryStore::Result stored = HistoryStore(file).load();
  ASSERT_TRUE(std::holds_alternative<std::vector<HistoryEntry>>(stored));
  EXPECT_EQ(std::get<std::vector<HistoryEntry>>(stored).size(), 2u * kEach);
}
