#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hl {

// The mounts this process sees, from the kernel's table of them (/proc/self/mountinfo), so that
// "is anything mounted inside this folder" is answered without walking the folder.
namespace MountTable {

// Every mount point, unescaped, in the table's order; none when the table cannot be read.
std::optional<std::vector<std::string>> mountPoints(
    const std::string& table = "/proc/self/mountinfo");

// The mount points of one table's text: the fifth field of each line, with the kernel's octal
// escapes ("\040" for a space) turned back into bytes.
std::vector<std::string> parse(std::string_view text);

// What the table says of one folder (an absolute path without links): whether the table could
// be read at all, and the first mount point strictly inside the folder.
struct Inside {
  bool tableRead = false;
  std::optional<std::string> mountPoint;
};
Inside firstMountInside(std::string_view folder,
                        const std::string& table = "/proc/self/mountinfo");

}  // namespace MountTable

}  // namespace hl
