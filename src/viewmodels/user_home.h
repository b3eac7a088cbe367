#pragma once

#include <string>

namespace hl {

// The user's home folder, which the pages write as "~" in the paths they show. Views reach the
// platform only through the state layer; this is their one way to the home folder where no view
// model of theirs knows it.
std::string userHomeFolder();

}  // namespace hl
