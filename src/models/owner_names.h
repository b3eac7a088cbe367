#pragma once

#include <string>

namespace hl {

// The name users know an owner key by ("claude" is "Claude Code"), as warnings, refusals and
// chips show it; an unmapped key is returned unchanged.
std::string ownerDisplayName(const std::string& ownerKey);

}  // namespace hl
