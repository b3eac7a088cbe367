#pragma once

#include <string>
#include <string_view>

namespace hl {

// Case folding of ASCII letters only, whatever the process locale: file names and command output
// are bytes, and a byte beyond ASCII is never a letter here.
constexpr char lowercasedAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string lowercasedAscii(std::string text) {
  for (char& c : text) c = lowercasedAscii(c);
  return text;
}

// Whether two names are equal when ASCII letters are compared without their case.
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowercasedAscii(a[i]) != lowercasedAscii(b[i])) return false;
  }
  return true;
}

}  // namespace hl
