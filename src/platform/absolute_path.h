#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hl {

// A path given from outside (a command-line argument, a configured folder) made absolute the way
// the system reads it: a relative path is taken from the working folder, never from "/"; an
// absolute one is kept as given. None for an empty path, or when the working folder cannot be
// read.
std::optional<std::string> absolutePath(std::string_view path);

// Why `folder` cannot be walked as a folder: it does not exist, is not a folder (links are
// followed), or cannot be looked at; none when it is a folder. `what` names it in the text
// ("The home folder").
std::optional<std::string> folderProblem(const std::string& folder, std::string_view what);

}  // namespace hl
