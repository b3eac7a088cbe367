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
    // The device of the folder holding it when the removal began; none when that could not be
    // read, and in journals of older builds.
    std::optional<std::uint64_t> folderDevice = std::nullopt;
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
  // The notes of the Trash records it made or was about to make, as they stand once read: kept
  // beside the journal, not in its text, and none in a journal of a build that did not note them.
  std::vector<FreedesktopTrash::Reservation> reserved;
  // Why the notes beside the journal could not be used ("path: reason"); none when they could,
  // or there are none.
  std::optional<std::string> notesFailure;

  // What became of each item, in the order of `items`, as far as the program can see it:
  // removed when it stands in the Trash a note names (moved there), or when the folder that held
  // it is still there on the same device without it; not removed while it is still at its path
  // (or cannot be looked at); unknown when neither can be told, as when its volume is not
  // mounted. `homeTrash` is the user's home Trash.
  enum class Fate { removed, notRemoved, unknown };
  std::vector<Fate> fates(const std::string& homeTrash) const;

  // What the notes came to at a start.
  struct Withdrawals {
    int withdrawn = 0;
    // "reason (Trash folder)" of each note that named no record of this program.
    std::vector<std::string> untrusted;
    // The notes of records in Trash folders that are not there now, to be tried again later.
    std::vector<FreedesktopTrash::Reservation> unreachable;
  };
  // Removes each record noted whose item never reached the Trash, so that no Trash lists an item
  // that is not there (`FreedesktopTrash::withdrawUnmoved`).
  // `ended`: a moment by which the removal had ended (`FreedesktopTrash::withdrawUnmoved`).
  Withdrawals withdrawUnmovedRecords(const std::string& homeTrash, std::int64_t ended) const;

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
  // Notes a Trash record the removal is about to make, made or did not make; written at once,
  // beside the journal, and a note before a record is made is on disk when this returns. A note
  // that cannot be written is dropped: the removal goes on.
  void noteReserved(const UUID& operationID, const FreedesktopTrash::Reservation& reservation);
  // The removal is in the history: its journal goes.
  void finish(const UUID& operationID);
  // The removal is in the history, but the notes `kept` could not be acted on yet: the journal
  // stays, with only those notes beside it, for a later start.
  void keepNotes(const UUID& operationID, const std::vector<FreedesktopTrash::Reservation>& kept);
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
