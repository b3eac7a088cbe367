#pragma once

namespace hl::MemoryRelease {

// Hands the memory that the allocator keeps free back to the system. A scan allocates a great
// deal on many threads and frees nearly all of it when it ends; the allocator keeps such memory
// for later use, in the middle of its heaps where it is never returned by itself, so a program
// that scans again and again would grow with every scan. Takes a few milliseconds: call it off
// the GUI thread, after what a scan made has been freed.
void giveBackFreed();

// The same on a thread of the process's shared pool, from any thread; returns at once.
void giveBackFreedSoon();

// Sets the allocator up so that what a scan frees can be given back: a few heaps that all
// threads share (by default every thread that allocates may get a heap of its own, up to eight
// per core, and the walk pool alone has dozens of threads, each heap keeping free memory of its
// own), and a mapping of its own for every large block, returned whole when the block is freed
// (by default the allocator raises that limit as large blocks come and go, and they end up in
// the heaps between small ones that outlive them). Call once, before any thread starts.
void configure();

}  // namespace hl::MemoryRelease
