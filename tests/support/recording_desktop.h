#pragma once

#include <string>
#include <vector>

#include "viewmodels/desktop_services.h"

namespace hl::test {

// Remembers every request instead of touching the real desktop.
class RecordingDesktop : public DesktopServices {
 public:
  std::vector<std::string> reveal(const std::vector<std::string>& paths) override {
    revealed.push_back(paths);
    return unopened;
  }
  void copyText(const std::string& text) override { copied.push_back(text); }
  void openURL(const std::string& url) override { opened.push_back(url); }

  std::vector<std::vector<std::string>> revealed;
  // What `reveal` answers: the folders nothing could open.
  std::vector<std::string> unopened;
  std::vector<std::string> copied;
  std::vector<std::string> opened;
};

}  // namespace hl::test
