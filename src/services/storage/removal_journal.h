#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "models/history_entry.h"
#include "platform/aside_copy.h"
#include "platform/freedesktop_trash.h"
#include "platform/unique_fd.h"
#include "utilities/time.h"
#include "utilities/uuid.h"

namespace hl {

// What a removal is about to do, written down before its first item is acted on.
struct PendingRemoval {
  struct Item {
    std::string path;
    std::int64_t size = 0;
    bool operator==(const Item&) const = default;
  };

  UUID operationID;
  Date date;
  std::string trigger;
  bool permanent = false;
  // Category title → every path confirmed for it, as the history record takes them.
  std::map<std::string, std::vector<std::string>> categories;
  // The items handed to the removal, in order.
  std::vector<Item> items;
  // Confirmed paths the re-checks already left out, with the reason.
  std::vector<HistoryEntry::Failure> skipped;
  // The Trash records it reserved, as noted while it ran: kept beside the journal, not in its
  // text, and none in a journal of a build that did not note them.
  std::vector<FreedesktopTrash::Reservation> reserved;

  // The handed items no longer at their paths: removed before the removal was cut short. An
  // item that cannot be looked at counts as still there.
  std::vector<Item> gone() const;
  // Removes each record it reserved whose item never reached the Trash, so that no Trash lists
  // an item that is not there (`FreedesktopTrash::withdrawUnmoved`).
  void withdrawUnmovedRecords() const;

  bool operator==(const PendingRemoval&) const = default;
};

// The removal journal: one small file per running removal beside the history file, written
// durably before the removal acts and removed once its record is in the history. A journal left
// behind at start-up is a removal that was cut short (a crash, a kill, a power cut, or a history
// that could not be saved) and whose record is still to be written.
//
// A journal is held (locked) by the process whose removal it describes until that removal is
// recorded or the process ends, so a second copy of the program never takes a running removal
// for an interrupted one. Thread-safe.
class RemovalJournal {
 public:
  // Journals live in the folder of `historyFile`.
  explicit RemovalJournal(std::string historyFile);

  RemovalJournal(const RemovalJournal&) = delete;
  RemovalJournal& operator=(const RemovalJournal&) = delete;

  // Writes the removal's journal durably and holds it. The reason when it could not be
  // written ("path: reason").
  std::optional<std::string> begin(const PendingRemoval& removal);
  // Notes a Trash record the removal reserved, before its item is moved; written at once, beside
  // the journal. A note that cannot be written is dropped: the removal goes on.
  void noteReserved(const UUID& operationID, const FreedesktopTrash::Reservation& reservation);
  // The removal is in the history: its journal goes.
  void finish(const UUID& operationID);
  // The removal's record could not be saved: its journal stays for the next start.
  void release(const UUID& operationID);

  struct Interrupted {
    std::vector<PendingRemoval> removals;  // oldest first
    // Journals that could not be read: where each was moved aside, or why it could not be.
    std::vector<AsideCopy::Outcome> damaged;
  };
  // The journals no running removal holds, each held from now on until it is finished or
  // released. `now` dates the names of damaged ones moved aside.
  Interrupted interrupted(Date now);

  std::string pathOf(const UUID& operationID) const;
  // Where the removal's Trash records are noted.
  std::string reservedPathOf(const UUID& operationID) const;

 private:
  struct Held {
    UniqueFd journal;   // holds the lock
    UniqueFd reserved;  // the notes, opened with the first
  };
  const std::string folder_;
  std::mutex mutex_;
  std::map<UUID, Held> held_;
};

// A journal's text, and back; none for a text that is not a journal.
std::string encodePendingRemoval(const PendingRemoval& removal);
std::optional<PendingRemoval> decodePendingRemoval(std::string_view text);

}  // namespace hl
