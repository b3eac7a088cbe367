#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "models/history_entry.h"
#include "utilities/time.h"

namespace hl {

// The record of every removal, kept in one JSON file that is read whole, extended and written
// back atomically. A file that cannot be decoded is moved aside under a dated name and a new
// history starts, so a damaged file never blocks removals and its bytes are never lost.
//
// Calls are serialised: two appends from different threads never lose each other's records.
// Every call reads or writes the disk and blocks; callers run it off the GUI thread.
class HistoryStore {
 public:
  // Why the file could not be read, moved aside or written; `description` is shown to the user.
  struct Error {
    std::string description;
    bool operator==(const Error&) const = default;
  };
  // The whole list of records, oldest first, or the reason there is none.
  using Result = std::variant<std::vector<HistoryEntry>, Error>;

  // "$XDG_DATA_HOME/Harborlume/history.json" (the user's data folder, then "Harborlume").
  static std::string defaultURL();

  // Keeps the path; nothing is read or created. `clock` dates a moved-aside file (local time).
  explicit HistoryStore(std::string fileURL, WallClock clock = systemWallClock());

  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  const std::string& fileURL() const { return fileURL_; }

  // Where the last undecodable file was moved; none until that happens, never cleared.
  std::optional<std::string> recoveredCorruptFile() const;

  // The records in file order: none for a missing or empty file. An undecodable file is moved
  // aside (next to it, "history.json.corrupt-yyyyMMdd-HHmmss", never over an existing file)
  // and the history starts empty; `movedAside`, when given, learns where it went during this
  // very call. An error when the file exists but cannot be read, or cannot be moved aside.
  Result load(std::optional<std::string>* movedAside = nullptr);

  // Loads as `load` does, adds `entries` at the end, creates the folder when needed and writes
  // the whole list atomically. Returns everything now stored. On any error the file on disk
  // stays as it was.
  Result append(const std::vector<HistoryEntry>& entries,
                std::optional<std::string>* movedAside = nullptr);

 private:
  Result loadLocked(std::optional<std::string>* movedAside);

  const std::string fileURL_;
  const WallClock clock_;
  mutable std::mutex mutex_;
  std::optional<std::string> recoveredCorruptFile_;
};

}  // namespace hl
