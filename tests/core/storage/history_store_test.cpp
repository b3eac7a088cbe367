#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "services/storage/history_store.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/test_environment.h"
#include "support/ordinary_user.h"
#include "support/write_failures.h"

using namespace hl;
using namespace std::chrono_literals;

namespace {

// Moved-aside names carry local time; a zone two hours east of UTC shows that they do.
void useZoneTwoHoursEast() {
  ::setenv("TZ", "HLT-2", 1);
  ::tzset();
}

struct Folder {
  test::FakeHome tree{"history"};
  std::string file = tree / "Harborlume/history.json";
  test::ManualWallClock clock{test::referenceDate()};
  HistoryStore store{file, clock.clock()};

  std::string movedName(const std::string& suffix = "") const {
    return file + ".corrupt-20260301-140000" + suffix;
  }
};

HistoryEntry entry(std::string category = "Xcode", std::int64_t bytes = 10) {
  return HistoryEntry::make(UUID::random(), test::referenceDate(), std::move(category),
                            {"/home/u/.cache/x"}, bytes, {}, std::string("Scanner"), false);
}

std::vector<HistoryEntry> entriesOf(const HistoryStore::Result& result) {
  const auto* entries = std::get_if<std::vector<HistoryEntry>>(&result);
  EXPECT_NE(entries, nullptr) << std::get<HistoryStore::Error>(result).description;
  return entries ? *entries : std::vector<HistoryEntry>{};
}

std::string errorOf(const HistoryStore::Result& result) {
  const auto* error = std::get_if<HistoryStore::Error>(&result);
  EXPECT_NE(error, nullptr);
  return error ? error->description : "";
}

const std::string kRecord =
    R"({"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF",)"
    R"("operationID":"0A9619FF-8B86-D011-B42D-00C04FC964FF",)"
    R"("date":"2026-03-01T12:00:00Z","category":"Xcode","itemPaths":["/a"],)"
    R"("failures":[])";

}  // namespace

TEST(HistoryStore, LivesInTheDataFolderAndStartsWithNothing) {
  EXPECT_EQ(HistoryStore::defaultURL(),
            std::string(std::getenv("XDG_DATA_HOME")) + "/Harborlume/history.json");

  Folder f;
  std::optional<std::string> moved = "stale";
  EXPECT_TRUE(entriesOf(f.store.load(&moved)).empty());
  EXPECT_EQ(moved, std::nullopt);
  // Loading creates nothing: a user who never removed anything has no folder.
  EXPECT_FALSE(test::existsNoFollow(f.tree / "Harborlume"));

  f.tree.text("Harborlume/history.json", "");
  EXPECT_TRUE(entriesOf(f.store.load()).empty());
  EXPECT_TRUE(test::existsNoFollow(f.file));
  EXPECT_FALSE(test::existsNoFollow(f.movedName()));
  EXPECT_EQ(f.store.recoveredCorruptFile(), std::nullopt);
}

TEST(HistoryStore, AppendsKeepEveryEarlierRecordInOrder) {
  Folder f;
  const HistoryEntry first = entry("Xcode");
  const HistoryEntry second = entry("Package caches");
  const HistoryEntry third = entry("Trash");
  EXPECT_EQ(entriesOf(f.store.append({first})), std::vector<HistoryEntry>{first});
  EXPECT_EQ(entriesOf(f.store.append({second, third})),
            (std::vector<HistoryEntry>{first, second, third}));
  EXPECT_EQ(entriesOf(HistoryStore(f.file).load()),
            (std::vector<HistoryEntry>{first, second, third}));
}

