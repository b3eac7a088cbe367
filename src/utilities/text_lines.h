#pragma once

#include <string_view>
#include <vector>

namespace hl {

// The text without leading and trailing white space (blanks, tabs, newlines).
std::string_view trimmed(std::string_view text);

// The lines of a command's output, split at "\n", with empty lines dropped.
std::vector<std::string_view> nonEmptyLines(std::string_view text);

}  // namespace hl
