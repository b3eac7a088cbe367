#include "views/shared/column_fit.h"

#include <gtest/gtest.h>

#include <numeric>

namespace hl {
namespace {

using Column = ColumnFit::Column;

TEST(ColumnFit, ColumnsFitWholeThenShrinkInTwoStepsAndNeverBelowTheirLeast) {
  // Natural, whole and least of three columns: the middle one stretches.
  const std::vector<Column> three = {{100, 80, 40}, {120, 40, 40}, {60, 30, 20}};
  struct Case {
    const char* name;
    std::vector<Column> columns;
    int available;
    int stretch;
    std::vector<int> expected;
  };
  const std::vector<Case> cases = {
      {"room to spare goes to the stretching column", three, 300, 1, {100, 140, 60}},
      {"exactly the natural widths", three, 280, 1, {100, 120, 60}},
      {"no stretching column keeps the natural widths", three, 300, -1, {100, 120, 60}},
      // 40 to shed from rooms of 20, 80 and 30: each gives the same share of its room.
      {"a little short: each shrinks toward whole", three, 240, 1, {93, 96, 51}},
      {"the whole widths exactly", three, 150, 1, {80, 40, 30}},
      // 30 to shed below whole from rooms of 40, 0 and 10.
      {"shorter still: toward the least", three, 120, 1, {56, 40, 24}},
      {"the least widths exactly", three, 100, 1, {40, 40, 20}},
      {"not even the least fits: the least, past the edge", three, 60, 1, {40, 40, 20}},
      // The rounding's pixel goes to the first column that still has room.
      {"rounding", {{10, 0, 0}, {10, 0, 0}, {10, 0, 0}}, 20, 0, {6, 7, 7}},
      {"a whole above the natural width counts as natural", {{50, 90, 70}, {50, 10, 10}}, 70, 0,
       {50, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<int> widths = ColumnFit::widths(c.columns, c.available, c.stretch);
    EXPECT_EQ(widths, c.expected);
  }
}

}  // namespace
}  // namespace hl
