#include <gtest/gtest.h>

#include "support/fake_home.h"
#include "utilities/file_identity.h"
#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"
#include "utilities/walk_boundary.h"

using namespace hl;

TEST(PathCanonical, FoldsLexically) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "/"},
      {"/", "/"},
      {"//a//b/", "/a/b"},
      {"/a/./b/../c", "/a/c"},
      {"/../..", "/"},
      {"a/b", "/a/b"},
      {"/private/tmp/x", "/tmp/x"},
      {"/private/var", "/var"},
      {"/private/etc/hosts", "/etc/hosts"},
      {"/private", "/private"},
      {"/private/Users/x", "/private/Users/x"},
      {"/private/x/../tmp", "/tmp"},
      {"/System/Volumes/Data/Users", "/System/Volumes/Data/Users"},
  };
  for (const auto& [input, expected] : cases) {
    EXPECT_EQ(PathCanonical::canonical(input), expected) << input;
    EXPECT_EQ(PathCanonical::canonical(PathCanonical::canonical(input)), expected) << input;
  }
}

TEST(PathRelation, ComparesWholeComponents) {
  EXPECT_TRUE(PathRelation::isSameOrDescendant("/a/b", "/a/b"));
  EXPECT_TRUE(PathRelation::isSameOrDescendant("/a/b/c", "/a/b/"));
  EXPECT_FALSE(PathRelation::isSameOrDescendant("/a/bc", "/a/b"));
  EXPECT_FALSE(PathRelation::isSameOrDescendant("/a", "/a/b"));
  EXPECT_TRUE(PathRelation::isSameOrDescendant("/anything/at/all", "/"));
  EXPECT_FALSE(PathRelation::isSameOrDescendant("/a/./b", "/a/b"));
  EXPECT_TRUE(PathRelation::isSameOrDescendant("//a///b/c/", "/a//b"));
  EXPECT_FALSE(PathRelation::isSameOrDescendant("/a//", "/a/b"));
  EXPECT_TRUE(PathRelation::overlaps("/a", "/a/b/c"));
  EXPECT_TRUE(PathRelation::overlaps("/a/b/c", "/a"));
  EXPECT_FALSE(PathRelation::overlaps("/a/bc", "/a/b"));
  EXPECT_EQ(PathRelation::components("//x///y/").size(), 2u);
}

TEST(AbbreviatedPath, ShowsHomeAsTilde) {
  EXPECT_EQ(abbreviatedPath("/Users/u", "/Users/u"), "~");
  EXPECT_EQ(abbreviatedPath("/Users/u/x", "/Users/u"), "~/x");
  EXPECT_EQ(abbreviatedPath("/Users/uv", "/Users/u"), "/Users/uv");
  EXPECT_EQ(abbreviatedPath("/private/tmp/a", "/Users/u"), "/tmp/a");
  EXPECT_EQ(abbreviatedPath("/Users/u/./x/", "/Users/u/"), "~/x");
  EXPECT_EQ(abbreviatedPath("/", "/"), "~");
  EXPECT_EQ(abbreviatedPath("/x", "/"), "/x");
}

TEST(FileIdentity, NormalizedPathFoldsOnlyTheExactDataPrefix) {
  EXPECT_EQ(FileIdentity::normalizedPath("/System/Volumes/Data"), "/");
  EXPECT_EQ(FileIdentity::normalizedPath("/System/Volumes/Data/Users/u"), "/Users/u");
  EXPECT_EQ(FileIdentity::normalizedPath("/System/Volumes/DataX"), "/System/Volumes/DataX");
  EXPECT_EQ(FileIdentity::normalizedPath("/System/Volumes/Data/"), "/");
  EXPECT_EQ(FileIdentity::normalizedPath("/System/Volumes/Data/../x"), "/x");
  EXPECT_EQ(FileIdentity::normalizedPath("/System//Volumes/Data/x"), "/System/Volumes/Data/x");
}

class IdentityOnDisk : public ::testing::Test {
 protected:
  test::FakeHome tree{"identity"};
  // The tree's own location with its links resolved (the temporary root may be reached
  // through a link itself).
  std::string real(const std::string& relative) {
    return FileIdentity::resolvingSymlinks(tree / relative);
  }
};

TEST_F(IdentityOnDisk, LinkIsIdentifiedWhereItSitsAndLinkedParentsAreResolved) {
  tree.dir("target/inner");
  tree.text("target/inner/file", "x");
  tree.symlink("link", tree / "target");
  tree.symlink("fileLink", tree / "target/inner/file");

  EXPECT_EQ(FileIdentity::identityPath(tree / "link"), real("") + "/link");
  EXPECT_EQ(FileIdentity::identityPath(tree / "fileLink"), real("") + "/fileLink");
  EXPECT_EQ(FileIdentity::identityPath(tree / "link/inner/file"), real("target/inner/file"));
  EXPECT_TRUE(FileIdentity::isSymbolicLink(tree / "link"));
  EXPECT_FALSE(FileIdentity::isSymbolicLink(tree / "target"));
  EXPECT_FALSE(FileIdentity::isSymbolicLink(tree / "missing"));
}

