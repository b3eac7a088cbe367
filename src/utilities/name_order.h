#pragma once

#include <string_view>
#include <vector>

namespace hl {

// The Finder-like order of names: numbers inside names compare by value, case is ignored
// ("file9" before "file10"). Negative, zero or positive like strcmp.
int compareNames(std::string_view a, std::string_view b);

// Sorts indices into `names` by that order, stably.
void stableSortByName(std::vector<std::size_t>& indices, const std::vector<std::string_view>& names);

}  // namespace hl
