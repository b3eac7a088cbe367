#include "services/in_use/owner_key_counterparts.h"

#include <array>

#include "utilities/path_canonical.h"

namespace hl::OwnerKeyCounterparts {
namespace {

enum class Test { nothing, basename, contains, prefix };

struct Counterpart {
  std::string_view owner;
  Test test;
  std::string_view text;
};

// The one table of these counterparts.
constexpr std::array<Counterpart, 10> kCounterparts = {{
    // The desktop agent has no build for this platform: nothing to recognise.
    {"Claude.app", Test::nothing, ""},
    // The desktop Codex app has no build for this platform either.
    {"Codex.app", Test::nothing, ""},
    // Google Chrome's package puts the browser and every helper process in /opt/google/chrome.
    {"Google Chrome", Test::prefix, "/opt/google/chrome/"},
    // Xcode exists only on the other platform.
    {"Xcode", Test::nothing, ""},
    // The device simulator ships with Xcode only.
    {"Simulator", Test::nothing, ""},
    // Cursor's packages install the editor as share/cursor/cursor; every helper runs that binary.
    {"Cursor", Test::contains, "/share/cursor/"},
    // Cursor's AppImage runs an executable named cursor from a temporary mount.
    {"Cursor", Test::basename, "cursor"},
    // Visual Studio Code's packages (deb, rpm, snap) install it as share/code/code.
    {"Code", Test::contains, "/share/code/"},
    // Visual Studio Code's archive build runs an executable named code from wherever it was put.
    {"Code", Test::basename, "code"},
    // Docker Desktop installs its backend and every helper below /opt/docker-desktop.
    {"Docker", Test::prefix, "/opt/docker-desktop/"},
}};

}  // namespace

bool matches(std::string_view owner, std::string_view executable) {
  for (const Counterpart& row : kCounterparts) {
    if (row.owner != owner) continue;
    switch (row.test) {
      case Test::nothing:
        break;
      case Test::basename:
        if (lastPathComponent(executable) == row.text) return true;
        break;
      case Test::contains:
        if (executable.find(row.text) != std::string_view::npos) return true;
        break;
      case Test::prefix:
        if (executable.substr(0, row.text.size()) == row.text) return true;
        break;
    }
  }
  return false;
}

}  // namespace hl::OwnerKeyCounterparts
