#include "views/shared/column_fit.h"

#include <algorithm>
#include <cstddef>

namespace hl::ColumnFit {
namespace {

// Every column from `from` toward `to` (never below), together shedding `excess` pixels, each
// by the same share of the room between its two widths; the rounding's remainder goes to the
// first columns that still have room.
std::vector<int> shrink(const std::vector<int>& from, const std::vector<int>& to, int excess) {
  long room = 0;
  for (std::size_t i = 0; i < from.size(); ++i) room += std::max(0, from[i] - to[i]);
  std::vector<int> result = from;
  if (room <= 0) return result;
  int shed = 0;
  for (std::size_t i = 0; i < from.size(); ++i) {
    const int own = std::max(0, from[i] - to[i]);
    const int cut = static_cast<int>(static_cast<long>(own) * excess / room);
    result[i] -= cut;
    shed += cut;
  }
  for (std::size_t i = 0; i < from.size() && shed < excess; ++i) {
    if (result[i] > to[i]) {
      --result[i];
      ++shed;
    }
  }
  return result;
}

int sum(const std::vector<int>& values) {
  int total = 0;
  for (int value : values) total += value;
  return total;
}

}  // namespace

std::vector<int> widths(const std::vector<Column>& columns, int available, int stretch) {
  std::vector<int> natural;
  std::vector<int> whole;
  std::vector<int> least;
  for (const Column& column : columns) {
    // Each a floor of the one before, whatever the caller measured.
    natural.push_back(std::max(0, column.natural));
    whole.push_back(std::clamp(column.whole, 0, natural.back()));
    least.push_back(std::clamp(column.least, 0, whole.back()));
  }
  const int wanted = sum(natural);
  if (wanted <= available) {
    if (stretch >= 0 && static_cast<std::size_t>(stretch) < natural.size()) {
      natural[static_cast<std::size_t>(stretch)] += available - wanted;
    }
    return natural;
  }
  if (sum(whole) <= available) return shrink(natural, whole, wanted - available);
  if (sum(least) <= available) return shrink(whole, least, sum(whole) - available);
  return least;
}

}  // namespace hl::ColumnFit
