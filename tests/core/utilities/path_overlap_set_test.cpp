#include "utilities/path_overlap_set.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "utilities/path_relation.h"

using namespace hl;

TEST(PathOverlapSet, OverlapsByWholeComponentsBothWays) {
  PathOverlapSet set;
  EXPECT_FALSE(set.overlaps("/a"));
  set.insert("/home/u/Library/Caches/Google/Chrome");
  EXPECT_TRUE(set.overlaps("/home/u/Library/Caches/Google/Chrome"));
  EXPECT_TRUE(set.overlaps("/home/u/Library/Caches/Google/Chrome/Default"));
  EXPECT_TRUE(set.overlaps("/home/u/Library/Caches/Google"));  // holds a member
  EXPECT_TRUE(set.overlaps("/"));
  EXPECT_FALSE(set.overlaps("/home/u/Library/Caches/GoogleX"));
  EXPECT_FALSE(set.overlaps("/home/u/Library/Caches/Google/Chromium"));
  EXPECT_FALSE(set.overlaps("/home/v"));
  // Slashes do not matter, as they do not to the component comparison.
  EXPECT_TRUE(set.overlaps("//home/u//Library/Caches/Google/"));
}

TEST(PathOverlapSet, RootMemberOverlapsEverything) {
  PathOverlapSet set;
  set.insert("/");
  EXPECT_TRUE(set.overlaps("/x/y"));
  EXPECT_TRUE(set.overlaps("/"));
}

// The set must answer exactly as comparing with every member would, both questions.
TEST(PathOverlapSet, AgreesWithPairwiseComparison) {
  std::mt19937 random(42);
  const std::vector<std::string> names = {"a", "b", "ab", "c", "..", "."};
  auto randomPath = [&] {
    std::string path;
    const int depth = static_cast<int>(random() % 5);
    for (int i = 0; i < depth; ++i) path += "/" + names[random() % names.size()];
    return path.empty() ? std::string("/") : path;
  };
  for (int round = 0; round < 50; ++round) {
    PathOverlapSet set;
    std::vector<std::string> members;
    const int count = static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
      members.push_back(randomPath());
      set.insert(members.back());
    }
    for (int probe = 0; probe < 40; ++probe) {
      const std::string path = randomPath();
      bool expected = false;
      bool below = false;
      for (const std::string& member : members) {
        expected |= PathRelation::overlaps(path, member);
        below |= PathRelation::isSameOrDescendant(path, member);
      }
      ASSERT_EQ(set.overlaps(path), expected) << path;
      ASSERT_EQ(set.holds(path), below) << path;
    }
  }
}
