#include "utilities/physical_path.h"

#include <sys/stat.h>
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

bool readLink(const std::string& path, std::string& target) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return false;
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      target = std::move(buffer);
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

PhysicalPath PhysicalPath::resolve(std::string_view path) {
  std::deque<std::string> pending;
  for (std::string_view part : PathRelation::components(path)) pending.emplace_back(part);

  std::vector<std::string> resolved;
  bool reachable = true;
  int linksFollowed = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.front());
    pending.pop_front();
    if (part == ".") continue;
    if (part == "..") {
      if (!resolved.empty()) resolved.pop_back();
      continue;
    }
    resolved.push_back(std::move(part));
    // The last component is named, never followed; past an unreachable folder the rest is text.
    if (!reachable || pending.empty()) continue;

    const std::string current = joined(resolved);
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0) {
      reachable = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) continue;
    if (!S_ISLNK(st.st_mode)) {
      // "file/.." is an error to the kernel, not the file's folder.
      reachable = false;
      continue;
    }
    std::string target;
    if (++linksFollowed > kMaxLinks || !readLink(current, target) || target.empty()) {
      reachable = false;
      continue;
    }
    resolved.pop_back();
    if (target.front() == '/') resolved.clear();
    const auto targetParts = PathRelation::components(target);
    pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
  }
  return PhysicalPath{joined(resolved), reachable};
}

}  // namespace hl
