#include "utilities/physical_path.h"

#include <fcntl.h>
#include <unistd.h>

#include <deque>
#include <vector>

#include "utilities/path_relation.h"

namespace hl {
namespace {

// The kernel's own limit on links followed in one lookup.
constexpr int kMaxLinks = 40;

std::string joined(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string out;
  for (const std::string& part : parts) {
    out.push_back('/');
    out.append(part);
  }
  return out;
}

bool readLinkAt(int folder, const std::string& name, std::string& target) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      target = std::move(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// One walk of a path from "/", as the kernel looks it up without following a final link. While
// the walk can reach its folders, `folders[i]` is the folder named by the first `i` parts, opened
// without following a link, so every step is taken inside the folder the previous one opened.
struct Walk {
  std::vector<std::string> parts;
  std::vector<UniqueFd> folders;
  bool reachable = true;
  // The last part was named as given, not opened (no "." or ".." came after it).
  bool endsOnName = false;
};

Walk walk(std::string_view path, const PhysicalItem::FolderHook& onFolder) {
  Walk w;
  std::deque<std::string> pending;
  for (std::string_view part : PathRelation::components(path)) pending.emplace_back(part);
  w.folders.emplace_back(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  w.reachable = w.folders.back().valid();

  int linksFollowed = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.front());
    pending.pop_front();
    w.endsOnName = false;
    if (part == ".") continue;
    if (part == "..") {
      if (!w.parts.empty()) {
        w.parts.pop_back();
        if (w.reachable) w.folders.pop_back();
      }
      continue;
    }
    // The last component is named, never followed; past an unreachable folder the rest is text.
    if (!w.reachable || pending.empty()) {
      w.parts.push_back(std::move(part));
      w.endsOnName = w.reachable;
      continue;
    }

    const int folder = w.folders.back().get();
    struct stat st {};
    if (::fstatat(folder, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      w.reachable = false;
    } else if (S_ISDIR(st.st_mode)) {
      UniqueFd next(::openat(folder, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      w.parts.push_back(std::move(part));
      if (!next.valid()) {
        w.reachable = false;
        continue;
      }
      w.folders.push_back(std::move(next));
      if (onFolder) onFolder(joined(w.parts));
      continue;
    } else if (S_ISLNK(st.st_mode)) {
      std::string target;
      if (++linksFollowed <= kMaxLinks && readLinkAt(folder, part, target) && !target.empty()) {
        if (target.front() == '/') {
          w.parts.clear();
          w.folders.resize(1);
        }
        const auto targetParts = PathRelation::components(target);
        pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
        continue;
      }
      w.reachable = false;
    } else {
      // "file/.." is an error to the kernel, not the file's folder.
      w.reachable = false;
    }
    w.parts.push_back(std::move(part));
  }
  return w;
}

}  // namespace

PhysicalPath PhysicalPath::resolve(std::string_view path) {
  const Walk w = walk(path, {});
  return PhysicalPath{joined(w.parts), w.reachable};
}

std::optional<PhysicalItem> PhysicalItem::lookUp(std::string_view path,
                                                 const FolderHook& onFolder) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  Walk w = walk(path, onFolder);
  if (!w.reachable) return std::nullopt;

  PhysicalItem item;
  item.path = joined(w.parts);
  if (w.parts.empty()) {
    item.folder = std::move(w.folders.front());
    item.name.push_back('.');  // "/" itself, seen from "/"
  } else {
    // A named last part lies in the last folder opened; otherwise the last folder opened is the
    // object itself, held by the one before it.
    const std::size_t holder = w.endsOnName ? w.folders.size() - 1 : w.folders.size() - 2;
    item.folder = std::move(w.folders[holder]);
    item.name = w.parts.back();
  }
  if (::fstatat(item.folder.get(), item.name.c_str(), &item.status, AT_SYMLINK_NOFOLLOW) != 0) {
    return std::nullopt;
  }
  return item;
}

}  // namespace hl
