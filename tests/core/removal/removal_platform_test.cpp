#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/freedesktop_trash.h"
#include "platform/mount_root.h"
#include "platform/permanent_remover.h"
#include "platform/temporary_folder.h"
#include "platform/trash_record_notes.h"
#include "services/removal/trash_guard.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/scratch_mount.h"
#include "support/ordinary_user.h"

using namespace hl;
using hl::test::existsNoFollow;
using hl::test::FakeHome;
using hl::test::readFile;

namespace {

std::size_t entriesIn(const std::string& folder) {
  std::size_t count = 0;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") ++count;
    }
    ::closedir(dir);
  }
  return count;
}

// What the guard approved for `path` inside `root`, as the service would act on it.
RemovalTarget approved(const FakeHome& home, const std::string& path, const std::string& root) {
  const TrashGuard guard{home.path()};
  auto verdict = guard.judge(path, root, false, std::nullopt, false);
  if (auto* refusal = std::get_if<TrashError>(&verdict)) {
    ADD_FAILURE() << refusal->description();
    return {};
  }
  const auto& approval = std::get<TrashGuard::Approval>(verdict);
  return RemovalTarget{approval.path, approval.identifier, path};
}

bool isChangedRefusal(const std::optional<RemovalError>& error) {
  if (!error) return false;
  const auto* failure = std::get_if<FileSystemError>(&*error);
  return failure != nullptr && failure->errorNumber == ESTALE &&
         failure->message.find("changed after it was checked") != std::string::npos;
}

const Date kDate = test::referenceDate();

}  // namespace

TEST(RemovalTarget, AnItemSwappedForALinkAfterTheCheckIsLeftAlone) {
  FakeHome home;
  home.text("cache/item/data", "item");
  home.text("victim/precious", "precious");
  const RemovalTarget target = approved(home, home / "cache/item", home / "cache");
  ASSERT_EQ(::rename((home / "cache/item").c_str(), (home / "cache/moved").c_str()), 0);
  home.symlink("cache/item", home / "victim");

  EXPECT_TRUE(isChangedRefusal(PermanentRemover::remove(target)));
  EXPECT_TRUE(isChangedRefusal(FreedesktopTrash::moveToTrash(target, home / "Trash", kDate)));
  EXPECT_EQ(readFile(home / "victim/precious"), "precious");
  EXPECT_EQ(readFile(home / "cache/item/precious"), "precious");
  EXPECT_EQ(readFile(home / "cache/moved/data"), "item");
  EXPECT_EQ(entriesIn(home / "Trash/files"), 0u);
  EXPECT_EQ(entriesIn(home / "Trash/info"), 0u);
}

TEST(RemovalTarget, AFolderOnTheWaySwappedForALinkIsNeverFollowed) {
  FakeHome home;
  home.text("cache/a/item", "item");
  const RemovalTarget target = approved(home, home / "cache/a/item", home / "cache");
  // The same object stays reachable by the same path text, but only through a link now.
  ASSERT_EQ(::rename((home / "cache/a").c_str(), (home / "cache/real").c_str()), 0);
  home.symlink("cache/a", home / "cache/real");

  EXPECT_TRUE(isChangedRefusal(PermanentRemover::remove(target)));
  EXPECT_TRUE(isChangedRefusal(FreedesktopTrash::moveToTrash(target, home / "Trash", kDate)));
  EXPECT_EQ(readFile(home / "cache/real/item"), "item");
}

TEST(RemovalTarget, AnotherFileUnderTheSameNameIsLeftAlone) {
  FakeHome home;
  home.text("cache/item", "old");
  const RemovalTarget target = approved(home, home / "cache/item", home / "cache");
  // Moved aside rather than deleted, so that the new file cannot reuse its inode.
  ASSERT_EQ(::rename((home / "cache/item").c_str(), (home / "cache/old").c_str()), 0);
  home.text("cache/item", "new");
  EXPECT_TRUE(isChangedRefusal(PermanentRemover::remove(target)));
  EXPECT_EQ(readFile(home / "cache/item"), "new");

  ASSERT_EQ(::unlink((home / "cache/item").c_str()), 0);
  EXPECT_EQ(PermanentRemover::remove(target),
            std::optional<RemovalError>(TrashError::missing(home / "cache/item")));
  EXPECT_EQ(readFile(home / "cache/old"), "old");
}

