#pragma once

#include <string>
#include <vector>

namespace hl::test {

// Whether the real git is there for tests that build repositories with it.
bool gitAvailable();

// Runs the real git in `directory` with a fixed author and committer and no system
// configuration; fails the current test (and returns what it got) when git does not succeed.
std::string git(const std::string& directory, const std::vector<std::string>& arguments);

// A new repository at `path` (created as needed) on branch "main".
void initRepository(const std::string& path);

// Writes `content` to `relative` inside the repository, stages it and commits it.
void commitFile(const std::string& repository, const std::string& relative,
                const std::string& content, const std::string& message = "change");

}  // namespace hl::test
