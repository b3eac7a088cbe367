#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/directory_listing.h"
#include "utilities/spread.h"

namespace hl {

// A breadth-first walk that goes one level at a time: the folders of the current level, the
// listing each wants, what each listing tells, and then the next level. Walks of the same roots
// look at many of the same folders; walked together, each folder is listed once for all of them.
class LevelWalk {
 public:
  virtual ~LevelWalk() = default;

  // True once there is no level left or the walk was asked to stop.
  virtual bool finished() const = 0;
  // The folders of the current level.
  virtual std::size_t size() const = 0;
  virtual const std::string& path(std::size_t folder) const = 0;
  // Whether the walk lists the folder itself; a walk that does not may still be shown another
  // walk's listing of it.
  virtual bool wantsListing(std::size_t folder) const = 0;
  // Lists the folder as this walk needs it; called only where `wantsListing` is true.
  virtual std::optional<std::vector<ListedEntry>> list(std::size_t folder) = 0;
  // Takes in a folder of the current level with its listing, none when no walk listed it (or the
  // listing failed). Called for different folders side by side.
  virtual void visit(std::size_t folder, const std::optional<std::vector<ListedEntry>>& listing) = 0;
  // Takes the findings of the current level in its order and moves on to the next level.
  virtual void advance() = 0;
};

// Runs the walks to their ends, level by level, spreading each level's folders as `spread`
// does. A folder that several walks reach by the same path is listed once, by the first walk
// (in the given order) that wants a listing of it, and every walk visits it with that listing:
// a walk's listings must therefore tell all that later walks need.
void walkTogether(const std::vector<LevelWalk*>& walks, const Spread& spread);

}  // namespace hl
