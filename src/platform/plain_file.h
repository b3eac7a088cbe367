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

// A file of the program's own (its history, settings, journal) read whole. Only "no such file"
// and "not a folder" on the way mean there is none: anything else that stops the read (a folder
// or a pipe in its place, an I/O error, no permission) is a failure, so that an existing file is
// never mistaken for a missing one and written over.
struct OwnFile {
  bool exists = false;
  std::string bytes;
  // "path: reason" when the file exists but could not be read.
  std::optional<std::string> failure;
};
// More than `maxBytes` bytes is a failure as well, found before anything is read.
OwnFile readOwn(const std::string& path, std::optional<std::size_t> maxBytes = std::nullopt);

}  // namespace PlainFile

}  // namespace hl
