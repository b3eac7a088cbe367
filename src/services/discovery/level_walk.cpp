#include "services/discovery/level_walk.h"

#include <string_view>
#include <unordered_map>

namespace hl {

void walkTogether(const std::vector<LevelWalk*>& walks, const Spread& spread) {
  struct Visitor {
    LevelWalk* walk = nullptr;
    std::size_t folder = 0;
  };
  // One folder of the level: the walk that lists it (if any wants to) and every walk that
  // reaches it. Most folders are reached by one or two walks, so those need no allocation.
  struct Slot {
    Visitor lister;
    Visitor first;
    Visitor second;
    std::vector<Visitor> more;
    void add(const Visitor& visitor) {
      if (!first.walk) {
        first = visitor;
      } else if (!second.walk) {
        second = visitor;
      } else {
        more.push_back(visitor);
      }
    }
  };
  std::vector<Slot> slots;
  std::unordered_map<std::string_view, std::size_t> byPath;
  for (;;) {
    std::vector<LevelWalk*> live;
    for (LevelWalk* walk : walks) {
      if (!walk->finished()) live.push_back(walk);
    }
    if (live.empty()) return;
    slots.clear();
    byPath.clear();
    for (LevelWalk* walk : live) {
      const std::size_t count = walk->size();
      if (live.size() > 1) byPath.reserve(byPath.size() + count);
      for (std::size_t folder = 0; folder < count; ++folder) {
        std::size_t at = slots.size();
        // A walk never reaches one folder twice in a level: only other walks need looking up.
        if (live.size() > 1) at = byPath.try_emplace(walk->path(folder), slots.size()).first->second;
        if (at == slots.size()) slots.emplace_back();
        Slot& slot = slots[at];
        slot.add({walk, folder});
        if (!slot.lister.walk && walk->wantsListing(folder)) slot.lister = {walk, folder};
      }
    }
    spread(slots.size(), [&slots](std::size_t k) {
      const Slot& slot = slots[k];
      std::optional<std::vector<ListedEntry>> listing;
      if (slot.lister.walk) listing = slot.lister.walk->list(slot.lister.folder);
      slot.first.walk->visit(slot.first.folder, listing);
      if (slot.second.walk) slot.second.walk->visit(slot.second.folder, listing);
      for (const Visitor& visitor : slot.more) visitor.walk->visit(visitor.folder, listing);
    });
    for (LevelWalk* walk : live) walk->advance();
  }
}

}  // namespace hl
