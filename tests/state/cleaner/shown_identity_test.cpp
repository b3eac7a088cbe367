// Between the moment the user is shown an item and the confirmation, what stands at its path
// may change: a package manager renames its cache away and builds a new one, a link is put in
// its place, a mount is put over the folder it lies in. None of that may be removed or counted.

#include <gtest/gtest.h>
#include <stdio.h>

#include "app/composition/real_services.h"
#include "cleaner_harness.h"
#include "support/fake_home.h"
#include "support/no_birth_time_volume.h"
#include "support/scratch_mount.h"
#include "utilities/path_canonical.h"

using namespace hl;
using namespace hl::test;

namespace {

// Made again where the file system keeps neither a birth time nor an inode generation.
enum class Change { replaced, link, bindOverParent, remade, remadeWhereNoBirthTime };
enum class Route { sheet, quickClean };

}  // namespace

TEST(CleanerShownIdentity, WhatChangedSinceItWasShownIsNeverRemovedNorCounted) {
  const std::string mountReason = ScratchMount::unavailableReason();
  const std::string volumeReason = NoBirthTimeVolume::unavailableReason();
  for (const Change change : {Change::replaced, Change::link, Change::bindOverParent,
                              Change::remade, Change::remadeWhereNoBirthTime}) {
    if (change == Change::bindOverParent && !mountReason.empty()) continue;
    if (change == Change::remadeWhereNoBirthTime && !volumeReason.empty()) continue;
    const bool remade = change == Change::remade || change == Change::remadeWhereNoBirthTime;
    for (const bool permanent : {false, true}) {
      for (const Route flow : {Route::sheet, Route::quickClean}) {
        SCOPED_TRACE(static_cast<int>(change) * 100 + permanent * 10 + static_cast<int>(flow));
        OwnHomeCleaner c;
        CleanerViewModel& cleaner = *c.cleaner;
        const std::string pip = c.home / ".cache/pip/http/blob";
        std::optional<NoBirthTimeVolume> volume;
        if (change == Change::remadeWhereNoBirthTime) {
          FakeHome contents("contents");
          contents.text("pip/http/blob", std::string(12000, 'x'));
          volume.emplace(contents.path(), "", c.home.dir(".cache"));
        } else {
          c.home.text(".cache/pip/http/blob", std::string(12000, 'x'));
        }
        c.home.text("elsewhere/pip/precious", "precious");
        c.settings.setDeleteImmediately(permanent);
        c.scan();
        const std::string id = cleanPath(c.home / ".cache/pip");
        ASSERT_TRUE(cleaner.item(id) && cleaner.item(id)->isSelectable());

        // Shown: the sheet's plan, or Quick Clean's confirmation.
        TrashPlan plan;
        if (flow == Route::sheet) {
          cleaner.requestTrash(std::set<std::string>{id});
          waitFor(cleaner, &CleanerViewModel::isPreparingTrashChanged,
                  [&] { return !cleaner.isPreparingTrash(); });
          ASSERT_TRUE(cleaner.pendingPlan());
          plan = *cleaner.pendingPlan();
        } else {
          cleaner.armQuickClean();
          waitFor(cleaner, &CleanerViewModel::quickCleanChanged,
                  [&] { return !cleaner.quickClean().isPreparing(); });
          ASSERT_TRUE(cleaner.quickClean().confirming());
          ASSERT_EQ(cleaner.quickClean().confirming()->ids, std::vector<std::string>{id});
        }

        std::optional<ScratchMount> mounted;
        if (change == Change::bindOverParent) {
          mounted.emplace(ScratchMount::bind(c.home / "elsewhere", c.home / ".cache"));
        } else if (remade) {
          // Deleted and made again: on ext4 it gets its old inode number back.
          remakeInPlace(c.home / ".cache/pip", [&] { c.home.text(".cache/pip/new", "new"); });
        } else {
          ASSERT_EQ(::rename((c.home / ".cache/pip").c_str(), (c.home / "pip.old").c_str()), 0);
          if (change == Change::replaced) c.home.text(".cache/pip/new", "new");
          if (change == Change::link) c.home.symlink(".cache/pip", c.home / "elsewhere/pip");
        }

        c.wall.advance(std::chrono::seconds(2));
        if (flow == Route::sheet) {
          cleaner.confirmTrash(plan, c.wall.now());
          waitFor(cleaner, &CleanerViewModel::isTrashingChanged,
                  [&] { return !cleaner.isTrashing(); });
        } else {
          cleaner.confirmQuickClean(c.wall.now());
          waitFor(cleaner, &CleanerViewModel::quickCleanChanged,
                  [&] { return cleaner.quickClean().done() != nullptr; });
          EXPECT_TRUE(cleaner.quickClean().done()->message.ends_with(" 1 failed."))
              << cleaner.quickClean().done()->message;
        }

        // Nothing of it removed, whatever stands there now, and nothing counted as freed.
        EXPECT_EQ(readFile(c.home / "elsewhere/pip/precious"), "precious");
        if (change == Change::replaced || remade) {
          EXPECT_EQ(readFile(c.home / ".cache/pip/new"), "new");
        }
        if (change == Change::link) {
          EXPECT_TRUE(existsNoFollow(c.home / ".cache/pip"));
        }
        mounted.reset();
        if (!remade) {
          EXPECT_TRUE(existsNoFollow(change == Change::bindOverParent ? pip
                                                                      : c.home / "pip.old/http/blob"));
        }

        ASSERT_EQ(c.history.entries().size(), 1u);
        const HistoryEntry& entry = c.history.entries()[0];
        EXPECT_EQ(entry.bytesFreed, 0);
        ASSERT_EQ(entry.failures.size(), 1u);
        EXPECT_EQ(entry.failures[0].message, "Skipped: it changed since it was shown");
      }
    }
  }
}
