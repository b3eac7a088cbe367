#pragma once

#include <string>
#include <vector>

namespace hl {

// The arguments the program was started with. `main` records them; until it does (and in
// tests, which never do) they are read from /proc/self/cmdline.
void recordLaunchArguments(int argc, const char* const* argv);
std::vector<std::string> launchArguments();

}  // namespace hl
