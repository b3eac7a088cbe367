#pragma once

#include <string_view>

namespace hl {

// Some owner keys name a desktop application by its bundle on the other platform ("Docker",
// "Code", "Google Chrome", …). Here the same program runs from its own install location; these
// rules recognise it there. Asked in addition to the owner rules themselves.
namespace OwnerKeyCounterparts {

// Whether `executable` (a path or a bare name) is the owner's program as installed here.
bool matches(std::string_view owner, std::string_view executable);

}  // namespace OwnerKeyCounterparts

}  // namespace hl
