#include "platform/memory_release.h"

#include <malloc.h>

namespace hl::MemoryRelease {
namespace {

// Measured against the default and against four and eight: two keep a scan's speed and give
// back the most (docs/decisions/memory-after-scans.md).
constexpr int kSharedHeaps = 2;

}  // namespace

void giveBackFreed() {
#ifdef __GLIBC__
  ::malloc_trim(0);
#endif
}

void shareHeaps() {
#ifdef __GLIBC__
  ::mallopt(M_ARENA_MAX, kSharedHeaps);
#endif
}

}  // namespace hl::MemoryRelease
