#include "platform/user_folders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace hl {

namespace {

// One field of the user's entry in the password database; empty when it cannot be read.
std::string passwordField(char* passwd::*field) {
  struct passwd entry {};
  struct passwd* result = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
      result != nullptr && result->*field != nullptr) {
    return result->*field;
  }
  return {};
}

}  // namespace

std::string homeDirectory() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  std::string fromDatabase = passwordField(&passwd::pw_dir);
  return fromDatabase.empty() ? "/" : fromDatabase;
}

std::string loginShell() { return passwordField(&passwd::pw_shell); }

unsigned currentUserID() { return static_cast<unsigned>(::getuid()); }

}  // namespace hl
