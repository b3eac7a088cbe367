#include <gtest/gtest.h>

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/freedesktop_trash.h"
#include "platform/trash_folders.h"
#include "platform/user_folders.h"
#include "support/child_process.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/removal_journals.h"
#include "support/scratch_mount.h"
#include "support/write_failures.h"
#include "services/storage/history_store.h"
#include "services/system/process_runner.h"
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
    // Where the removal is killed: after three items; once the fourth item's record is made and
    // noted (before its item is moved); or while that record is being made, when only the note
    // taken before it is on disk.
    std::string stop;
    // Whether the record is written in full before the kill.
    bool recordWritten = false;
  };
  for (const Row& row : {Row{"trash", "trash", "3"}, Row{"delete", "delete", "3"},
                         Row{"reserved", "trash", "r4"}, Row{"written", "trash", "r4", true},
                         Row{"making", "trash", "m4"},
                         Row{"making-written", "trash", "m4", true}}) {
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
      const std::string said = row.stop[0] == 'r' ? "reserved " : "making ";
      ASSERT_EQ(line.rfind(said, 0), 0u) << line;
      reserved = line.substr(said.size());
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

namespace {

// "device:inode" of what stands at `path`, a final link not followed, as a note writes it.
std::string identityText(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// A removal to the Trash that was cut short with its one item still in place, and `notes` left
// beside its journal as the notes of the Trash records it reserved.
struct LeftBehind {
  std::string history;
  std::string item;
  std::string notes;
  std::string journal;

  LeftBehind(const test::FakeHome& tree, const std::string& home) {
    history = tree / "data/Harborlume/history.json";
    item = home + "/.cache/tool/item";
    std::filesystem::create_directories(item);
    PendingRemoval removal;
    removal.operationID = UUID::random();
    removal.date = test::referenceDate();
    removal.trigger = "Move to Trash (sheet)";
    removal.categories = {{"Package caches", {item}}};
    removal.items = {{item, 10}};
    RemovalJournal journal(history);
    EXPECT_EQ(journal.begin(removal), std::nullopt);
    journal.release(removal.operationID);
    notes = journal.reservedPathOf(removal.operationID);
    this->journal = journal.pathOf(removal.operationID);
  }
};

}  // namespace

// The notes beside a journal are read as input, not as facts: a note is acted on only when it
// names one plain file name in a Trash folder this program moves to; anything else is left
// alone and logged, and notes that cannot be read in reason never stop the start.
TEST(InterruptedRemoval, NotesThatNameNoRecordOfOursAreLeftAlone) {
  const std::string home = homeDirectory();
  const std::string trash = TrashFolders::homeTrash();
  struct Row {
    std::string name;
    // Makes the file a tampered note points at, and returns its path (which must survive) and
    // the notes file's text.
    std::function<std::pair<std::string, std::string>(const LeftBehind&)> make;
  };
  auto note = [&](const std::string& folder, const std::string& name, const std::string& record,
                  const std::string& original) {
    const QJsonObject object{{"trash", QString::fromStdString(folder)},
                             {"folder", QString::fromStdString(identityText(folder))},
                             {"name", QString::fromUtf8(name.data(), qsizetype(name.size()))},
                             {"record", QString::fromStdString(identityText(record))},
                             {"original", QString::fromStdString(original)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString() + "\n";
  };
  auto placed = [](const std::string& path) {
    std::filesystem::create_directories(parentPath(path));
    std::ofstream(path) << "keep";
    return path;
  };
  const std::vector<Row> rows = {
      {"a name that climbs out of info/",
       [&](const LeftBehind& left) {
         const std::string victim = placed(parentPath(trash) + "/victim/x.trashinfo");
         std::filesystem::create_directories(trash + "/info");
         return std::pair{victim, note(trash, "../../victim/x", victim, left.item)};
       }},
      {"a name that ends in a NUL byte, as text",
       [&](const LeftBehind& left) {
         const std::string victim = placed(trash + "/info/thesis.pdf");
         return std::pair{victim, note(trash, std::string("thesis.pdf\0", 11), victim, left.item)};
       }},
      {"a name that ends in a NUL byte, as bytes",
       [&](const LeftBehind& left) {
         const std::string victim = placed(trash + "/info/thesis.pdf");
         std::string line = note(trash, "x", victim, left.item);
         const std::string plain = "\"name\":\"x\"";
         line.replace(line.find(plain), plain.size(),
                      "\"name\":{\"bytes\":\"7468657369732e70646600\"}");
         return std::pair{victim, line};
       }},
      {"a name through a link inside info/",
       [&](const LeftBehind& left) {
         const std::string victim = placed(home + "/elsewhere/x.trashinfo");
         std::filesystem::create_directories(trash + "/info");
         std::filesystem::create_directory_symlink(home + "/elsewhere", trash + "/info/link");
         return std::pair{victim, note(trash, "link/x", victim, left.item)};
       }},
      {"a folder that holds info/ but is no Trash",
       [&](const LeftBehind& left) {
         const std::string victim = placed(home + "/project/.git/info/exclude");
         return std::pair{victim, note(home + "/project/.git", std::string("exclude\0", 8), victim,
                                       left.item)};
       }},
      {"a Trash-like folder that is not at the top of a volume",
       [&](const LeftBehind& left) {
         const std::string folder = home + "/project/.Trash-" + std::to_string(::getuid());
         const std::string victim = placed(folder + "/info/x.trashinfo");
         std::filesystem::create_directories(folder + "/files");
         return std::pair{victim, note(folder, "x", victim, left.item)};
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::FakeHome tree{"notes"};
    const LeftBehind left(tree, home);
    const auto [victim, notes] = row.make(left);
    std::ofstream(left.notes) << notes;

    NextStart next(left.history);
    EXPECT_EQ(test::readFile(victim), "keep");
    ASSERT_EQ(next.history.entries().size(), 1u);
    const std::vector<std::string> logged = next.logged();
    EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& line) {
      return line.rfind("Left alone a noted Trash record", 0) == 0;
    })) << testing::PrintToString(logged);
    std::filesystem::remove_all(trash);
  }
}

// Notes that cannot be read in reason (far larger than the removal's items allow, a folder or a
// pipe in their place) are logged, and the start goes on to record the removal; a journal far
// larger than any removal writes is moved aside.
TEST(InterruptedRemoval, WhatCannotBeReadInReasonNeverStopsTheStart) {
  const std::string home = homeDirectory();
  struct Row {
    std::string name;
    std::function<void(const LeftBehind&)> make;
    std::string logged;
    std::size_t recorded = 1;
  };
  const std::string notes =
      "Could not use the notes of the Trash records of an interrupted removal";
  const std::vector<Row> rows = {
      {"notes in a sparse file of 3 GB",
       [](const LeftBehind& left) {
         std::ofstream{left.notes};
         ASSERT_EQ(::truncate(left.notes.c_str(), 3LL << 30), 0);
       },
       notes},
      {"notes in a folder",
       [](const LeftBehind& left) { std::filesystem::create_directory(left.notes); }, notes},
      {"notes in a pipe",
       [](const LeftBehind& left) { ASSERT_EQ(::mkfifo(left.notes.c_str(), 0600), 0); }, notes},
      {"a journal of more than 64 MiB, that would read as one",
       [](const LeftBehind& left) {
         std::ofstream(left.journal, std::ios::app) << std::string(64 << 20, ' ');
       },
       "A removal journal was damaged; moved it to", 0},
      {"a journal under another removal's name, whose files its completion would remove",
       [](const LeftBehind& left) {
         const std::string other = parentPath(left.journal) + "/removal-" +
                                   UUID::random().uuidString() + ".journal";
         std::filesystem::rename(left.journal, other);
       },
       "A removal journal was damaged; moved it to", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::FakeHome tree{"notes"};
    const LeftBehind left(tree, home);
    row.make(left);

    NextStart next(left.history);
    EXPECT_EQ(next.history.entries().size(), row.recorded);
    const std::vector<std::string> logged = next.logged();
    EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [&](const std::string& line) {
      return line.rfind(row.logged, 0) == 0;
    })) << testing::PrintToString(logged);
  }
}

// Killed at random moments while every core is kept busy, a removal to the Trash leaves, once the
// next start has run, no record of a move that never happened and no item in the Trash without
// its record; the history says removed of exactly the items that left their places.
TEST(InterruptedRemoval, KilledAtRandomMomentsUnderLoadItLeavesNoPhantomRecord) {
  const std::string home = homeDirectory();
  const std::string trash = TrashFolders::homeTrash();
  std::atomic<bool> loaded{true};
  std::vector<std::thread> load;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i) {
    load.emplace_back([&] {
      while (loaded.load(std::memory_order_relaxed)) {
      }
    });
  }
  struct StopLoad {
    std::atomic<bool>& loaded;
    std::vector<std::thread>& load;
    ~StopLoad() {
      loaded = false;
      for (std::thread& thread : load) thread.join();
    }
  } stopLoad{loaded, load};

  // One removal of twelve items killed `after` microseconds in: whether it was killed before it
  // ended, and how long it took when it ended first.
  struct Round {
    bool killed = false;
    long long took = 0;
  };
  auto round = [&](int number, long long after) -> Round {
    test::FakeHome tree{"killed"};
    const std::string history = tree / "data/Harborlume/history.json";
    std::vector<std::string> arguments = {HL_INTERRUPTED_REMOVAL, history, "trash",
                                          "k" + std::to_string(after), "Package caches"};
    Paths paths;
    for (int i = 0; i < 12; ++i) {
      const std::string item =
          home + "/.cache/round-" + std::to_string(number) + "/k" + std::to_string(number) + "-" +
          std::to_string(i);
      std::filesystem::create_directories(item);
      std::ofstream(item + "/file") << "x";
      paths.push_back(item);
      arguments.push_back(item);
      arguments.push_back("1");
    }
    Round result;
    {
      test::ChildProcess child(arguments);
      const std::string line = child.readLine();
      result.killed = line.empty();
      if (!result.killed) result.took = std::atoll(line.c_str() + std::string("finished ").size());
      child.stop(SIGKILL);
    }
    NextStart next(history);
    EXPECT_EQ(next.history.entries().size(), 1u);
    std::set<std::string> removed;
    for (const HistoryEntry& entry : next.history.entries()) {
      removed.insert(entry.itemPaths.begin(), entry.itemPaths.end());
    }
    for (const std::string& path : paths) {
      EXPECT_EQ(removed.contains(path), !test::existsNoFollow(path)) << path;
    }
    const std::string suffix = ".trashinfo";
    for (const std::string& record : test::namesIn(trash + "/info")) {
      EXPECT_TRUE(test::existsNoFollow(trash + "/files/" +
                                       record.substr(0, record.size() - suffix.size())))
          << "a record of a move that never happened: " << record;
    }
    for (const std::string& moved : test::namesIn(trash + "/files")) {
      EXPECT_TRUE(test::existsNoFollow(trash + "/info/" + moved + suffix))
          << "an item in the Trash without its record: " << moved;
    }
    return result;
  };

  // How long a whole removal takes here, now: the kills fall within it.
  const long long whole = round(0, 60'000'000).took;
  ASSERT_GT(whole, 0);
  std::mt19937_64 random{std::random_device{}()};
  int killed = 0;
  for (int number = 1; killed < 30 && number <= 120 && !HasFailure(); ++number) {
    const long long after = std::uniform_int_distribution<long long>(0, whole)(random);
    if (round(number, after).killed) ++killed;
  }
  EXPECT_GE(killed, 30);
}

// A removal cut short on a volume that is not mounted at the next start is not recorded as
// having removed what cannot be seen gone; the notes of that volume's records wait beside the
// journal for a start that finds the volume again, which withdraws a record of a move that never
// happened and keeps the record of one that did.
TEST(InterruptedRemoval, AnItemOnAVolumeThatIsNotMountedIsNotRecordedAsRemoved) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  if (::access("/usr/sbin/mkfs.ext4", X_OK) != 0 || ::access("/dev/loop-control", W_OK) != 0) {
    GTEST_SKIP() << "no ext4 images here";
  }
  struct Row {
    std::string mode;
    // After the first item was moved or deleted, or once its record is made and noted.
    std::string stop;
    // What the record made for the first item comes to once the volume is back.
    bool recordStays = false;
  };
  const std::string unseen = "interrupted; whether it was removed could not be seen";
  for (const Row& row : {Row{"trash", "r1"}, Row{"trash", "1", true}, Row{"delete", "1"}}) {
    SCOPED_TRACE(row.mode + " " + row.stop);
    const std::string home = homeDirectory();
    test::FakeHome tree{"volume"};
    const std::string history = tree / "data/Harborlume/history.json";
    const std::string image = tree / "image";
    const auto made = ProcessRunner::run("/usr/sbin/mkfs.ext4", {"-q", "-F", image, "16M"},
                                         std::chrono::seconds(60));
    ASSERT_TRUE(made && made->succeeded());
    const std::string volume = home + "/volume-" + row.mode + "-" + row.stop;
    std::filesystem::create_directories(volume);
    std::optional<test::ScratchMount> mounted;
    mounted.emplace(test::ScratchMount::ext4Image(image, volume));
    const Paths paths = {volume + "/cache/item-0", volume + "/cache/item-1"};
    std::vector<std::string> arguments = {HL_INTERRUPTED_REMOVAL, history, row.mode, row.stop,
                                          "Package caches"};
    for (const std::string& path : paths) {
      std::filesystem::create_directories(path);
      std::ofstream(path + "/file") << "x";
      arguments.insert(arguments.end(), {path, "10"});
    }
    const std::string bin = volume + "/.Trash-" + std::to_string(::getuid());
    {
      test::ChildProcess child(arguments);
      ASSERT_FALSE(child.readLine().empty());
      child.stop(SIGKILL);
    }
    mounted.reset();

    NextStart unmounted(history);
    ASSERT_EQ(unmounted.history.entries().size(), 1u);
    const HistoryEntry entry = unmounted.history.entries()[0];
    EXPECT_TRUE(entry.itemPaths.empty());
    EXPECT_EQ(entry.bytesFreed, 0);
    EXPECT_EQ(entry.failures, (std::vector<HistoryEntry::Failure>{{paths[0], unseen},
                                                                  {paths[1], unseen}}));
    EXPECT_EQ(test::journalsIn(tree / "data/Harborlume").size(), row.mode == "trash" ? 1u : 0u);

    // Back, as a volume plugged in again comes back, under another device number: the loop
    // device it had is taken first.
    const std::string other = tree / "other";
    const auto madeOther = ProcessRunner::run("/usr/sbin/mkfs.ext4", {"-q", "-F", other, "16M"},
                                              std::chrono::seconds(60));
    ASSERT_TRUE(madeOther && madeOther->succeeded());
    std::filesystem::create_directories(tree / "occupied");
    const test::ScratchMount occupied = test::ScratchMount::ext4Image(other, tree / "occupied");
    mounted.emplace(test::ScratchMount::ext4Image(image, volume));
    NextStart remounted(history);
    EXPECT_EQ(remounted.history.entries(), std::vector<HistoryEntry>{entry});
    EXPECT_TRUE(test::journalsIn(tree / "data/Harborlume").empty());
    if (row.mode == "trash") {
      EXPECT_EQ(test::existsNoFollow(bin + "/info/item-0.trashinfo"), row.recordStays);
      EXPECT_EQ(test::existsNoFollow(bin + "/files/item-0"), row.recordStays);
      EXPECT_NE(test::existsNoFollow(paths[0]), row.recordStays);
    }
  }
}
