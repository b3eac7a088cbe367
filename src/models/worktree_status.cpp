#include "models/worktree_status.h"

#include <functional>

namespace hl {
namespace {

void combine(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

std::size_t WorktreeStatus::hash() const {
  std::size_t seed = 0;
  combine(seed, value_.index());
  if (const Dirty* d = dirty()) {
    combine(seed, std::hash<bool>{}(d->uncommitted));
    combine(seed, std::hash<int>{}(d->unpushedCommits));
  } else if (const Error* e = error()) {
    combine(seed, std::hash<std::string>{}(e->message));
  }
  return seed;
}

}  // namespace hl
