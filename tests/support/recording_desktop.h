#pragma once

#include <string>
#include <vector>

#include "viewmodels/desktop_services.h"

namespace hl::test {

// Remembers every request instead of touching the real desktop.
class RecordingDesktop : public DesktopServices {
 public:
  void reveal(const std::vector<std::string>& paths) override { revealed.push_back(paths); }
  void copyText(const std::string& text) override { copied.push_back(text); }
  void openURL(const std::string& url) override { opened.push_back(url); }

  std::vector<std::vector<std::string>> revealed;
  std::vector<std::string> copied;
  std::vector<std::string> opened;
};

}  // namespace hl::test
