#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hl {

// The folders the project and worktree walks start from. The search roots are names of folders
// directly in the home, matched ignoring ASCII case as a file system that ignores case matches
// them: for each name in order, every folder in the home whose name equals it so (both
// "Projects" and "projects" when both exist), in byte order of the names. A folder reached
// again, under another name or through a link, is left out, so that each is walked once. Where
// the home cannot be listed, the names are taken as written.
std::vector<std::string> searchRootFolders(std::string_view home,
                                           const std::vector<std::string>& names);

}  // namespace hl