TEST(HistoryStore, UndecodableFilesAreMovedAsideWithTheirBytesKept) {
  useZoneTwoHoursEast();
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"invalid JSON", "[{\"id\": "},
      {"missing bytesFreed", "[" + kRecord + "}]"},
      {"bytesFreed as text", "[" + kRecord + R"(,"bytesFreed":"4096"}])"},
      {"fractional bytesFreed", "[" + kRecord + R"(,"bytesFreed":1.5}])"},
      {"not an array", kRecord + R"(,"bytesFreed":1})"},
      {"a number in itemPaths", "[" + kRecord + R"(,"bytesFreed":1,"itemPaths":[1]}])"},
      {"permanent as text", "[" + kRecord + R"(,"bytesFreed":1,"permanent":"yes"}])"},
      {"one good record then a bad one",
       "[" + kRecord + R"(,"bytesFreed":1},)" + kRecord + R"(,"bytesFreed":null}])"},
      {"a malformed UUID", R"([{"id":"6F9619FF","operationID":"0A9619FF-8B86-D011-B42D-)"
                           R"(00C04FC964FF","date":"2026-03-01T12:00:00Z","category":"c",)"
                           R"("itemPaths":[],"bytesFreed":1,"failures":[]}])"},
      {"a date without a zone", R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF",)"
                                R"("operationID":"0A9619FF-8B86-D011-B42D-00C04FC964FF",)"
                                R"("date":"2026-03-01 12:00:00","category":"c",)"
                                R"("itemPaths":[],"bytesFreed":1,"failures":[]}])"},
      {"a category that is not UTF-8",
       R"([{"id":"6F9619FF-8B86-D011-B42D-00C04FC964FF",)"
       R"("operationID":"0A9619FF-8B86-D011-B42D-00C04FC964FF",)"
       "\"date\":\"2026-03-01T12:00:00Z\",\"category\":\"\xff\xfe\","
       R"("itemPaths":[],"bytesFreed":1,"failures":[]}])"},
  };
  for (const auto& [what, bytes] : damaged) {
    SCOPED_TRACE(what);
    Folder f;
    f.tree.text("Harborlume/history.json", bytes);
    std::optional<std::string> moved;
    EXPECT_TRUE(entriesOf(f.store.load(&moved)).empty());
    EXPECT_EQ(moved, f.movedName());
    EXPECT_EQ(f.store.recoveredCorruptFile(), f.movedName());
    EXPECT_EQ(test::readFile(f.movedName()), bytes);
    EXPECT_FALSE(test::existsNoFollow(f.file));
  }
}

TEST(HistoryStore, TheSameRecordDecodesWhenItIsWellFormed) {
  // The damaged cases above differ from this one only in the damage.
  Folder f;
  f.tree.text("Harborlume/history.json", "[" + kRecord + R"(,"bytesFreed":1,"x":[]}])");
  const auto entries = entriesOf(f.store.load());
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].trigger, std::nullopt);
  EXPECT_FALSE(entries[0].permanent);
}

TEST(HistoryStore, RecoveriesInTheSameSecondKeepEveryDamagedFile) {
  useZoneTwoHoursEast();
  Folder f;
  f.tree.text("Harborlume/history.json", "first damage");
  f.store.load();
  f.tree.text("Harborlume/history.json", "second damage");
  std::optional<std::string> moved;
  f.store.load(&moved);
  f.tree.text("Harborlume/history.json", "third damage");
  f.store.append({entry()});

  EXPECT_EQ(moved, f.movedName("-2"));
  EXPECT_EQ(test::readFile(f.movedName()), "first damage");
  EXPECT_EQ(test::readFile(f.movedName("-2")), "second damage");
  EXPECT_EQ(test::readFile(f.movedName("-3")), "third damage");
  EXPECT_EQ(f.store.recoveredCorruptFile(), f.movedName("-3"));
}

TEST(HistoryStore, AnAppendAfterARecoveryStartsAFreshFile) {
  useZoneTwoHoursEast();
  Folder f;
  f.tree.text("Harborlume/history.json", "{not json");
  const HistoryEntry added = entry();
  std::optional<std::string> moved;
  EXPECT_EQ(entriesOf(f.store.append({added}, &moved)), std::vector<HistoryEntry>{added});
  EXPECT_EQ(moved, f.movedName());
  EXPECT_EQ(test::readFile(f.movedName()), "{not json");
  EXPECT_EQ(entriesOf(HistoryStore(f.file).load()), std::vector<HistoryEntry>{added});
  // The next call finds a sound file and moves nothing.
  f.store.append({entry()}, &moved);
  EXPECT_EQ(moved, std::nullopt);
  EXPECT_EQ(entriesOf(f.store.load()).size(), 2u);
}

TEST(HistoryStore, WritesWholeSecondUTCDatesSortedKeysAndAlwaysPermanent) {
  Folder f;
  f.tree.text("Harborlume/history.json", "[" + kRecord + R"(,"bytesFreed":7}])");
  HistoryEntry added = entry();
  added.date = test::referenceDate() + 1500ms;  // not cut by make: the file must cut it
  added.failures = {{"/b", "Skipped: in use"}};
  f.store.append({added});

  const std::string text = test::readFile(f.file);
  EXPECT_NE(text.find("\"2026-03-01T12:00:01Z\""), std::string::npos) << text;
  // The old record without "trigger" and "permanent" gains "permanent": false only.
  const std::size_t second = text.find("},\n    {");
  ASSERT_NE(second, std::string::npos) << text;
  const std::string old = text.substr(0, second);
  EXPECT_NE(old.find("\"permanent\": false"), std::string::npos) << old;
  EXPECT_EQ(old.find("trigger"), std::string::npos) << old;

  std::size_t at = second;
  for (const char* key : {"\"bytesFreed\"", "\"category\"", "\"date\"", "\"failures\"",
                          "\"message\"", "\"path\"", "\"id\"", "\"itemPaths\"",
                          "\"operationID\"", "\"permanent\"", "\"trigger\""}) {
    const std::size_t next = text.find(key, at);
    ASSERT_NE(next, std::string::npos) << key << " out of order in " << text;
    at = next;
  }

  const auto loaded = entriesOf(f.store.load());
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[1].date, test::referenceDate() + 1s);
  EXPECT_EQ(loaded[0].bytesFreed, 7);
}

