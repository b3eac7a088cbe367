#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "utilities/time.h"
#include "utilities/uuid.h"

namespace hl {

// The persistent record of one removal operation for one category of items; the element of
// the history file.
struct HistoryEntry {
  struct Failure {
    std::string path;
    std::string message;
    bool operator==(const Failure&) const = default;
  };

  UUID id;
  UUID operationID;
  Date date;
  std::string category;
  std::vector<std::string> itemPaths;
  std::int64_t bytesFreed = 0;
  std::vector<Failure> failures;
  std::optional<std::string> trigger;
  bool permanent = false;

  // A new record with a fresh id. The date is cut to whole seconds, the precision of the
  // history file, so a stored record reads back equal.
  static HistoryEntry make(UUID operationID, Date date, std::string category,
                           std::vector<std::string> itemPaths, std::int64_t bytesFreed,
                           std::vector<Failure> failures, std::optional<std::string> trigger,
                           bool permanent);

  bool operator==(const HistoryEntry&) const = default;
};

// The history file's text for a list of records: a JSON array, pretty-printed, keys sorted,
// dates in ISO 8601 UTC with whole seconds.
std::string encodeHistory(const std::vector<HistoryEntry>& entries);

// Decodes a history file's text strictly: every required key present with its JSON type,
// well-formed UUIDs and dates. None, with a reason in `error` when given, otherwise.
std::optional<std::vector<HistoryEntry>> decodeHistory(std::string_view json,
                                                       std::string* error = nullptr);

// One record as a JSON object, and back.
std::string encodeHistoryEntry(const HistoryEntry& entry);
std::optional<HistoryEntry> decodeHistoryEntry(std::string_view json,
                                               std::string* error = nullptr);

}  // namespace hl
