#pragma once

#include <string>

namespace hl {

// The user's home folder: $HOME when it is set to an absolute path, else the password
// database's entry. Read on every call, so a test that moves HOME is honoured.
std::string homeDirectory();

// The user's login shell from the password database; empty when it has none.
std::string loginShell();

// The user's numeric id.
unsigned currentUserID();

}  // namespace hl
