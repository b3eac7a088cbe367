#pragma once

#include <string>
#include <string_view>

namespace hl {

// The lexical canonical form of a path: the key of every item and the form in which paths are
// stored and compared. Never touches the disk.
namespace PathCanonical {

// Empty and "." parts dropped, ".." resolved without climbing above the root, "/private/var",
// "/private/tmp" and "/private/etc" folded onto "/var", "/tmp" and "/etc"; always absolute and
// without a trailing slash. Idempotent.
std::string canonical(std::string_view path);

}  // namespace PathCanonical

// The canonical path of a file location (paths are plain byte strings, never percent-encoded).
inline std::string cleanPath(std::string_view path) { return PathCanonical::canonical(path); }

// The display form of a path: "~" for the home folder itself, "~/rest" inside it, otherwise the
// canonical path unchanged.
std::string abbreviatedPath(std::string_view path, std::string_view home);

// The last component of a path as written ("/" for the root); trailing slashes are ignored.
std::string lastPathComponent(std::string_view path);

// The path without its last component ("/" for a top-level entry or for "/" itself).
std::string parentPath(std::string_view path);

// `base` joined with a relative `component` by exactly one "/".
std::string appendingPath(std::string_view base, std::string_view component);

}  // namespace hl
