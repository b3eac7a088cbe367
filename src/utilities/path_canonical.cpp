#include "utilities/path_canonical.h"

#include <vector>

namespace hl {

std::string PathCanonical::canonical(std::string_view path) {
  std::vector<std::string_view> stack;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t next = path.find('/', pos);
    if (next == std::string_view::npos) next = path.size();
    const std::string_view part = path.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    stack.push_back(part);
  }
  std::size_t first = 0;
  if (stack.size() >= 2 && stack[0] == "private" &&
      (stack[1] == "var" || stack[1] == "tmp" || stack[1] == "etc")) {
    first = 1;
  }
  if (first == stack.size()) return "/";
  std::string out;
  out.reserve(path.size() + 1);
  for (std::size_t i = first; i < stack.size(); ++i) {
    out.push_back('/');
    out.append(stack[i]);
  }
  return out;
}

std::string abbreviatedPath(std::string_view path, std::string_view home) {
  std::string p = PathCanonical::canonical(path);
  const std::string h = PathCanonical::canonical(home);
  if (p == h) return "~";
  // A home of "/" abbreviates nothing but itself: "/" followed by "/" never starts a
  // canonical path.
  if (p.size() > h.size() + 1 && p.compare(0, h.size(), h) == 0 && p[h.size()] == '/' &&
      h != "/") {
    return "~" + p.substr(h.size());
  }
  return p;
}

std::string lastPathComponent(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  if (path == "/") return "/";
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

std::string parentPath(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string appendingPath(std::string_view base, std::string_view component) {
  while (!component.empty() && component.front() == '/') component.remove_prefix(1);
  std::string out;
  out.reserve(base.size() + component.size() + 1);
  out.append(base);
  if (out.empty() || out.back() != '/') out.push_back('/');
  out.append(component);
  return out;
}

}  // namespace hl
