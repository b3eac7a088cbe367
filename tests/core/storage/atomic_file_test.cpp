#include <gtest/gtest.h>

#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include "platform/atomic_file.h"
#include "support/fake_home.h"
#include "support/write_failures.h"

using namespace hl;

namespace {

mode_t modeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

}  // namespace

TEST(AtomicFile, ReplacesWholeKeepingPermissionsAndLinks) {
  test::FakeHome tree{"atomic"};
  const std::string file = tree.text("settings.conf", "old");
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  EXPECT_EQ(AtomicFile::replace(file, "new"), std::nullopt);
  EXPECT_EQ(test::readFile(file), "new");
  EXPECT_EQ(modeOf(file), 0600u);

  // A linked file is written where the link leads; the link stays.
  const std::string link = tree.symlink("linked.conf", file);
  EXPECT_EQ(AtomicFile::replace(link, "through the link"), std::nullopt);
  EXPECT_EQ(test::readFile(file), "through the link");
  struct stat info {};
  ASSERT_EQ(::lstat(link.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));

  EXPECT_EQ(AtomicFile::replace(tree / "fresh.json", "[]"), std::nullopt);
  EXPECT_EQ(test::readFile(tree / "fresh.json"), "[]");
  EXPECT_EQ(test::namesIn(tree.path()),
            (std::set<std::string>{"fresh.json", "linked.conf", "settings.conf"}));

  // A folder that does not exist is a failure, not a file somewhere else.
  EXPECT_NE(AtomicFile::replace(tree / "missing/file", "x"), std::nullopt);
}

TEST(AtomicFile, CreatesOnlyWhereNothingIsYet) {
  test::FakeHome tree{"atomic"};
  const std::string taken = tree.text("copy", "first");
  EXPECT_EQ(AtomicFile::create(taken, "second"), AtomicFile::Created::nameTaken);
  EXPECT_EQ(test::readFile(taken), "first");
  EXPECT_EQ(AtomicFile::create(tree / "other", "second"), AtomicFile::Created::created);
  EXPECT_EQ(test::readFile(tree / "other"), "second");
  // A copy of a private file stays private, whatever the umask lets through.
  struct stat status {};
  ASSERT_EQ(::stat((tree / "other").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0600u);
  AtomicFile::Failure failure;
  EXPECT_EQ(AtomicFile::create(tree / "missing/copy", "x", &failure),
            AtomicFile::Created::failed);
  EXPECT_NE(failure.find("missing/copy"), std::string::npos);
  EXPECT_EQ(test::namesIn(tree.path()), (std::set<std::string>{"copy", "other"}));
}

TEST(AtomicFile, AHeldFileIsLockedFromBeforeItAppears) {
  test::FakeHome tree{"atomic"};
  const std::string path = tree.text("journal", "old");
  AtomicFile::Failure failure;
  UniqueFd held = AtomicFile::replaceHolding(path, "new", failure);
  ASSERT_TRUE(held.valid()) << failure;
  EXPECT_EQ(test::readFile(path), "new");
  const auto lockable = [&] {
    const UniqueFd other(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return other.valid() && ::flock(other.get(), LOCK_EX | LOCK_NB) == 0;
  };
  EXPECT_FALSE(lockable());
  held.reset();
  EXPECT_TRUE(lockable());
  EXPECT_EQ(test::namesIn(tree.path()), (std::set<std::string>{"journal"}));
  EXPECT_FALSE(AtomicFile::replaceHolding(tree / "missing/journal", "x", failure).valid());
  EXPECT_NE(failure.find("missing/journal"), std::string::npos);
}

TEST(AtomicFile, AFullDiskLeavesTheOldFileAndNoTemporaryFile) {
  if (const std::string reason = test::FullVolume::unavailableReason(); !reason.empty()) {
    GTEST_SKIP() << "no full volume: " << reason;
  }
  test::FakeHome tree{"atomic"};
  test::FullVolume volume(tree.dir("volume"));
  const std::string file = tree.text("volume/history.json", "[old]");
  volume.fill();
  const std::optional<AtomicFile::Failure> failed =
      AtomicFile::replace(file, std::string(10000, 'n'));
  ASSERT_NE(failed, std::nullopt);
  EXPECT_NE(failed->find("No space left on device"), std::string::npos);
  EXPECT_EQ(test::readFile(file), "[old]");
  EXPECT_EQ(test::namesIn(volume.path()), (std::set<std::string>{".filler", "history.json"}));
  EXPECT_EQ(AtomicFile::create(tree / "volume/copy", std::string(10000, 'c')),
            AtomicFile::Created::failed);
  EXPECT_EQ(test::namesIn(volume.path()), (std::set<std::string>{".filler", "history.json"}));
}
