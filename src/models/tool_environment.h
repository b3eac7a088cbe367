#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>

#include "models/native_action.h"
#include "models/tool_location_key.h"

namespace hl {

// What a resolution found out about the package tools: the PATH to run them with, which of them
// exist and where, and the cache folders they report.
struct ToolEnvironment {
  std::string path;
  std::set<NativeAction::Tool> available;
  std::map<NativeAction::Tool, std::string> binaries;
  std::map<ToolLocationKey, std::string> locations;

  // No tools, and the PATH used when the login shell tells none.
  static ToolEnvironment empty();

  std::size_t hash() const;

  bool operator==(const ToolEnvironment&) const = default;
};

}  // namespace hl

template <>
struct std::hash<hl::ToolEnvironment> {
  std::size_t operator()(const hl::ToolEnvironment& environment) const {
    return environment.hash();
  }
};
