#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// Reads of other programs' files that may change or shrink at any moment: plain reads, never a
// memory map (a file cut short under a mapping kills the reader). Only regular files are read
// (links followed), so a pipe or device in their place never blocks or disturbs anything.
namespace PlainFile {

// The whole file; none when it cannot be opened or read, is not a regular file, or holds more
// than `maxBytes` bytes.
std::optional<std::string> read(const std::string& path,
                                std::optional<std::size_t> maxBytes = std::nullopt);

// Hands the file to `chunk` piece by piece, in order; false when it cannot be opened or read to
// its end, or is not a regular file.
bool readInChunks(const std::string& path, const std::function<void(std::string_view)>& chunk);

}  // namespace PlainFile

}  // namespace hl
