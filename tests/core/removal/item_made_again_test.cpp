// A folder or file deleted and made again between the moment the user is shown it and the
// removal usually gets its old inode number back. What tells it apart depends on the file
// system: the birth time, else the inode generation, else only the change time.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "services/removal/shown_items.h"
#include "services/removal/trash_service.h"
#include "support/fake_home.h"
#include "support/manual_clock.h"
#include "support/no_birth_time_volume.h"

using namespace hl;
using hl::test::existsNoFollow;
using hl::test::FakeHome;
using hl::test::readFile;

// At the confirmation, where only the change time was recorded, any other change time is
// another object.
TEST(ShownItems, WhereNeitherBirthTimeNorGenerationIsKeptTheChangeTimeTells) {
  constexpr std::int64_t second = 1'000'000'000;
  constexpr std::int64_t shownAt = 1'700'000'000 * second;
  struct Case {
    std::string name;
    ObjectOrigin now;
    bool changed;
  };
  const ObjectOrigin shown{.type = S_IFDIR, .change = shownAt};
  for (const Case& c : {
           Case{"the same change time", shown, false},
           Case{"a later change time", ObjectOrigin{.type = S_IFDIR, .change = shownAt + second},
                true},
           Case{"another nanosecond", ObjectOrigin{.type = S_IFDIR, .change = shownAt + 1}, true},
           Case{"a generation where there was none", ObjectOrigin{.type = S_IFDIR, .generation = 7},
                true},
       }) {
    SCOPED_TRACE(c.name);
    const std::string path = "/home/u/.cache/pip";
    ShownItems before;
    before.byPath[path] = SeenIdentity{FileIdentifier{1, 42}, 3, shown};
    ShownItems now;
    now.byPath[path] = SeenIdentity{FileIdentifier{1, 42}, 3, c.now};
    EXPECT_EQ(before.changedIn(now, {path}), c.changed);
  }
}

// After the removal itself renamed or emptied an item, its change time is its own doing: only
// that is set aside, never what tells another object.
TEST(FileIdentity, AfterItsOwnChangeOnlyTheChangeTimeIsSetAside) {
  const ObjectOrigin shown{.type = S_IFDIR, .change = 100};
  struct Case {
    std::string name;
    ObjectOrigin now;
    bool same;
  };
  for (const Case& c : {
           Case{"a later change time", ObjectOrigin{.type = S_IFDIR, .change = 200}, true},
           Case{"another type", ObjectOrigin{.type = S_IFREG, .change = 100}, false},
           Case{"a birth time", ObjectOrigin{.type = S_IFDIR, .birth = 100}, false},
           Case{"a generation", ObjectOrigin{.type = S_IFDIR, .generation = 1, .change = 100},
                false},
       }) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FileIdentity::isSameOriginApartFromChange(shown, c.now), c.same);
  }
}

// The same items on three kinds of file system: the test's own disk, an ext4 without room for a
// birth time (it keeps the inode generation) and an overlay over it (which offers neither). Each
// is shown, changed or not, and removed in both modes. An item nobody touched is removed on every
// kind, also where the removal itself renames it into the Trash or empties it first; one made
// again never is. A folder something was added to is the same folder; only where the change time
// is all there is to go by is it skipped as well, the safe side.
TEST(TrashService, AnItemMadeAgainIsToldApartOnEveryKindOfFileSystem) {
  const std::string mountReason = test::NoBirthTimeVolume::unavailableReason();
  if (!mountReason.empty()) GTEST_SKIP() << mountReason;
  enum class Change { none, madeAgain, added };
  struct Case {
    std::string name;
    bool folder;
    Change change;
  };
  const std::string kinds[] = {"disk", "plain", "overlaid"};
  for (const Case& c : {Case{"an untouched folder", true, Change::none},
                        Case{"an untouched file", false, Change::none},
                        Case{"a folder made again", true, Change::madeAgain},
                        Case{"a file made again", false, Change::madeAgain},
                        Case{"a folder something was added to", true, Change::added}}) {
    for (const RemovalMode mode : {RemovalMode::trash, RemovalMode::deletePermanently}) {
      SCOPED_TRACE(c.name + (isPermanent(mode) ? ", deleted" : ", to the Trash"));
      FakeHome contents("contents");
      c.folder ? (void)contents.text("cache/item/old", "old")
               : (void)contents.text("cache/item", "old");
      FakeHome home;
      std::filesystem::copy(contents.path(), home / "disk",
                            std::filesystem::copy_options::recursive);
      const test::NoBirthTimeVolume volume(contents.path(), home.dir("plain"),
                                           home.dir("overlaid"));
      test::ManualWallClock clock{test::referenceDate()};
      TrashService service{home.path(), DestructiveGate::open(), home / ".local/share/Trash",
                           clock.clock()};

      std::vector<TrashItem> items;
      for (const std::string& kind : kinds) {
        const std::string path = home / (kind + "/cache/item");
        const std::optional<SeenIdentity> shown = ShownItems::record({path}).at(path);
        // What each kind tells an object by.
        EXPECT_EQ(shown->origin.birth.has_value(), kind == "disk");
        EXPECT_EQ(shown->origin.generation.has_value(), kind == "plain");
        EXPECT_EQ(shown->origin.change.has_value(), kind == "overlaid");
        if (c.change == Change::madeAgain) {
          test::remakeInPlace(path, [&] {
            c.folder ? (void)home.text(kind + "/cache/item/new", "new")
                     : (void)home.text(kind + "/cache/item", "new");
          });
        } else if (c.change == Change::added) {
          home.text(kind + "/cache/item/new", "new");
        }
        items.push_back(TrashItem{path, 5000, home / (kind + "/cache"), false, false, shown});
      }

      const TrashResult result = service.trash(items, mode);
      for (const std::string& kind : kinds) {
        SCOPED_TRACE(kind);
        const std::string path = home / (kind + "/cache/item");
        const bool removed =
            c.change == Change::none || (c.change == Change::added && kind != "overlaid");
        EXPECT_EQ(existsNoFollow(path), !removed);
        const auto failed = std::find_if(result.failed.begin(), result.failed.end(),
                                         [&](const auto& failure) { return failure.url == path; });
        if (removed) {
          EXPECT_EQ(failed, result.failed.end()) << describe(failed->error);
        } else if (failed == result.failed.end()) {
          ADD_FAILURE() << "removed";
        } else {
          EXPECT_EQ(describe(failed->error), "Skipped: it changed since it was shown");
          EXPECT_EQ(readFile(c.folder ? path + "/new" : path), "new");
        }
      }
    }
  }
}
