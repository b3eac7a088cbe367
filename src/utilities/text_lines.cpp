#include "utilities/text_lines.h"

#include <algorithm>
#include <cctype>

namespace hl {

std::string_view trimmed(std::string_view text) {
  const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> nonEmptyLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  const auto finish = [&](std::size_t end, std::size_t breakLength) {
    if (end > start) lines.push_back(text.substr(start, end - start));
    i = end + breakLength;
    start = i;
  };
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  while (i < text.size()) {
    const unsigned char c = byte(i);
    if (c == '\n' || c == '\v' || c == '\f') {
      finish(i, 1);
    } else if (c == '\r') {
      finish(i, i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1);
    } else if (c == 0xC2 && i + 1 < text.size() && byte(i + 1) == 0x85) {
      finish(i, 2);  // NEL
    } else if (c == 0xE2 && i + 2 < text.size() && byte(i + 1) == 0x80 &&
               (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9)) {
      finish(i, 3);  // line and paragraph separators
    } else {
      ++i;
    }
  }
  if (text.size() > start) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace hl
