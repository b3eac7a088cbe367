#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/relocation/relocation_system.h"

namespace hl::test {

// An in-memory file system of whole items (a program is one item) and symbolic links, and a
// launcher that records what it was asked to start.
class FakeRelocationSystem : public RelocationSystem {
 public:
  struct Entry {
    bool isLink = false;
    std::string content;  // what the item holds, or the link's absolute target
    bool operator==(const Entry&) const = default;
  };
  struct Run {
    std::string executable;
    std::vector<std::string> arguments;
    bool wait = false;
    bool operator==(const Run&) const = default;
  };

  void item(const std::string& path, const std::string& content) {
    entries[path] = {false, content};
  }
  void link(const std::string& path, const std::string& target) {
    entries[path] = {true, target};
  }
  // The content of the item at `path`, without following links; none when nothing is there.
  std::optional<std::string> contentAt(const std::string& path) const;

  bool offersMove() override { return offers; }
  std::string runningCopyPath() override { return runningCopy; }
  std::optional<std::string> originalPathIfTranslocated(const std::string&) override {
    return translocatedFrom;
  }
  std::string resolvingSymlinks(const std::string& path) override;
  bool itemExists(const std::string& path) override { return entries.count(path) != 0; }
  void copyItem(const std::string& from, const std::string& to) override;
  void removeItem(const std::string& path) override;
  void replaceItem(const std::string& destination, const std::string& replacement) override;
  long processIdentifier() override { return 4711; }
  bool run(const std::string& executable, const std::vector<std::string>& arguments,
           bool wait) override;

  bool offers = true;
  std::string runningCopy;
  std::optional<std::string> translocatedFrom;
  std::map<std::string, Entry> entries;
  // Operations that fail, by the path they would write or remove.
  std::set<std::string> failingCopiesTo;
  std::set<std::string> failingRemovals;
  std::set<std::string> failingReplacements;
  // Executables that cannot be started.
  std::set<std::string> unstartable;

  std::vector<std::string> copiedTo;
  std::vector<Run> runs;
};

class FakeRelocationPrompts : public RelocationPrompts {
 public:
  bool askUserToMove() override {
    ++asked;
    return answerMove;
  }
  void presentFailure(const std::string& destination) override {
    failures.push_back(destination);
  }
  void presentRelaunchFailure(const std::string& destination) override {
    relaunchFailures.push_back(destination);
  }

  bool answerMove = false;
  int asked = 0;
  std::vector<std::string> failures;
  std::vector<std::string> relaunchFailures;
};

}  // namespace hl::test
