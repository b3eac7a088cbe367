#pragma once

#include <string>

namespace hl::test {

// A file system mounted for one test, inside a mount namespace of the test process alone, so
// that nothing outside the process ever sees it and a crashed test leaves no mount behind.
// Needs root; `available()` says whether this process may mount, with the reason when not.
class ScratchMount {
 public:
  // Empty when mounting works here; otherwise why not (for GTEST_SKIP).
  static std::string unavailableReason();

  // A fresh tmpfs at `where` (an existing folder).
  static ScratchMount tmpfs(const std::string& where);
  // `source` bound at `where`: the same device, another mount.
  static ScratchMount bind(const std::string& source, const std::string& where);
  // The ext4 file system in the file `image` at `where`, through a loop device that goes with
  // the mount.
  static ScratchMount ext4Image(const std::string& image, const std::string& where);
  // An overlay at `where` of the folder `upper` over `lower`, with `work` (empty, on the same
  // file system as `upper`) for its own use.
  static ScratchMount overlay(const std::string& lower, const std::string& upper,
                              const std::string& work, const std::string& where);

  ScratchMount(ScratchMount&& other) noexcept;
  ScratchMount(const ScratchMount&) = delete;
  ScratchMount& operator=(const ScratchMount&) = delete;
  ScratchMount& operator=(ScratchMount&&) = delete;
  ~ScratchMount();

  const std::string& path() const { return where_; }

 private:
  explicit ScratchMount(std::string where) : where_(std::move(where)) {}
  std::string where_;
};

}  // namespace hl::test
