#pragma once

#include <dirent.h>

namespace hl {

// A directory listing that owns its descriptor; names are read one by one with plain reads.
class DirectoryStream {
 public:
  // Takes over `fd`, an open directory (closed here when no stream can be made of it). A
  // negative `fd` gives an invalid stream.
  explicit DirectoryStream(int fd);
  DirectoryStream(const DirectoryStream&) = delete;
  DirectoryStream& operator=(const DirectoryStream&) = delete;
  ~DirectoryStream();

  bool valid() const { return stream_ != nullptr; }
  // The directory's descriptor, for reading entries relative to it.
  int fd() const;
  // The next entry's name other than "." and ".."; null at the end, with `failed` set when a
  // read error ended the listing.
  const char* next(bool& failed);

 private:
  DIR* stream_ = nullptr;
};

// Opens the directory `name` relative to `parent` (AT_FDCWD for a path), without following a
// final link when `followLink` is false. Returns a descriptor or -1.
int openDirectoryAt(int parent, const char* name, bool followLink = true);

}  // namespace hl
