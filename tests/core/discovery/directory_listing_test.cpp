#include "platform/directory_listing.h"

#include <gtest/gtest.h>

#include <map>

#include "support/fake_home.h"

using namespace hl;

namespace {

std::map<std::string, ListedEntry> byName(const std::vector<ListedEntry>& entries) {
  std::map<std::string, ListedEntry> named;
  for (const ListedEntry& entry : entries) named.emplace(entry.name, entry);
  return named;
}

}  // namespace

// A walk that looks for folders reads the status of folders only; the other entries know their
// kind from the listing, and their status is read after all when the walk asks for it.
TEST(DirectoryListing, FoldersAlwaysHaveTheirStatusOtherEntriesWhenAskedFor) {
  test::FakeHome home{"listing"};
  const Date date{std::chrono::seconds(1'700'000'000)};
  home.dir("f/sub");
  home.file("f/file", 10, date);
  home.symlink("f/link", "sub");
  std::vector<std::map<std::string, ListedEntry>> seen;
  for (const bool wanted : {false, true}) {
    const auto listing = DirectoryListing::entries(
        home / "f", [&](const std::vector<ListedEntry>& entries) {
          seen.push_back(byName(entries));
          return wanted;
        });
    ASSERT_TRUE(listing);
    auto named = byName(*listing);
    ASSERT_EQ(named.size(), 3u);
    EXPECT_TRUE(named["sub"].isDirectory);
    EXPECT_TRUE(named["sub"].modified && named["sub"].volume);
    EXPECT_TRUE(named["file"].hasValues && !named["file"].isDirectory);
    EXPECT_TRUE(named["link"].isSymbolicLink && !named["link"].isDirectory);
    EXPECT_EQ(named["file"].modified, wanted ? std::optional<Date>(date) : std::nullopt);
    EXPECT_EQ(named["link"].modified.has_value(), wanted);
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0]["sub"].volume);
  EXPECT_FALSE(seen[0]["file"].modified);

  const auto everything = DirectoryListing::entries(home / "f");
  ASSERT_TRUE(everything);
  EXPECT_EQ(byName(*everything)["file"].modified, date);
}
