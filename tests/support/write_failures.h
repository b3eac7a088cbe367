#pragma once

#include <set>
#include <string>

#include "support/scratch_mount.h"

namespace hl::test {

// A volume with no space left, as a home on a full disk has: a small tmpfs mounted at a folder
// in the test's private mount namespace and filled to the last block. Needs what ScratchMount
// needs; `unavailableReason()` says why not.
class FullVolume {
 public:
  static std::string unavailableReason() { return ScratchMount::unavailableReason(); }

  // Mounts an empty volume at `where` (an existing folder); fill it once its files are in place.
  explicit FullVolume(const std::string& where);

  const std::string& path() const { return mount_.path(); }
  // Takes every free block with one filler file.
  void fill();
  // Gives the filler's blocks back.
  void makeRoom();

 private:
  ScratchMount mount_;
};

// While it lives, no file of this process may grow beyond `bytes` bytes: a write past the limit
// fails with EFBIG as it would on a full disk. The stand-in for a full volume where mounting is
// not allowed.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long bytes);
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit();

 private:
  unsigned long previous_ = 0;
  void (*previousHandler_)(int) = nullptr;
};

// The names in `folder`, so a test can see that a failed write left nothing behind.
std::set<std::string> namesIn(const std::string& folder);

}  // namespace hl::test
