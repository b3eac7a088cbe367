#include "services/removal/trash_service.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "services/removal/shown_items.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/scratch_mount.h"
#include "utilities/byte_formatting.h"

using namespace hl;
using hl::test::existsNoFollow;
using hl::test::FakeHome;
using hl::test::readFile;

namespace {

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// The original path a Trash record names, decoded as any Trash client decodes it.
std::string recordedPath(const std::string& record) {
  const std::size_t start = record.find("\nPath=");
  if (start == std::string::npos) return {};
  const std::size_t end = record.find('\n', start + 1);
  return percentDecoded(record.substr(start + 6, end - start - 6));
}

bool isLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

struct Fixture {
  FakeHome home;
  std::string trash = home / ".local/share/Trash";
  test::ManualWallClock clock{test::referenceDate()};
  TrashService service{home.path(), DestructiveGate::open(), trash, clock.clock()};

  TrashItem item(const std::string& relative, std::int64_t size, const std::string& root) {
    return TrashItem{home / relative, size, home / root, false, false};
  }
};

}  // namespace

TEST(TrashService, AClosedGateTouchesNothing) {
  FakeHome home;
  home.file("cache/a", 100);
  home.dir("cache/b/inner");
  TrashService service(home.path(), DestructiveGate::current(), home / ".local/share/Trash");
  int calls = 0;
  for (RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
    const TrashResult result = service.trash({TrashItem{home / "cache/a", 100, home / "cache"},
                                              TrashItem{home / "cache/b", 5, home / "cache"}},
                                             mode, [&](int, int) { ++calls; });
    EXPECT_TRUE(result.succeeded.empty());
    ASSERT_EQ(result.failed.size(), 2u);
    EXPECT_EQ(describe(result.failed[1].error),
              "Nothing is moved to the Trash or deleted: read-only while hosting tests.");
    EXPECT_EQ(result.bytesFreed, 0);
    EXPECT_EQ(result.mode, mode);
  }
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(existsNoFollow(home / "cache/a"));
  EXPECT_TRUE(existsNoFollow(home / "cache/b/inner"));
  EXPECT_FALSE(existsNoFollow(home / ".local/share/Trash"));
}

TEST(TrashService, AnEmptyListKeepsTheMode) {
  Fixture f;
  int calls = 0;
  const TrashResult result =
      f.service.trash({}, RemovalMode::deletePermanently, [&](int, int) { ++calls; });
  TrashResult expected;
  expected.mode = RemovalMode::deletePermanently;
  EXPECT_EQ(result, expected);
  EXPECT_EQ(calls, 0);
}

