#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "utilities/time.h"

namespace hl::test {

// Builds a throw-away folder tree for one test: a fake home folder, a cache, a project.
// Relative paths are taken below the builder's root; parents are created as needed.
class FakeHome {
 public:
  // A new, empty folder below the test process's temporary root.
  explicit FakeHome(const std::string& prefix = "home");

  const std::string& path() const { return root_; }
  std::string operator/(std::string_view relative) const;

  // A folder (and its parents).
  std::string dir(std::string_view relative, std::optional<Date> modified = std::nullopt);
  // A file holding `bytes` bytes of data, written so that it occupies blocks on disk.
  std::string file(std::string_view relative, std::int64_t bytes = 0,
                   std::optional<Date> modified = std::nullopt);
  // A file with the given text.
  std::string text(std::string_view relative, std::string_view content,
                   std::optional<Date> modified = std::nullopt);
  // A sparse file: `logicalSize` bytes long with only `writtenBytes` at its start on disk.
  std::string sparseFile(std::string_view relative, std::int64_t logicalSize,
                         std::int64_t writtenBytes = 0);
  // A symbolic link at `relative` whose content is `target`, exactly as given.
  std::string symlink(std::string_view relative, const std::string& target);
  // A hard link at `relative` to the existing entry `existingRelative`.
  std::string hardlink(std::string_view relative, std::string_view existingRelative);
  // Sets the modification (and access) date of an entry without following a final link.
  void setModified(std::string_view relative, Date modified);

 private:
  std::string root_;
};

// Allocated bytes of one entry as the kernel reports them (st_blocks * 512), without
// following a final link.
std::int64_t allocatedBytes(const std::string& path);

// Whether anything exists at the path, without following a final link.
bool existsNoFollow(const std::string& path);

// Reads a whole small file; empty when it cannot be read.
std::string readFile(const std::string& path);

// Deletes what stands at `path` (a folder with its contents) and lets `makeAgain` make something
// new there, again and again (a few times at most) until the new object got the old one's inode
// number, as ext4 hands a freed number out again at once. Whether it did.
bool remakeInPlace(const std::string& path, const std::function<void()>& makeAgain);

}  // namespace hl::test
