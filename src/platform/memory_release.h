#pragma once

namespace hl::MemoryRelease {

// Hands the memory that the allocator keeps free back to the system. A scan allocates a great
// deal on many threads and frees nearly all of it when it ends; the allocator keeps such memory
// for later use, in the middle of its heaps where it is never returned by itself, so a program
// that scans again and again would grow with every scan. Takes a few milliseconds: call it off
// the GUI thread, after what a scan made has been freed.
void giveBackFreed();

// Limits the allocator to a few heaps that all threads share. By default every thread that
// allocates may get a heap of its own, up to eight per core, and the walk pool alone has dozens of
// threads: each heap would keep free memory of its own. Call once, before any thread starts.
void shareHeaps();

}  // namespace hl::MemoryRelease