TEST(PermanentRemover, NeverEntersAnotherMount) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.text("cache/build/obj.o", "obj");
  home.dir("cache/build/mounted");
  const RemovalTarget target = approved(home, home / "cache/build", home / "cache");
  auto mount = test::ScratchMount::tmpfs(home / "cache/build/mounted");
  home.text("cache/build/mounted/on-the-other-volume", "keep");

  const auto error = PermanentRemover::remove(target);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(describe(*error), "Could not delete all of " + home / "cache/build" + ": " +
                                  home / "cache/build/mounted" +
                                  ": another volume is mounted there.");
  EXPECT_EQ(readFile(home / "cache/build/mounted/on-the-other-volume"), "keep");
  EXPECT_FALSE(existsNoFollow(home / "cache/build/obj.o"));
}

// Emptying the Trash would delete what is mounted inside a trashed folder, data that never
// belonged to the item; the name with a blank checks the mount table's escapes.
TEST(FreedesktopTrash, AFolderHoldingAMountIsRefusedWhole) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.text("outside/keep", "keep");
  home.text("cache/build/obj.o", "obj");
  home.dir("cache/build/deep/a mount");
  auto bound = test::ScratchMount::bind(home / "outside", home / "cache/build/deep/a mount");

  for (const std::string item : {"cache/build", "cache/build/deep"}) {
    const RemovalTarget target = approved(home, home / item, home / "cache");
    const auto error = FreedesktopTrash::moveToTrash(target, home / "Trash", kDate);
    ASSERT_TRUE(error.has_value()) << item;
    EXPECT_EQ(describe(*error), "Could not move " + home / item + " to the Trash: " +
                                    home / "cache/build/deep/a mount" +
                                    ": another volume is mounted there.");
  }
  EXPECT_EQ(readFile(home / "cache/build/obj.o"), "obj");
  EXPECT_EQ(readFile(home / "cache/build/deep/a mount/keep"), "keep");
  EXPECT_EQ(entriesIn(home / "Trash/files"), 0u);
  EXPECT_EQ(entriesIn(home / "Trash/info"), 0u);

  // A sibling folder beside the mount, and a file, still go.
  home.text("cache/build/deep/free/x", "x");
  const RemovalTarget sibling = approved(home, home / "cache/build/deep/free", home / "cache");
  EXPECT_EQ(FreedesktopTrash::moveToTrash(sibling, home / "Trash", kDate), std::nullopt);
}

// Reached through a bind mount of a folder above it, a folder's inner mount is named in the
// table under the other path only: it is refused all the same.
TEST(FreedesktopTrash, AMountInsideIsFoundThroughAnotherPathToo) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.text("outside/keep", "keep");
  home.dir("source/d/inner");
  home.text("source/e/x", "x");
  home.dir("alias");
  auto alias = test::ScratchMount::bind(home / "source", home / "alias");
  auto inner = test::ScratchMount::bind(home / "outside", home / "source/d/inner");
  ASSERT_FALSE(std::filesystem::exists(home / "alias/d/inner/keep"));

  const RemovalTarget target = approved(home, home / "alias/d", home / "alias");
  const auto error = FreedesktopTrash::moveToTrash(target, home / "Trash", kDate);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(describe(*error), "Could not move " + home / "alias/d" + " to the Trash: " +
                                  home / "alias/d/inner" + ": another volume is mounted there.");
  EXPECT_EQ(readFile(home / "source/d/inner/keep"), "keep");
  // A folder beside it still goes.
  const RemovalTarget beside = approved(home, home / "alias/e", home / "alias");
  EXPECT_EQ(FreedesktopTrash::moveToTrash(beside, home / "Trash", kDate), std::nullopt);
}

