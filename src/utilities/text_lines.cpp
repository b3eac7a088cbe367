#include "utilities/text_lines.h"

namespace hl {

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  const auto finish = [&](std::size_t end, std::size_t breakLength) {
    if (end > start) lines.push_back(text.substr(start, end - start));
    i = end + breakLength;
    start = i;
  };
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' || c == '\v' || c == '\f') {
      finish(i, 1);
    } else if (c == '\r') {
      finish(i, i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) == 0x85) {
      finish(i, 2);
    } else if (c == 0xE2 && i + 2 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(text[i + 2]) == 0xA8 ||
                static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
      finish(i, 3);
    } else {
      ++i;
    }
  }
  if (text.size() > start) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace hl
