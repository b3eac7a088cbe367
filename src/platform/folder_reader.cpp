#include "platform/folder_reader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace hl {
namespace {

constexpr unsigned kStatusMask =
    STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_BLOCKS | STATX_MTIME | STATX_MNT_ID;

// Large enough that a folder of a few thousand entries is read in one or two calls.
constexpr std::size_t kListingBufferSize = 64 * 1024;

void fill(const struct statx& sx, EntryStatus& out) {
  const unsigned type = sx.stx_mode & S_IFMT;
  out.kind = type == S_IFDIR   ? EntryStatus::Kind::folder
             : type == S_IFLNK ? EntryStatus::Kind::symbolicLink
                               : EntryStatus::Kind::other;
  out.allocatedBytes = static_cast<std::int64_t>(sx.stx_blocks) * 512;
  out.device = (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  out.inode = sx.stx_ino;
  out.linkCount = sx.stx_nlink;
  out.mountId = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
  out.isMountRoot = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
                    (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT);
  out.modifiedSeconds = sx.stx_mtime.tv_sec;
  out.modifiedNanoseconds = sx.stx_mtime.tv_nsec;
}

// One buffer per thread: walkers list thousands of folders, one at a time per thread.
struct BufferPool {
  char* take() {
    if (spare) return std::exchange(spare, nullptr);
    return static_cast<char*>(std::malloc(kListingBufferSize));
  }
  void give(char* buffer) {
    if (!spare) {
      spare = buffer;
    } else {
      std::free(buffer);
    }
  }
  ~BufferPool() { std::free(spare); }
  char* spare = nullptr;
};

thread_local BufferPool buffers;

}  // namespace

bool FolderAccess::status(int parent, const char* name, EntryStatus& out) {
  struct statx sx;
  if (::statx(parent, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kStatusMask, &sx) != 0) {
    return false;
  }
  fill(sx, out);
  return true;
}

bool FolderAccess::status(int fd, EntryStatus& out) {
  struct statx sx;
  if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatusMask, &sx) != 0) return false;
  fill(sx, out);
  return true;
}

int FolderAccess::openFolder(int parent, const char* name) {
  return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
}

FolderListing::FolderListing(int fd) : fd_(fd), buffer_(buffers.take()) {
  if (!buffer_) {
    failed_ = true;
    ended_ = true;
  }
}

FolderListing::~FolderListing() {
  if (buffer_) buffers.give(buffer_);
}

const char* FolderListing::next() {
  for (;;) {
    if (offset_ >= filled_) {
      if (ended_) return nullptr;
      const ssize_t got = ::getdents64(fd_, buffer_, kListingBufferSize);
      if (got <= 0) {
        if (got < 0) failed_ = true;
        ended_ = true;
        return nullptr;
      }
      filled_ = static_cast<std::size_t>(got);
      offset_ = 0;
    }
    const auto* entry = reinterpret_cast<const struct dirent64*>(buffer_ + offset_);
    offset_ += entry->d_reclen;
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    type_ = entry->d_type;
    return name;
  }
}

}  // namespace hl