TEST(PermanentRemover, ReportsWhatItCouldNotDelete) {
  HL_AS_ORDINARY_USER();
  FakeHome home;
  home.text("cache/build/locked/file", "x");
  home.text("cache/build/free", "y");
  ASSERT_EQ(::chmod((home / "cache/build/locked").c_str(), 0500), 0);
  const RemovalTarget target = approved(home, home / "cache/build", home / "cache");
  const auto error = PermanentRemover::remove(target);
  ::chmod((home / "cache/build/locked").c_str(), 0700);
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(describe(*error).find(home / "cache/build/locked/file"), std::string::npos);
  EXPECT_TRUE(existsNoFollow(home / "cache/build/locked/file"));
  EXPECT_FALSE(existsNoFollow(home / "cache/build/free"));
}

TEST(FreedesktopTrash, RecordsAreEncodedAndDatedInLocalTime) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(FreedesktopTrash::trashInfo("/home/u/a b/\xc3\xa9%.txt", kDate),
            "[Trash Info]\nPath=/home/u/a%20b/%C3%A9%25.txt\nDeletionDate=2026-03-01T12:00:00\n");
  EXPECT_EQ(FreedesktopTrash::percentEncoded("A-z_0.9~/"), "A-z_0.9~/");
}

TEST(FreedesktopTrash, AVolumeTrashIsTheUsersOwnAndRecordsRelativePaths) {
  FakeHome top("top");
  top.text("project/build/out", "out");
  const std::string uid = std::to_string(::getuid());
  FakeHome home;
  const RemovalTarget target{top / "project/build",
                             *FileIdentity::identifier(top / "project/build"),
                             top / "project/build"};
  ASSERT_EQ(FreedesktopTrash::moveToVolumeTrash(target, top.path(), kDate), std::nullopt);
  const std::string bin = top / (".Trash-" + uid);
  EXPECT_EQ(readFile(bin + "/files/build/out"), "out");
  const std::string record = readFile(bin + "/info/build.trashinfo");
  EXPECT_NE(record.find("\nPath=project/build\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(bin.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The record goes where the item goes, noted before it is made and once it is.
TEST(FreedesktopTrash, ASharedTrashIsUsedOnlyWhenSticky) {
  const std::string uid = std::to_string(::getuid());
  for (const mode_t mode : {01777, 0777}) {
    SCOPED_TRACE(mode);
    FakeHome top("top");
    top.text("item", "x");
    top.dir(".Trash");
    ASSERT_EQ(::chmod((top / ".Trash").c_str(), mode), 0);
    const RemovalTarget target{top / "item", *FileIdentity::identifier(top / "item"), top / "item"};
    std::vector<FreedesktopTrash::Reservation> notes;
    ASSERT_EQ(FreedesktopTrash::moveToVolumeTrash(
                  target, top.path(), kDate,
                  [&](const FreedesktopTrash::Reservation& note) { notes.push_back(note); }),
              std::nullopt);
    const std::string bin = (mode & 01000) ? top / (".Trash/" + uid) : top / (".Trash-" + uid);
    EXPECT_EQ(readFile(bin + "/files/item"), "x");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].stage, FreedesktopTrash::Reservation::Stage::aboutToMake);
    EXPECT_EQ(notes[1].stage, FreedesktopTrash::Reservation::Stage::made);
    for (const auto& note : notes) {
      EXPECT_EQ(note.trash, bin);
      EXPECT_EQ(note.name, "item");
      EXPECT_EQ(note.original, top / "item");
    }
    EXPECT_EQ(notes[1].record, FileIdentity::identifier(bin + "/info/item.trashinfo"));
  }
}

// A note names a record to withdraw only when it is that very record, made for a move that never
// happened; any other file, and a record of a real move, stays.
TEST(FreedesktopTrash, ANoteWithdrawsOnlyTheRecordOfAMoveThatNeverHappened) {
  using Kind = FreedesktopTrash::NoteOutcome::Kind;
  using Stage = FreedesktopTrash::Reservation::Stage;
  struct Row {
    std::string name;
    // Changes what the move left (the item in the Trash, its notes) before the next start.
    std::function<void(FakeHome&, FreedesktopTrash::Reservation&)> change;
    Kind expected;
    // Whether the removal that took the notes is taken to have ended before the record was made.
    bool endedBefore = false;
    // Only root can hand a file to another user.
    bool asRoot = false;
  };
  auto putBack = [](FakeHome& home, FreedesktopTrash::Reservation&) {
    ASSERT_EQ(::rename((home / "Trash/files/item").c_str(), (home / "item").c_str()), 0);
  };
  auto remakeEmpty = [](FakeHome& home) {
    ::unlink((home / "Trash/info/item.trashinfo").c_str());
    std::ofstream{home / "Trash/info/item.trashinfo"};
  };
  const std::vector<Row> rows = {
      {"the item never moved", putBack, Kind::withdrawn},
      {"the item is in the Trash", [](FakeHome&, auto&) {}, Kind::leftAlone},
      {"the item went from both places",
       [](FakeHome& home, auto&) {
         ASSERT_EQ(::rename((home / "Trash/files/item").c_str(), (home / "aside").c_str()), 0);
       },
       Kind::leftAlone},
      {"another record of the same number, born later",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         ASSERT_TRUE(note.origin && note.origin->birth);
         *note.origin->birth -= 1;
       },
       Kind::leftAlone},
      {"noted only before it was made, and made after",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         remakeEmpty(home);
         note.stage = Stage::aboutToMake;
         note.record.reset();
       },
       Kind::withdrawn},
      {"noted only before it was made, and made once the removal had ended",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         remakeEmpty(home);
         note.stage = Stage::aboutToMake;
       },
       Kind::leftAlone, true},
      {"noted only before it was made, and made before",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         remakeEmpty(home);
         note.stage = Stage::aboutToMake;
         note.noted += 5'000'000'000;
       },
       Kind::leftAlone},
      {"its Trash folder is not there now",
       [](FakeHome& home, auto&) {
         ASSERT_EQ(::rename((home / "Trash").c_str(), (home / "Trash.away").c_str()), 0);
       },
       Kind::unreachable},
      {"a Trash folder made anew at its place",
       [](FakeHome& home, auto&) {
         ASSERT_EQ(::rename((home / "Trash").c_str(), (home / "Trash.away").c_str()), 0);
         home.dir("Trash/info");
         std::ofstream{home / "Trash/info/item.trashinfo"};
       },
       Kind::leftAlone},
      {"a name that is not one file name",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         note.name = "../info/item";
       },
       Kind::untrusted},
      {"a folder that is no Trash of this program",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         ASSERT_EQ(::rename((home / "Trash").c_str(), (home / ".Trash-1").c_str()), 0);
         note.trash = home / ".Trash-1";
       },
       Kind::untrusted},
      {"a record of another user's, as root's Trash may hold",
       [&](FakeHome& home, FreedesktopTrash::Reservation& note) {
         putBack(home, note);
         ASSERT_EQ(::chown((home / "Trash/info/item.trashinfo").c_str(), 65534, 65534), 0);
       },
       Kind::leftAlone, false, true},
  };
  for (const Row& row : rows) {
    if (row.asRoot && ::geteuid() != 0) continue;
    SCOPED_TRACE(row.name);
    FakeHome home;
    home.text("item", "x");
    const RemovalTarget target{home / "item", *FileIdentity::identifier(home / "item"),
                               home / "item"};
    FreedesktopTrash::Reservation made;
    ASSERT_EQ(FreedesktopTrash::moveToTrash(
                  target, home / "Trash", kDate,
                  [&](const FreedesktopTrash::Reservation& note) { made = note; }),
              std::nullopt);
    row.change(home, made);
    const bool recordWasThere = existsNoFollow(home / "Trash/info/item.trashinfo");
    const std::int64_t ended =
        row.endedBefore ? made.noted - 1 : FreedesktopTrash::fileClockCeiling();
    EXPECT_EQ(FreedesktopTrash::withdrawUnmoved(made, home / "Trash", ended).kind, row.expected);
    EXPECT_EQ(existsNoFollow(home / "Trash/info/item.trashinfo"),
              recordWasThere && row.expected != Kind::withdrawn);
  }
}