TEST_F(IdentityOnDisk, MissingTailStillYieldsAPath) {
  tree.dir("target");
  tree.symlink("link", tree / "target");
  EXPECT_EQ(FileIdentity::identityPath(tree / "link/not/there"), real("target") + "/not/there");
  EXPECT_EQ(FileIdentity::identityPath(tree / "nothing/here"), real("") + "/nothing/here");
  EXPECT_EQ(FileIdentity::identityPath("/definitely-missing-root/x"), "/definitely-missing-root/x");
}

// Many paths at once resolve their shared folders once, and give each path exactly the identity
// it has on its own: links anywhere on the way, a final link, links to links, missing tails,
// dangling links, "." and "..".
TEST_F(IdentityOnDisk, ManyPathsAtOnceGiveEachItsOwnIdentity) {
  tree.dir("target/inner/deeper");
  tree.text("target/inner/file", "x");
  tree.symlink("link", tree / "target");
  tree.symlink("linkToLink", tree / "link");
  tree.symlink("relative", "target/inner");
  tree.symlink("dangling", tree / "nowhere");
  tree.symlink("target/inner/up", "..");
  const std::vector<std::string> paths = {
      tree / "target/inner/file",      tree / "link/inner/file",   tree / "link",
      tree / "linkToLink/inner",       tree / "linkToLink",        tree / "relative/deeper",
      tree / "relative",               tree / "dangling",          tree / "dangling/below",
      tree / "link/not/there",         tree / "nothing/here",      tree / "target/./inner/../inner",
      tree / "target/inner/up/inner",  tree / "link/inner/up",     "/",
      "/definitely-missing-root/x",    tree.path(),                tree / "target/inner/deeper"};
  const std::vector<std::string> together = FileIdentity::identityPaths(paths);
  ASSERT_EQ(together.size(), paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(together[i], FileIdentity::identityPath(paths[i])) << paths[i];
  }
  EXPECT_EQ(together[1], real("target/inner/file"));
  EXPECT_EQ(together[2], real("") + "/link");
}

TEST_F(IdentityOnDisk, DanglingLinkExistsWithoutFollowing) {
  tree.symlink("dangling", tree / "nowhere");
  EXPECT_TRUE(FileIdentity::existsWithoutFollowing(tree / "dangling"));
  EXPECT_FALSE(FileIdentity::existsWithoutFollowing(tree / "nowhere"));
  EXPECT_EQ(FileIdentity::identityPath(tree / "dangling"), real("") + "/dangling");
}

TEST_F(IdentityOnDisk, IdentifiersNameTheSameObject) {
  tree.text("a", "x");
  tree.hardlink("b", "a");
  tree.text("c", "x");
  tree.symlink("l", tree / "a");
  ASSERT_TRUE(FileIdentity::identifier(tree / "a"));
  EXPECT_EQ(FileIdentity::identifier(tree / "a"), FileIdentity::identifier(tree / "b"));
  EXPECT_NE(FileIdentity::identifier(tree / "a"), FileIdentity::identifier(tree / "c"));
  // A link is its own object, never its target.
  EXPECT_NE(FileIdentity::identifier(tree / "a"), FileIdentity::identifier(tree / "l"));
  EXPECT_FALSE(FileIdentity::identifier(tree / "missing"));
}

TEST(WalkBoundary, SkipsOtherVolumesBeforeDatalessFolders) {
  const VolumeIdentifier rootVolume{1, 10};
  const VolumeIdentifier other{2, 20};
  WalkBoundary plain;
  EXPECT_EQ(plain.skipReason("/x", other, rootVolume), WalkBoundary::Skip::otherVolume);
  EXPECT_EQ(plain.skipReason("/x", rootVolume, rootVolume), std::nullopt);

  WalkBoundary dataless([](std::string_view path) { return path == "/cloud"; });
  EXPECT_EQ(dataless.skipReason("/cloud", std::nullopt, rootVolume), WalkBoundary::Skip::dataless);
  EXPECT_EQ(dataless.skipReason("/cloud", other, std::nullopt), WalkBoundary::Skip::dataless);
  EXPECT_EQ(dataless.skipReason("/cloud", other, rootVolume), WalkBoundary::Skip::otherVolume);
  EXPECT_EQ(dataless.skipReason("/x", std::nullopt, std::nullopt), std::nullopt);
  EXPECT_FALSE(FileFlags::isDataless("/no/such/path"));
}

TEST(WalkBoundary, ReadsTheVolumeOfRealPaths) {
  test::FakeHome tree{"volume"};
  tree.dir("a");
  const auto root = WalkBoundary::volumeIdentifier(tree.path());
  ASSERT_TRUE(root);
  EXPECT_EQ(WalkBoundary::volumeIdentifier(tree / "a"), root);
  EXPECT_FALSE(WalkBoundary::volumeIdentifier(tree / "missing"));
  // /proc is always a mount of its own.
  EXPECT_TRUE(WalkBoundary::crossesVolume(WalkBoundary::volumeIdentifier("/proc"), root));
}
