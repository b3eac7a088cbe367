#pragma once

#include <string_view>
#include <vector>

namespace hl {

// The lines of a UTF-8 text, split at every Unicode line break (LF, VT, FF, CR, CR LF, NEL,
// U+2028, U+2029), with empty lines dropped. The views point into `text`.
std::vector<std::string_view> splitLines(std::string_view text);

}  // namespace hl
