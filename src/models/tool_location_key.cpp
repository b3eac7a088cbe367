#include "models/tool_location_key.h"

namespace hl {

std::string_view rawValue(ToolLocationKey key) {
  switch (key) {
    case ToolLocationKey::pnpmStore: return "pnpmStore";
    case ToolLocationKey::uvCache: return "uvCache";
    case ToolLocationKey::goModCache: return "goModCache";
    case ToolLocationKey::goBuildCache: return "goBuildCache";
    case ToolLocationKey::brewCache: return "brewCache";
    case ToolLocationKey::npmCacache: return "npmCacache";
    case ToolLocationKey::npmNpx: return "npmNpx";
  }
  return {};
}

std::optional<ToolLocationKey> toolLocationKeyFromRaw(std::string_view raw) {
  for (ToolLocationKey key : allToolLocationKeys) {
    if (rawValue(key) == raw) return key;
  }
  return std::nullopt;
}

}  // namespace hl
