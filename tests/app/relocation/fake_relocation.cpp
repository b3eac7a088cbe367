#include "app/relocation/fake_relocation.h"

#include "utilities/path_canonical.h"
#include "utilities/path_relation.h"

namespace hl::test {

std::optional<std::string> FakeRelocationSystem::contentAt(const std::string& path) const {
  const auto found = entries.find(path);
  if (found == entries.end()) return std::nullopt;
  return found->second.content;
}

std::string FakeRelocationSystem::resolvingSymlinks(const std::string& path) {
  std::string resolved = "/";
  for (std::string_view component : PathRelation::components(path)) {
    resolved = appendingPath(resolved, component);
    for (int hops = 0; hops < 40; ++hops) {
      const auto found = entries.find(resolved);
      if (found == entries.end() || !found->second.isLink) break;
      resolved = found->second.content;
    }
  }
  return resolved;
}

void FakeRelocationSystem::copyItem(const std::string& from, const std::string& to) {
  if (failingCopiesTo.count(to) != 0) throw RelocationError("disk full");
  if (itemExists(to)) throw RelocationError("an item is already there");
  const auto source = entries.find(resolvingSymlinks(from));
  if (source == entries.end()) throw RelocationError("no such item");
  entries[to] = source->second;
  copiedTo.push_back(to);
}

void FakeRelocationSystem::removeItem(const std::string& path) {
  if (failingRemovals.count(path) != 0) throw RelocationError("permission denied");
  entries.erase(path);
}

void FakeRelocationSystem::replaceItem(const std::string& destination,
                                       const std::string& replacement) {
  if (failingReplacements.count(destination) != 0) throw RelocationError("item is busy");
  const auto found = entries.find(replacement);
  if (found == entries.end()) throw RelocationError("no such item");
  entries[destination] = found->second;
  entries.erase(replacement);
}

bool FakeRelocationSystem::run(const std::string& executable,
                               const std::vector<std::string>& arguments, bool wait) {
  if (unstartable.count(executable) != 0) return false;
  runs.push_back({executable, arguments, wait});
  return true;
}

}  // namespace hl::test
