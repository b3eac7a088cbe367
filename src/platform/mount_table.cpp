#include "platform/mount_table.h"

#include "platform/plain_file.h"
#include "utilities/path_relation.h"
#include "utilities/text_lines.h"

namespace hl::MountTable {
namespace {

bool isOctal(char c) { return c >= '0' && c <= '7'; }

std::string unescaped(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
        isOctal(field[i + 2]) && isOctal(field[i + 3])) {
      out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> parse(std::string_view text) {
  std::vector<std::string> points;
  for (std::string_view line : nonEmptyLines(text)) {
    std::size_t pos = 0;
    std::string_view field;
    for (int index = 0; index < 5; ++index) {
      const std::size_t start = line.find_first_not_of(' ', pos);
      if (start == std::string_view::npos) {
        field = {};
        break;
      }
      std::size_t end = line.find(' ', start);
      if (end == std::string_view::npos) end = line.size();
      field = line.substr(start, end - start);
      pos = end;
    }
    if (!field.empty() && field.front() == '/') points.push_back(unescaped(field));
  }
  return points;
}

std::optional<std::vector<std::string>> mountPoints(const std::string& table) {
  const std::optional<std::string> text = PlainFile::read(table);
  if (!text) return std::nullopt;
  return parse(*text);
}

Inside firstMountInside(std::string_view folder, const std::string& table) {
  Inside inside;
  const auto points = mountPoints(table);
  if (!points) return inside;
  inside.tableRead = true;
  for (const std::string& point : *points) {
    if (point != folder && PathRelation::isSameOrDescendant(point, folder)) {
      inside.mountPoint = point;
      break;
    }
  }
  return inside;
}

}  // namespace hl::MountTable