TEST(HistoryStore, AFileThatCannotBeReadIsAnErrorAndStaysPut) {
  Folder f;
  f.tree.dir("Harborlume/history.json");
  EXPECT_NE(errorOf(f.store.load()).find(f.file), std::string::npos);
  EXPECT_FALSE(errorOf(f.store.append({entry()})).empty());
  EXPECT_FALSE(test::existsNoFollow(f.movedName()));

  // A pipe in the file's place must not stall the caller.
  Folder pipe;
  pipe.tree.dir("Harborlume");
  ASSERT_EQ(::mkfifo(pipe.file.c_str(), 0600), 0);
  EXPECT_NE(errorOf(pipe.store.load()).find("not a regular file"), std::string::npos);
  EXPECT_EQ(pipe.store.recoveredCorruptFile(), std::nullopt);
}

TEST(HistoryStore, AFolderThatCannotBeCreatedFailsTheAppend) {
  Folder f;
  f.tree.text("Harborlume", "a file where the folder belongs");
  EXPECT_TRUE(entriesOf(f.store.load()).empty());
  EXPECT_NE(errorOf(f.store.append({entry()})).find("Harborlume"), std::string::npos);
  EXPECT_EQ(test::readFile(f.tree / "Harborlume"), "a file where the folder belongs");
}

TEST(HistoryStore, AFailedMoveIsAnErrorAndKeepsTheFile) {
  HL_AS_ORDINARY_USER();
  Folder f;
  f.tree.text("Harborlume/history.json", "damaged");
  ASSERT_EQ(::chmod((f.tree / "Harborlume").c_str(), 0500), 0);
  EXPECT_NE(errorOf(f.store.load()).find("cannot move it aside"), std::string::npos);
  EXPECT_EQ(f.store.recoveredCorruptFile(), std::nullopt);
  ::chmod((f.tree / "Harborlume").c_str(), 0700);
  EXPECT_EQ(test::readFile(f.file), "damaged");
}

TEST(HistoryStore, ConcurrentAppendsLoseNothing) {
  Folder f;
  std::set<UUID> written;
  std::vector<std::vector<HistoryEntry>> batches(4);
  for (auto& batch : batches) {
    for (int i = 0; i < 10; ++i) {
      batch.push_back(entry());
      written.insert(batch.back().id);
    }
  }
  std::vector<std::thread> threads;
  for (const auto& batch : batches) {
    threads.emplace_back([&f, &batch] {
      for (const HistoryEntry& e : batch) f.store.append({e});
    });
  }
  for (auto& thread : threads) thread.join();

  std::set<UUID> stored;
  for (const HistoryEntry& e : entriesOf(f.store.load())) stored.insert(e.id);
  EXPECT_EQ(stored, written);
}

// A disk that fills up must never cost the records already written.
TEST(HistoryStore, AFailedWriteKeepsTheOldFileByteForByte) {
  auto failingAppend = [](Folder& f, const std::function<void()>& breakWrites,
                          const std::string& reason) {
    ASSERT_EQ(entriesOf(f.store.append({entry("Xcode"), entry("Trash")})).size(), 2u);
    const std::string before = test::readFile(f.file);
    const std::set<std::string> names = test::namesIn(f.tree / "Harborlume");
    breakWrites();
    EXPECT_NE(errorOf(f.store.append({entry("Projects")})).find(reason), std::string::npos);
    EXPECT_EQ(test::readFile(f.file), before);
    // No half-written file is left beside it either.
    std::set<std::string> after = test::namesIn(f.tree / "Harborlume");
    after.erase(".filler");
    EXPECT_EQ(after, names);
  };

  {
    Folder f;
    std::optional<test::FileSizeLimit> limit;
    failingAppend(f, [&] { limit.emplace(64); }, "File too large");
  }
  if (const std::string reason = test::FullVolume::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << "no full volume: " << reason;
  }
  Folder f;
  test::FullVolume volume(f.tree.dir("Harborlume"));
  failingAppend(f, [&] { volume.fill(); }, "No space left on device");
  volume.makeRoom();
  EXPECT_EQ(entriesOf(f.store.append({entry("Projects")})).size(), 3u);
}
