#pragma once

#include <string_view>
#include <vector>

namespace hl {

// The Finder-like order of names: numbers inside names compare by value, case is ignored
// ("file9" before "file10"). Negative, zero or positive like strcmp.
int compareNames(std::string_view a, std::string_view b);

// Sorts indices into `names` by that order, stably.
//
// Names of printable ASCII are sorted by keys made from the collator's own order of those
// characters where the locale's order of them is that simple (no letters that combine); other
// names, and every name in other locales, are compared by the collator.
void stableSortByName(std::vector<std::size_t>& indices, const std::vector<std::string_view>& names);

// Whether this process sorts names of printable ASCII by those keys.
bool sortsPlainNamesByKey();

}  // namespace hl
