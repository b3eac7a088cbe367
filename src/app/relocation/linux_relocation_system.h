#pragma once

#include "app/relocation/relocation_system.h"

namespace hl {

// Linux has no Applications-folder convention: programs are installed by the package manager or
// by `cmake --install`, never by dragging them somewhere. So this system never offers the move
// and never runs translocated. Its file operations and launcher are real nonetheless, as the
// relocation step expects them.
class LinuxRelocationSystem final : public RelocationSystem {
 public:
  bool offersMove() override { return false; }
  // The running executable.
  std::string runningCopyPath() override;
  std::optional<std::string> originalPathIfTranslocated(const std::string&) override {
    return std::nullopt;
  }

  std::string resolvingSymlinks(const std::string& path) override;
  bool itemExists(const std::string& path) override;
  // Links inside are copied as links; nothing is followed out of the copied item.
  void copyItem(const std::string& from, const std::string& to) override;
  void removeItem(const std::string& path) override;
  // An atomic rename: a folder destination that is not empty is refused, never merged.
  void replaceItem(const std::string& destination, const std::string& replacement) override;

  long processIdentifier() override;
  // Waited runs end after a minute at most.
  bool run(const std::string& executable, const std::vector<std::string>& arguments,
           bool wait) override;
};

}  // namespace hl
