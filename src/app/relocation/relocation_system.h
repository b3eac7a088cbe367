#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace hl {

// A file operation of the relocation step that failed; `what()` is the text shown in the log.
class RelocationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the relocation step asks of the system it runs on: where this copy runs from, whether
// the system has an Applications folder to offer at all, the file operations of the move, and
// starting programs.
class RelocationSystem {
 public:
  virtual ~RelocationSystem() = default;

  // False where the system has no Applications-folder convention: then nothing is ever offered.
  virtual bool offersMove() = 0;
  // The location of the running copy.
  virtual std::string runningCopyPath() = 0;
  // Where the running copy really lies when the system runs it from a translocated place.
  virtual std::optional<std::string> originalPathIfTranslocated(const std::string& path) = 0;

  // Every symbolic link in the path resolved; a tail that does not exist stays as written.
  virtual std::string resolvingSymlinks(const std::string& path) = 0;
  // Whether anything is at the path, a dangling link included.
  virtual bool itemExists(const std::string& path) = 0;
  // Copies the item (a folder with everything in it); fails when something is at `to`.
  virtual void copyItem(const std::string& from, const std::string& to) = 0;
  virtual void removeItem(const std::string& path) = 0;
  // Puts the item at `replacement` in the place of the one at `destination`.
  virtual void replaceItem(const std::string& destination, const std::string& replacement) = 0;

  virtual long processIdentifier() = 0;
  // Starts `executable` with `arguments` (no shell between), waiting for its end when `wait` is
  // set. Whether it could be started.
  virtual bool run(const std::string& executable, const std::vector<std::string>& arguments,
                   bool wait) = 0;
};

// The questions and reports of the relocation step.
class RelocationPrompts {
 public:
  virtual ~RelocationPrompts() = default;

  // True only when the user chose to move; "Not Now" is the default answer.
  virtual bool askUserToMove() = 0;
  // The copy could not be made: the user is asked to move the program by hand.
  virtual void presentFailure(const std::string& destination) = 0;
  // The copy is in place but could not be started: the user is asked to open it by hand.
  virtual void presentRelaunchFailure(const std::string& destination) = 0;
};

}  // namespace hl
