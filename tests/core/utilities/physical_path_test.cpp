#include "utilities/physical_path.h"

#include <gtest/gtest.h>

#include "support/fake_home.h"

using namespace hl;
using hl::test::FakeHome;

TEST(PhysicalPath, DotDotAfterALinkClimbsFromTheLinkTarget) {
  FakeHome home;
  home.dir("elsewhere/deep");
  home.dir("cache");
  home.symlink("cache/link", home / "elsewhere/deep");

  // The kernel resolves "link" first, so ".." leaves the target, not the folder of the link.
  const PhysicalPath resolved = PhysicalPath::resolve(home / "cache/link/../victim");
  EXPECT_EQ(resolved.path, home / "elsewhere/victim");
  EXPECT_TRUE(resolved.reachable);

  // A relative link target counts from the folder of the link.
  home.symlink("cache/relative", "../elsewhere/deep");
  EXPECT_EQ(PhysicalPath::resolve(home / "cache/relative/x").path, home / "elsewhere/deep/x");
}

TEST(PhysicalPath, TheLastComponentIsNamedNotFollowed) {
  FakeHome home;
  home.dir("target");
  home.symlink("link", home / "target");
  EXPECT_EQ(PhysicalPath::resolve(home / "link").path, home / "link");
  EXPECT_EQ(PhysicalPath::resolve(home / "link/").path, home / "link");
  // Followed as soon as anything comes after it, "." included.
  EXPECT_EQ(PhysicalPath::resolve(home / "link/.").path, home / "target");
  EXPECT_EQ(PhysicalPath::resolve("").path, "/");
  EXPECT_EQ(PhysicalPath::resolve("/..").path, "/");
}

TEST(PhysicalPath, UnreachableFoldersAreReportedNotGuessed) {
  FakeHome home;
  home.file("file");
  home.symlink("loop", home / "loop");
  home.symlink("dangling", home / "nowhere");

  // "file/.." is an error to the kernel, never the folder holding the file.
  const PhysicalPath throughFile = PhysicalPath::resolve(home / "file/..");
  EXPECT_FALSE(throughFile.reachable);
  EXPECT_FALSE(PhysicalPath::resolve(home / "loop/x").reachable);
  EXPECT_FALSE(PhysicalPath::resolve(home / "dangling/x").reachable);

  const PhysicalPath missing = PhysicalPath::resolve(home / "gone/sub/../x");
  EXPECT_FALSE(missing.reachable);
  EXPECT_EQ(missing.path, home / "gone/x");
  // A dangling link as the last component is reachable: the link itself exists.
  EXPECT_TRUE(PhysicalPath::resolve(home / "dangling").reachable);
}