TEST(FreedesktopTrash, APreparedTrashFolderIsRefused) {
  const std::string uid = std::to_string(::getuid());
  FakeHome top("top");
  FakeHome elsewhere("elsewhere");
  top.text("item", "x");
  top.symlink(".Trash-" + uid, elsewhere.path());
  const RemovalTarget target{top / "item", *FileIdentity::identifier(top / "item"), top / "item"};
  const auto error = FreedesktopTrash::moveToVolumeTrash(target, top.path(), kDate);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(describe(*error), "Could not move " + top / "item" +
                                  " to the Trash: no Trash folder can be used on its volume (" +
                                  top.path() + ").");
  EXPECT_EQ(readFile(top / "item"), "x");
  EXPECT_EQ(entriesIn(elsewhere.path()), 0u);

  if (::geteuid() != 0) return;  // only root can hand a folder to someone else
  FakeHome other("other");
  other.text("item", "y");
  other.dir(".Trash-" + uid);
  ASSERT_EQ(::chown((other / (".Trash-" + uid)).c_str(), 65534, 65534), 0);
  const RemovalTarget otherTarget{other / "item", *FileIdentity::identifier(other / "item"),
                                  other / "item"};
  EXPECT_TRUE(FreedesktopTrash::moveToVolumeTrash(otherTarget, other.path(), kDate).has_value());
  EXPECT_EQ(readFile(other / "item"), "y");
}

