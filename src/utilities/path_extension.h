#pragma once

#include <string_view>

namespace hl {

// The part of a file name after its last ".", empty when there is no dot or the only dot
// begins the name (".profile" has none).
inline std::string_view pathExtension(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

}  // namespace hl