TEST(TrashService, MovesToTheTrashInOrderWithProgressAndRecords) {
  Fixture f;
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  f.home.file("cache/a.bin", 4096);
  f.home.text("cache/dir/inner.txt", "inner");
  f.home.text("project/keep.txt", "keep");
  f.home.symlink("cache/project-link", f.home / "project");
  std::vector<std::pair<int, int>> progress;
  const TrashResult result = f.service.trash(
      {f.item("cache/a.bin", 4096, "cache"), f.item("cache/dir", 1000, "cache"),
       f.item("cache/project-link", 0, "cache")},
      RemovalMode::trash, [&](int done, int total) { progress.emplace_back(done, total); });

  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
  EXPECT_EQ(result.succeeded,
            (std::vector<std::string>{f.home / "cache/a.bin", f.home / "cache/dir",
                                      f.home / "cache/project-link"}));
  EXPECT_TRUE(result.failed.empty());
  EXPECT_EQ(result.bytesFreed, 5096);
  EXPECT_EQ(result.sizes.at(f.home / "cache/project-link"), 0);
  EXPECT_EQ(result.summary(), "Cleaned 3 items (" + ByteFormatting::string(5096) + ").");

  // Gone from where they were, whole in the Trash, and the link's target untouched.
  EXPECT_EQ(namesIn(f.home / "cache"), std::vector<std::string>{});
  EXPECT_EQ(namesIn(f.trash + "/files"),
            (std::vector<std::string>{"a.bin", "dir", "project-link"}));
  EXPECT_EQ(readFile(f.trash + "/files/dir/inner.txt"), "inner");
  EXPECT_TRUE(isLink(f.trash + "/files/project-link"));
  EXPECT_EQ(readFile(f.home / "project/keep.txt"), "keep");

  EXPECT_EQ(
      readFile(f.trash + "/info/a.bin.trashinfo"),
      "[Trash Info]\nPath=" + f.home / "cache/a.bin" + "\nDeletionDate=2026-03-01T12:00:00\n");
  struct stat st {};
  ASSERT_EQ(::stat((f.trash + "/files").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(TrashService, DeletesPermanentlyWithoutFollowingLinks) {
  Fixture f;
  f.home.file("cache/a.bin", 2048);
  f.home.text("cache/dir/sub/inner.txt", "inner");
  f.home.text("project/keep.txt", "keep");
  f.home.symlink("cache/dir/sub/escape", f.home / "project");
  f.home.symlink("cache/project-link", f.home / "project");
  f.home.symlink("cache/dangling", f.home / "nowhere");
  const TrashResult result = f.service.trash(
      {f.item("cache/a.bin", 2048, "cache"), f.item("cache/dir", 10, "cache"),
       f.item("cache/project-link", 1, "cache"), f.item("cache/dangling", 0, "cache")},
      RemovalMode::deletePermanently);

  EXPECT_EQ(result.succeeded.size(), 4u);
  // A link goes, never what it points at: its size is not counted as freed.
  EXPECT_EQ(result.bytesFreed, 2058);
  EXPECT_EQ(result.sizes.at(f.home / "cache/project-link"), 0);
  EXPECT_EQ(result.summary(), "Deleted 4 items (" + ByteFormatting::string(2058) + ").");
  EXPECT_EQ(namesIn(f.home / "cache"), std::vector<std::string>{});
  EXPECT_EQ(namesIn(f.home / "project"), std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(readFile(f.home / "project/keep.txt"), "keep");
  EXPECT_FALSE(existsNoFollow(f.trash));
}

TEST(TrashService, RefusalsAreCountedAndTheRestGoes) {
  Fixture f;
  f.home.file("cache/ok", 1000);
  f.home.dir(".claude/projects/p");
  int calls = 0;
  const TrashResult result =
      f.service.trash({f.item(".claude/projects/p", 7, ".claude"),
                       f.item("cache/ok", 1000, "cache"), f.item("cache/gone", 9, "cache")},
                      RemovalMode::trash, [&](int done, int) { calls = done; });
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(result.succeeded, std::vector<std::string>{f.home / "cache/ok"});
  ASSERT_EQ(result.failed.size(), 2u);
  EXPECT_EQ(result.failed[0].error,
            RemovalError(TrashError::protectedPath(f.home / ".claude/projects/p")));
  EXPECT_EQ(result.failed[1].error, RemovalError(TrashError::missing(f.home / "cache/gone")));
  EXPECT_EQ(result.summary(), "Cleaned 1 item (" + ByteFormatting::string(1000) + "). 2 failed.");
  EXPECT_TRUE(existsNoFollow(f.home / ".claude/projects/p"));
}

TEST(TrashService, EachItemIsCheckedJustBeforeItGoes) {
  Fixture f;
  f.home.text("cache/outer/inner", "x");
  f.home.text("cache/second/inner", "y");
  TrashResult outerFirst =
      f.service.trash({f.item("cache/outer", 1, "cache"), f.item("cache/outer/inner", 1, "cache")},
                      RemovalMode::deletePermanently);
  EXPECT_EQ(outerFirst.succeeded, std::vector<std::string>{f.home / "cache/outer"});
  ASSERT_EQ(outerFirst.failed.size(), 1u);
  EXPECT_EQ(outerFirst.failed[0].error,
            RemovalError(TrashError::missing(f.home / "cache/outer/inner")));

  TrashResult innerFirst = f.service.trash(
      {f.item("cache/second/inner", 1, "cache"), f.item("cache/second", 1, "cache")},
      RemovalMode::trash);
  EXPECT_EQ(innerFirst.succeeded.size(), 2u);
  EXPECT_EQ(namesIn(f.home / "cache"), std::vector<std::string>{});
}

TEST(TrashService, DotDotAfterALinkRemovesExactlyWhatWasJudged) {
  for (RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
    Fixture f;
    f.home.text("cache/victim", "lexical");
    f.home.text("cache/sub/victim", "physical");
    f.home.symlink("cache/link", f.home / "cache/sub/deep");
    f.home.dir("cache/sub/deep");
    f.home.text("outside/victim", "outside");
    f.home.symlink("cache/out", f.home / "outside/deep");
    f.home.dir("outside/deep");

    const TrashResult result =
        f.service.trash({TrashItem{f.home / "cache/link/../victim", 1, f.home / "cache"},
                         TrashItem{f.home / "cache/out/../victim", 1, f.home / "cache"}},
                        mode);
    ASSERT_EQ(result.succeeded.size(), 1u);
    EXPECT_FALSE(existsNoFollow(f.home / "cache/sub/victim"));
    EXPECT_EQ(readFile(f.home / "cache/victim"), "lexical");
    ASSERT_EQ(result.failed.size(), 1u);
    EXPECT_EQ(result.failed[0].error,
              RemovalError(TrashError::outsideAllowedRoot(f.home / "cache/victim")));
    EXPECT_EQ(readFile(f.home / "outside/victim"), "outside");
    if (mode == RemovalMode::trash) {
      EXPECT_EQ(recordedPath(readFile(f.trash + "/info/victim.trashinfo")),
                f.home / "cache/sub/victim");
    }
  }
}

TEST(TrashService, NamesThatAreNotUtf8SurviveTheTrip) {
  Fixture f;
  const std::string odd = "bad\xff\xfe name%";
  f.home.text("cache/" + odd, "odd");
  // What a lossy conversion of the odd name would produce: it must stay.
  f.home.text("cache/bad\xef\xbf\xbd\xef\xbf\xbd name%", "lookalike");
  const TrashResult result =
      f.service.trash({f.item("cache/" + odd, 3, "cache")}, RemovalMode::trash);
  ASSERT_EQ(result.succeeded.size(), 1u);
  EXPECT_EQ(readFile(f.trash + "/files/" + odd), "odd");
  const std::string record = readFile(f.trash + "/info/" + odd + ".trashinfo");
  EXPECT_NE(record.find("Path=" + f.home / "cache/bad%FF%FE%20name%25\n"), std::string::npos);
  EXPECT_EQ(recordedPath(record), f.home / "cache" + "/" + odd);
  EXPECT_EQ(namesIn(f.home / "cache"),
            std::vector<std::string>{"bad\xef\xbf\xbd\xef\xbf\xbd name%"});

  f.home.text("cache/" + odd, "again");
  EXPECT_EQ(f.service.trash({f.item("cache/" + odd, 3, "cache")}, RemovalMode::deletePermanently)
                .succeeded.size(),
            1u);
  EXPECT_EQ(namesIn(f.home / "cache").size(), 1u);
}

TEST(TrashService, ALongNameIsShortenedAtACharacterBoundaryAndNeverToNothing) {
  std::string accents;
  for (int i = 0; i < 125; ++i) accents += "\xc3\xa9";
  // The second name: every byte could continue a UTF-8 sequence, so there is no boundary.
  const std::pair<std::string, std::string> cases[] = {
      {accents, accents.substr(0, 244)},
      {std::string(250, '\x80'), std::string(242, '\x80')},
  };
  for (const auto& [name, shortened] : cases) {
    Fixture f;
    f.home.text("cache/" + name, "long");
    const TrashResult result =
        f.service.trash({f.item("cache/" + name, 4, "cache")}, RemovalMode::trash);
    ASSERT_EQ(result.succeeded.size(), 1u) << describe(result.failed.at(0).error);
    EXPECT_FALSE(existsNoFollow(f.home / ("cache/" + name)));
    EXPECT_EQ(namesIn(f.trash + "/files"), std::vector<std::string>{shortened});
    EXPECT_EQ(readFile(f.trash + "/files/" + shortened), "long");
    EXPECT_EQ(recordedPath(readFile(f.trash + "/info/" + shortened + ".trashinfo")),
              f.home / ("cache/" + name));
  }
}

TEST(TrashService, SameNamesGetFreeNamesInTheTrash) {
  Fixture f;
  f.home.text("a/cache/node_modules/x", "first");
  f.home.text("b/cache/node_modules/x", "second");
  const TrashResult result = f.service.trash(
      {f.item("a/cache/node_modules", 1, "a"), f.item("b/cache/node_modules", 1, "b")},
      RemovalMode::trash);
  ASSERT_EQ(result.succeeded.size(), 2u);
  EXPECT_EQ(readFile(f.trash + "/files/node_modules/x"), "first");
  EXPECT_EQ(readFile(f.trash + "/files/node_modules.2/x"), "second");
  EXPECT_EQ(recordedPath(readFile(f.trash + "/info/node_modules.2.trashinfo")),
            f.home / "b/cache/node_modules");
}

TEST(TrashService, WhatIsAlreadyInTheTrashIsNeverReplaced) {
  Fixture f;
  f.home.text("cache/item", "new");
  // A file without its record, and a record without its file, as a crash can leave them.
  f.home.text(".local/share/Trash/files/item", "old file");
  f.home.text(".local/share/Trash/info/item.2.trashinfo", "old record");
  const TrashResult result =
      f.service.trash({f.item("cache/item", 3, "cache")}, RemovalMode::trash);
  ASSERT_EQ(result.succeeded.size(), 1u);
  EXPECT_EQ(readFile(f.trash + "/files/item"), "old file");
  EXPECT_EQ(readFile(f.trash + "/info/item.2.trashinfo"), "old record");
  EXPECT_EQ(readFile(f.trash + "/files/item.3"), "new");
  EXPECT_EQ(recordedPath(readFile(f.trash + "/info/item.3.trashinfo")), f.home / "cache/item");
  EXPECT_EQ(namesIn(f.trash + "/files"), (std::vector<std::string>{"item", "item.3"}));
  EXPECT_EQ(namesIn(f.trash + "/info"),
            (std::vector<std::string>{"item.2.trashinfo", "item.3.trashinfo"}));
}

TEST(TrashService, AMissingDataFolderIsCreatedNotBypassed) {
  FakeHome home;
  home.text("cache/item", "x");
  const std::string trash = home / "data/nested/Trash";
  TrashService service(home.path(), DestructiveGate::open(), trash);
  const TrashResult result =
      service.trash({TrashItem{home / "cache/item", 1, home / "cache"}}, RemovalMode::trash);
  ASSERT_EQ(result.succeeded.size(), 1u);
  EXPECT_EQ(readFile(trash + "/files/item"), "x");
  EXPECT_TRUE(existsNoFollow(trash + "/info/item.trashinfo"));
  struct stat st {};
  ASSERT_EQ(::stat((home / "data").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(namesIn(home / "cache"), std::vector<std::string>{});
}

TEST(TrashService, AnUnusableTrashFailsAndKeepsTheItem) {
  FakeHome home;
  home.text("cache/item", "x");
  home.text("not-a-folder", "");
  TrashService service(home.path(), DestructiveGate::open(), home / "not-a-folder/Trash");
  const TrashResult result =
      service.trash({TrashItem{home / "cache/item", 1, home / "cache"}}, RemovalMode::trash);
  EXPECT_TRUE(result.succeeded.empty());
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_NE(describe(result.failed[0].error)
                .find("Could not move " + home / "cache/item" + " to the Trash"),
            std::string::npos);
  EXPECT_EQ(readFile(home / "cache/item"), "x");
}

TEST(TrashService, AnItemInTheTrashOfferedAgainStaysThere) {
  Fixture f;
  f.home.text("cache/item", "x");
  ASSERT_EQ(
      f.service.trash({f.item("cache/item", 1, "cache")}, RemovalMode::trash).succeeded.size(), 1u);
  const std::string trashed = f.trash + "/files/item";
  for (RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
    const TrashResult again = f.service.trash({TrashItem{trashed, 1, f.trash}}, mode);
    ASSERT_EQ(again.failed.size(), 1u);
    EXPECT_EQ(again.failed[0].error, RemovalError(TrashError::alreadyInTrash(trashed)));
  }
  EXPECT_EQ(readFile(trashed), "x");
  EXPECT_EQ(namesIn(f.trash + "/info"), std::vector<std::string>{"item.trashinfo"});
}

namespace {

// What stands at "cache/pip" after the user was shown it, put there in the meantime.
enum class Change { none, replaced, link };

void change(FakeHome& home, Change kind) {
  if (kind == Change::none) return;
  // A package manager rebuilds its cache by renaming the old one away.
  ASSERT_EQ(::rename((home / "cache/pip").c_str(), (home / "cache/pip.old").c_str()), 0);
  if (kind == Change::replaced) home.text("cache/pip/new", "new");
  if (kind == Change::link) home.symlink("cache/pip", home / "elsewhere");
}

}  // namespace

TEST(TrashService, OnlyWhatTheUserWasShownIsRemovedAndCounted) {
  struct Case {
    Change change;
    bool beforeShown;  // the change came after the scan measured the item, before the plan
    bool removed;
    std::int64_t freed;
  };
  for (const Case& c :
       {Case{Change::none, false, true, 5000}, Case{Change::replaced, false, false, 0},
        Case{Change::link, false, false, 0}, Case{Change::link, true, true, 0}}) {
    for (RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
      SCOPED_TRACE(static_cast<int>(c.change) * 100 + c.beforeShown * 10 +
                   static_cast<int>(isPermanent(mode)));
      Fixture f;
      f.home.text("cache/pip/wheel", "old");
      f.home.text("elsewhere/precious", "precious");
      if (c.beforeShown) change(f.home, c.change);
      const ShownItems shown = ShownItems::record({f.home / "cache/pip"});
      if (!c.beforeShown) change(f.home, c.change);
      TrashItem item = f.item("cache/pip", 5000, "cache");
      item.shown = shown.at(item.url);

      const TrashResult result = f.service.trash({item}, mode);
      EXPECT_EQ(result.succeeded.size(), c.removed ? 1u : 0u);
      // A link shown in the item's place goes, but frees nothing of what was measured.
      EXPECT_EQ(result.bytesFreed, c.freed);
      EXPECT_EQ(existsNoFollow(f.home / "cache/pip"), !c.removed);
      EXPECT_EQ(readFile(f.home / "elsewhere/precious"), "precious");
      if (c.change != Change::none) {
        EXPECT_EQ(readFile(f.home / "cache/pip.old/wheel"), "old");
      }
      if (c.removed) continue;
      ASSERT_EQ(result.failed.size(), 1u);
      EXPECT_EQ(describe(result.failed[0].error), "Skipped: it changed since it was shown");
      EXPECT_EQ(readFile(f.home / "cache/pip.old/wheel"), "old");
    }
  }
}

// Deleted and made again between the plan and the removal, an item often gets its old inode
// number back: only its type and its birth tell the new object from the one the user was shown.
TEST(TrashService, AnItemMadeAgainUnderItsOldNumberIsNotTheOneShown) {
  struct Case {
    std::string name;
    bool shownIsFolder;
    bool madeAgainAsFolder;
  };
  int reused = 0;
  for (const Case& c : {Case{"a folder made again", true, true},
                        Case{"a file made again as a folder", false, true},
                        Case{"a file made again", false, false}}) {
    for (RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
      SCOPED_TRACE(c.name + (isPermanent(mode) ? ", deleted" : ", to the Trash"));
      Fixture f;
      const std::string path = f.home / "cache/item";
      c.shownIsFolder ? (void)f.home.text("cache/item/old", "old") : (void)f.home.text("cache/item", "old");
      const ShownItems shown = ShownItems::record({path});
      reused += test::remakeInPlace(path, [&] {
        c.madeAgainAsFolder ? (void)f.home.text("cache/item/new", "new")
                            : (void)f.home.text("cache/item", "new");
      });
      TrashItem item = f.item("cache/item", 5000, "cache");
      item.shown = shown.at(item.url);

      const TrashResult result = f.service.trash({item}, mode);
      EXPECT_TRUE(result.succeeded.empty());
      EXPECT_EQ(result.bytesFreed, 0);
      ASSERT_EQ(result.failed.size(), 1u);
      EXPECT_EQ(describe(result.failed[0].error), "Skipped: it changed since it was shown");
      EXPECT_EQ(readFile(c.madeAgainAsFolder ? path + "/new" : path), "new");
      EXPECT_FALSE(existsNoFollow(f.trash + "/files"));
    }
  }
  RecordProperty("madeAgainUnderTheOldNumber", reused);
}

// A mount put over a folder on the way leads the same path elsewhere: to other objects, or to
// the same ones through another mount.
TEST(TrashService, AMountOverTheItemsFolderIsNeverRemovedThrough) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  for (const bool sameFolder : {false, true}) {
    for (RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
      Fixture f;
      f.home.text("cache/foo/data", "cached");
      f.home.text("outside/foo/data", "outside");
      const ShownItems shown = ShownItems::record({f.home / "cache/foo"});
      auto mounted = test::ScratchMount::bind(f.home / (sameFolder ? "cache" : "outside"),
                                              f.home / "cache");
      TrashItem item = f.item("cache/foo", 10, "cache");
      item.shown = shown.at(item.url);

      const TrashResult result = f.service.trash({item}, mode);
      EXPECT_TRUE(result.succeeded.empty());
      EXPECT_EQ(result.bytesFreed, 0);
      ASSERT_EQ(result.failed.size(), 1u);
      EXPECT_EQ(result.failed[0].error, RemovalError(StateChanged::changedSinceShown()));
      EXPECT_EQ(readFile(f.home / "cache/foo/data"), sameFolder ? "cached" : "outside");
    }
  }
}
