#pragma once

#include <string>

namespace hl::test {

// Gives this test process a fresh fake environment: a new temporary root with a home folder,
// XDG data, config and cache folders and a private temporary folder inside it, and the
// test-host variable set. Every test then starts in a new fake home of its own below the same
// root. Must run first thing in main, before any library reads the environment. Everything is
// removed again when the process exits.
void prepareFakeEnvironment(int argc, char** argv);

// The temporary root of this process; fake homes and scratch trees live below it.
const std::string& testRoot();

// A new, empty, uniquely named folder below the test root.
std::string makeScratchFolder(const std::string& prefix = "scratch");

}  // namespace hl::test
