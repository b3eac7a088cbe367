#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace hl {

// What a walk needs to know of one directory entry, read with a single call that never follows
// a final symbolic link.
struct EntryStatus {
  enum class Kind { folder, symbolicLink, other };

  Kind kind = Kind::other;
  std::int64_t allocatedBytes = 0;  // blocks the entry occupies, in bytes
  std::uint64_t device = 0;         // encoded as VolumeIdentifier::device
  std::uint64_t inode = 0;
  std::uint64_t linkCount = 0;
  std::uint64_t mountId = 0;  // 0 when the kernel gave none
  bool isMountRoot = false;   // the entry is where another file system is mounted
  std::int64_t modifiedSeconds = 0;
  std::uint32_t modifiedNanoseconds = 0;
};

namespace FolderAccess {

// The status of `name` inside the open folder `parent` (or of a path when `parent` is
// AT_FDCWD). Never follows a final link and never triggers an automount. False with errno set.
bool status(int parent, const char* name, EntryStatus& out);

// The status of an open descriptor. False with errno set.
bool status(int fd, EntryStatus& out);

// Opens the folder `name` inside `parent` (or a path when `parent` is AT_FDCWD) for listing,
// refusing a symbolic link. The descriptor, or -1 with errno set.
int openFolder(int parent, const char* name);

}  // namespace FolderAccess

// The names in an open folder, read straight from the kernel in large batches. Does not own the
// descriptor. "." and ".." are left out.
class FolderListing {
 public:
  explicit FolderListing(int fd);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // The next name, valid until the following call; null at the end or after a read error.
  const char* next();
  // What the kernel says the entry that `next` gave last is, where the file system tells it
  // (DT_DIR, DT_REG, DT_LNK...); DT_UNKNOWN where it does not.
  unsigned char type() const { return type_; }
  // Whether the listing stopped because reading failed.
  bool failed() const { return failed_; }

 private:
  int fd_;
  char* buffer_;
  std::size_t filled_ = 0;
  std::size_t offset_ = 0;
  bool failed_ = false;
  bool ended_ = false;
  unsigned char type_ = 0;
};

}  // namespace hl
