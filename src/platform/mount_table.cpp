#include "platform/mount_table.h"

#include <algorithm>

#include "platform/plain_file.h"
#include "utilities/path_canonical.h"
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

// One line of the table: its mount, the mount it lies on, the file system's device, the folder
// of that file system it shows, and where it shows it.
struct Mount {
  std::string id;
  std::string parent;
  std::string device;
  std::string root;
  std::string point;
};

std::vector<Mount> parseMounts(std::string_view text) {
  std::vector<Mount> mounts;
  for (std::string_view line : nonEmptyLines(text)) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (fields.size() < 5) {
      const std::size_t start = line.find_first_not_of(' ', pos);
      if (start == std::string_view::npos) break;
      std::size_t end = line.find(' ', start);
      if (end == std::string_view::npos) end = line.size();
      fields.push_back(line.substr(start, end - start));
      pos = end;
    }
    // A mount that shows no folder of a file system (a namespace's "net:[…]") keeps its root
    // as written; only where it is shown must be a path.
    if (fields.size() < 5 || fields[4].empty() || fields[4].front() != '/') continue;
    mounts.push_back({std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                      unescaped(fields[3]), unescaped(fields[4])});
  }
  return mounts;
}

// `path` (at or below `mount.point`) as a path of the mount's file system.
std::string inFileSystem(const Mount& mount, std::string_view path) {
  if (path.size() <= mount.point.size()) return mount.root;
  const std::string_view rest =
      mount.point == "/" ? path.substr(1) : path.substr(mount.point.size() + 1);
  return appendingPath(mount.root, rest);
}

// A mount made inside the folder under another path (the folder is reached through a bind mount
// of a folder above it): the table names it under that path only, but it lies inside the folder
// all the same, and would go with it. Judged by where each lies in its file system. The place it
// would have inside the folder, if any.
std::optional<std::string> mountInsideElsewhere(const std::vector<Mount>& mounts,
                                                std::string_view folder) {
  const Mount* own = nullptr;
  for (const Mount& mount : mounts) {
    // The last of several at one point is the one on top.
    if (PathRelation::isSameOrDescendant(folder, mount.point) &&
        (!own || mount.point.size() >= own->point.size())) {
      own = &mount;
    }
  }
  if (!own) return std::nullopt;
  const std::string position = inFileSystem(*own, folder);
  for (const Mount& mount : mounts) {
    if (&mount == own) continue;
    const auto parent = std::find_if(mounts.begin(), mounts.end(),
                                     [&](const Mount& m) { return m.id == mount.parent; });
    if (parent == mounts.end() || parent->device != own->device) continue;
    if (!PathRelation::isSameOrDescendant(mount.point, parent->point)) continue;
    const std::string at = inFileSystem(*parent, mount.point);
    if (at != position && PathRelation::isSameOrDescendant(at, position)) {
      const std::size_t below = position == "/" ? 1 : position.size() + 1;
      return appendingPath(std::string(folder), at.substr(below));
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> parse(std::string_view text) {
  std::vector<std::string> points;
  for (Mount& mount : parseMounts(text)) points.push_back(std::move(mount.point));
  return points;
}

std::optional<std::vector<std::string>> mountPoints(const std::string& table) {
  const std::optional<std::string> text = PlainFile::read(table);
  if (!text) return std::nullopt;
  return parse(*text);
}

Inside firstMountInside(std::string_view folder, const std::string& table) {
  Inside inside;
  const std::optional<std::string> text = PlainFile::read(table);
  if (!text) return inside;
  inside.tableRead = true;
  for (const std::string& point : parse(*text)) {
    if (point != folder && PathRelation::isSameOrDescendant(point, folder)) {
      inside.mountPoint = point;
      return inside;
    }
  }
  inside.mountPoint = mountInsideElsewhere(parseMounts(*text), folder);
  return inside;
}

}  // namespace hl::MountTable