TEST(FreedesktopTrash, AnItemOnAnotherVolumeGoesToThatVolumesTrash) {
  if (auto reason = test::ScratchMount::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << reason;
  }
  FakeHome home;
  home.dir("volume");
  home.text("source/inner/item", "bound");
  home.dir("bound");
  auto volume = test::ScratchMount::tmpfs(home / "volume");
  auto bound = test::ScratchMount::bind(home / "source", home / "bound");
  home.text("volume/cache/item", "on tmpfs");
  const std::string uid = std::to_string(::getuid());

  const auto target = approved(home, home / "volume/cache/item", home / "volume/cache");
  ASSERT_EQ(FreedesktopTrash::moveToTrash(target, home / "Trash", kDate), std::nullopt);
  EXPECT_EQ(readFile(home / ("volume/.Trash-" + uid + "/files/item")), "on tmpfs");
  EXPECT_NE(readFile(home / ("volume/.Trash-" + uid + "/info/item.trashinfo"))
                .find("\nPath=cache/item\n"),
            std::string::npos);
  EXPECT_EQ(entriesIn(home / "Trash/files"), 0u);

  // Same device, another mount: a rename cannot cross it either.
  const auto boundTarget = approved(home, home / "bound/inner/item", home / "bound/inner");
  ASSERT_EQ(FreedesktopTrash::moveToTrash(boundTarget, home / "Trash", kDate), std::nullopt);
  EXPECT_EQ(readFile(home / ("bound/.Trash-" + uid + "/files/item")), "bound");
  EXPECT_EQ(MountRoot::volumeTop(home / "bound/inner"), home / "bound");
}

TEST(TemporaryFolder, OnlyAPrivateFolderOfTheUserCounts) {
  const std::string saved = std::getenv("TMPDIR");
  FakeHome scratch("tmpdirs");
  const std::string own = scratch.dir("own");
  const std::string shared = scratch.dir("shared");
  ASSERT_EQ(::chmod(own.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);

  ::setenv("TMPDIR", (own + "/").c_str(), 1);
  EXPECT_EQ(privateTemporaryFolder(), own);
  ::setenv("TMPDIR", shared.c_str(), 1);
  EXPECT_EQ(privateTemporaryFolder(), std::nullopt);
  ::setenv("TMPDIR", "/tmp", 1);
  EXPECT_EQ(privateTemporaryFolder(), std::nullopt);
  ::setenv("TMPDIR", (scratch / "missing").c_str(), 1);
  EXPECT_EQ(privateTemporaryFolder(), std::nullopt);
  ::setenv("TMPDIR", "relative/tmp", 1);
  EXPECT_EQ(privateTemporaryFolder(), std::nullopt);
  ::unsetenv("TMPDIR");
  EXPECT_EQ(privateTemporaryFolder(), std::nullopt);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(own.c_str(), 65534, 65534), 0);
    ::setenv("TMPDIR", own.c_str(), 1);
    EXPECT_EQ(privateTemporaryFolder(), std::nullopt);
  }
  ::setenv("TMPDIR", saved.c_str(), 1);
}
