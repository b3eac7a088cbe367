#include "utilities/name_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace hl;

namespace {

std::vector<std::string> sortedByName(const std::vector<std::string>& names) {
  std::vector<std::string_view> views(names.begin(), names.end());
  std::vector<std::size_t> order(names.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  stableSortByName(order, views);
  std::vector<std::string> out;
  for (std::size_t i : order) out.push_back(names[i]);
  return out;
}

}  // namespace

TEST(NameOrder, LargeAndSmallSetsSortAsPairwiseComparisonsDo) {
  const std::vector<std::string> names = {
      "file10", "File2", "file9", "b-1",    "b_1",        "b.1",       "Zeta", "zeta", "résumé",
      "resume", "x10y2", "x9y99", "x10y10", "010",        "9",         "über", "uber", ".hidden",
      "a",      "A",     "ab",    "aB",     "file-10.js", "file-2.js", "日本", ""};
  // Every prefix length, so that both the few-names path and the many-names path are taken.
  for (std::size_t n = 2; n <= names.size(); ++n) {
    const std::vector<std::string> subset(names.begin(), names.begin() + static_cast<long>(n));
    std::vector<std::string> expected = subset;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& x, const auto& y) { return compareNames(x, y) < 0; });
    EXPECT_EQ(sortedByName(subset), expected) << n << " names";
  }
}

TEST(NameOrder, NamesThatCompareEqualKeepTheirOrder) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back(i % 2 ? "Same" : "same");
  names.push_back("file10");
  names.push_back("file9");
  const std::vector<std::string> sorted = sortedByName(names);
  EXPECT_EQ(sorted[0], "file9");
  EXPECT_EQ(sorted[1], "file10");
  // Case is ignored, so the twelve keep the order they came in.
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(sorted[i + 2], names[i]) << i;
}

// Names of plain ASCII are sorted by keys made from the collator's own order instead of asking it
// for every name: tens of thousands of such names, with signs, spaces, case and numbers with leading
// zeros, come out exactly as a stable sort by the collator leaves them.
TEST(NameOrder, PlainNamesSortAsTheCollatorSortsThem) {
  // The tests' locale is English (or "C", which sorts as English).
  ASSERT_TRUE(sortsPlainNamesByKey());
  const std::string alphabet =
      " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~0123456789000111aAbBcCzZ"
      "0123456789abcxyzABCXYZ";
  std::uint64_t state = 0x2545F4914F6CDD1DULL;
  const auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  // Enough names for the sort to be made in parts side by side and merged; also all with one
  // start (as a camera's or a cache's files have), and with it as a whole name.
  for (const std::string start : {"", "IMG_0", "chunk-00"}) {
    SCOPED_TRACE(start);
    std::vector<std::string> names = {start, start + "a"};
    for (int i = 0; i < 70000; ++i) {
      std::string name = start;
      const std::size_t length = 1 + next() % 10;
      for (std::size_t k = 0; k < length; ++k) name.push_back(alphabet[next() % alphabet.size()]);
      names.push_back(name);
    }
    std::vector<std::string_view> views(names.begin(), names.end());
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    stableSortByName(order, views);
    for (std::size_t i = 1; i < order.size(); ++i) {
      const int compared = compareNames(names[order[i - 1]], names[order[i]]);
      ASSERT_LE(compared, 0) << names[order[i - 1]] << " | " << names[order[i]];
      if (compared == 0) {
        ASSERT_LT(order[i - 1], order[i]) << names[order[i - 1]];
      }
    }
  }
}
