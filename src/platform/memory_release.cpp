#include "platform/memory_release.h"

#include <QThreadPool>
#include <malloc.h>

namespace hl::MemoryRelease {
namespace {

// Chosen by measurement (docs/decisions/memory-after-scans.md): fewer heaps make the walking
// threads wait for each other, more keep more memory.
constexpr int kSharedHeaps = 4;
// The allocator's own starting limit, kept from then on.
constexpr int kLargeBlock = 128 * 1024;

}  // namespace

void giveBackFreed() {
#ifdef __GLIBC__
  ::malloc_trim(0);
#endif
}

void giveBackFreedSoon() { QThreadPool::globalInstance()->start(&giveBackFreed); }

void configure() {
#ifdef __GLIBC__
  ::mallopt(M_ARENA_MAX, kSharedHeaps);
  ::mallopt(M_MMAP_THRESHOLD, kLargeBlock);
#endif
}

}  // namespace hl::MemoryRelease
