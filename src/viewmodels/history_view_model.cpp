#include "viewmodels/history_view_model.h"

#include <QMetaObject>
#include <algorithm>
#include <set>

#include "platform/trash_folders.h"
#include "platform/trash_record_notes.h"
#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"

namespace hl {
namespace {

// What one removal did, as its record takes it.
struct Outcome {
  std::vector<std::string> succeeded;
  std::vector<HistoryEntry::Failure> failed;
  std::map<std::string, std::int64_t> sizes;  // by canonical path
  bool permanent = false;
};

Outcome outcomeOf(const TrashResult& result) {
  Outcome outcome{result.succeeded, {}, result.sizes, isPermanent(result.mode)};
  for (const TrashResult::Failure& failure : result.failed) {
    outcome.failed.push_back({failure.url, describe(failure.error)});
  }
  return outcome;
}

// A removal cut short: what the program can see went was removed; the rest was not, or cannot
// be told (its volume is not mounted), and is not recorded as removed either.
Outcome outcomeOf(const PendingRemoval& removal, const std::string& homeTrash) {
  Outcome outcome{{}, removal.skipped, {}, removal.permanent};
  const std::vector<PendingRemoval::Fate> fates = removal.fates(homeTrash);
  for (std::size_t i = 0; i < removal.items.size(); ++i) {
    const PendingRemoval::Item& item = removal.items[i];
    switch (fates[i]) {
      case PendingRemoval::Fate::removed:
        outcome.succeeded.push_back(item.path);
        outcome.sizes[PathCanonical::canonical(item.path)] = item.size;
        break;
      case PendingRemoval::Fate::notRemoved:
        outcome.failed.push_back({item.path, "interrupted"});
        break;
      case PendingRemoval::Fate::unknown:
        outcome.failed.push_back(
            {item.path, "interrupted; whether it was removed could not be seen"});
        break;
    }
  }
  return outcome;
}

// The log's lines for what the notes of one removal came to.
void describeNotes(const PendingRemoval& removal, const PendingRemoval::Withdrawals& withdrawals,
                   std::vector<std::string>& lines) {
  if (removal.notesFailure) {
    lines.push_back("Could not use the notes of the Trash records of an interrupted removal: " +
                    *removal.notesFailure);
  }
  const std::size_t untrusted = withdrawals.untrusted.size();
  if (untrusted == 1) {
    lines.push_back("Left alone a noted Trash record that this program did not make: " +
                    withdrawals.untrusted.front());
  } else if (untrusted > 1) {
    lines.push_back("Left alone " + std::to_string(untrusted) +
                    " noted Trash records that this program did not make; the first: " +
                    withdrawals.untrusted.front());
  }
}

std::vector<HistoryEntry> entriesFor(const Outcome& outcome,
                                     const HistoryViewModel::Categories& categories,
                                     const std::string& trigger, UUID operationID, Date date) {
  std::set<std::string> succeeded;
  for (const std::string& url : outcome.succeeded) succeeded.insert(PathCanonical::canonical(url));

  std::vector<HistoryEntry> entries;
  // The map is ordered by title, which is the order the records are written in.
  for (const auto& [title, urls] : categories) {
    std::set<std::string> own;
    std::vector<std::string> removed;
    std::int64_t bytes = 0;
    for (const std::string& url : urls) {
      const std::string path = PathCanonical::canonical(url);
      own.insert(path);
      if (!succeeded.contains(path)) continue;
      removed.push_back(path);
      if (auto size = outcome.sizes.find(path); size != outcome.sizes.end()) bytes += size->second;
    }
    std::vector<HistoryEntry::Failure> failures;
    for (const HistoryEntry::Failure& failure : outcome.failed) {
      const std::string path = PathCanonical::canonical(failure.path);
      if (own.contains(path)) failures.push_back({path, failure.message});
    }
    if (removed.empty() && failures.empty()) continue;
    entries.push_back(HistoryEntry::make(operationID, date, title, std::move(removed), bytes,
                                         std::move(failures), trigger, outcome.permanent));
  }
  return entries;
}

}  // namespace

HistoryViewModel::HistoryViewModel(std::shared_ptr<HistoryStore> store, ActivityLog& activity,
                                   WallClock clock, QObject* parent)
    : QObject(parent),
      store_(std::move(store)),
      journal_(std::make_shared<RemovalJournal>(store_->fileURL())),
      activity_(activity),
      clock_(std::move(clock)) {
  worker_.setMaxThreadCount(1);
}

HistoryViewModel::~HistoryViewModel() {
  // A worker still posts its result to this object; once it is done, destroying the object
  // discards that result unseen.
  worker_.waitForDone();
}

void HistoryViewModel::setEntries(std::vector<HistoryEntry> entries) {
  if (entries == entries_) return;
  entries_ = std::move(entries);
  emit entriesChanged();
}

void HistoryViewModel::setSelectedEntryID(std::optional<UUID> id) {
  if (id == selectedEntryID_) return;
  selectedEntryID_ = id;
  emit selectedEntryIDChanged();
}

void HistoryViewModel::runOffThread(std::function<std::function<void()>()> work) {
  worker_.start([this, work = std::move(work)] {
    QMetaObject::invokeMethod(this, work(), Qt::QueuedConnection);
  });
}

void HistoryViewModel::load(std::function<void()> done) {
  runOffThread([this, store = store_, journal = journal_, now = clock_(),
                done = std::move(done)]() -> std::function<void()> {
    std::optional<std::string> moved;
    HistoryStore::Result result = store->load(&moved);
    std::vector<std::string> lines;
    // Removals cut short are recorded first, so the history shows them from the start. A history
    // that cannot be read takes no records; their journals wait.
    if (std::holds_alternative<std::vector<HistoryEntry>>(result)) {
      RemovalJournal::Interrupted found = journal->interrupted(now);
      // Each removal found had ended by the time its journal could be taken, so by now.
      const std::int64_t ended = FreedesktopTrash::fileClockCeiling();
      for (const AsideCopy::Outcome& damaged : found.damaged) {
        if (const auto* failure = std::get_if<AsideCopy::Failure>(&damaged)) {
          lines.push_back("Could not read a removal journal: " + failure->description);
        } else {
          lines.push_back("A removal journal was damaged; moved it to " +
                          lastPathComponent(std::get<std::string>(damaged)));
        }
      }
      const std::string homeTrash = TrashFolders::homeTrash();
      for (const PendingRemoval& removal : found.removals) {
        // A record made for an item the Trash never received lists an item that is not there,
        // and takes its name from the next move of that item.
        const PendingRemoval::Withdrawals withdrawals = removal.withdrawUnmovedRecords(homeTrash, ended);
        describeNotes(removal, withdrawals, lines);
        // The journal goes once its record is in the history, unless a Trash folder it made a
        // record in is not there now: then it stays, with just those notes, for a later start.
        auto settle = [&] {
          if (withdrawals.unreachable.empty()) {
            journal->finish(removal.operationID);
          } else {
            journal->keepNotes(removal.operationID, withdrawals.unreachable);
          }
        };
        // The program stopped after the record was appended (whole, as every write is) and
        // before its journal went, or a volume's notes were kept: only the notes are left.
        const auto& recorded = std::get<std::vector<HistoryEntry>>(result);
        if (std::any_of(recorded.begin(), recorded.end(), [&](const HistoryEntry& entry) {
              return entry.operationID == removal.operationID;
            })) {
          settle();
          continue;
        }
        const Outcome outcome = outcomeOf(removal, homeTrash);
        const std::vector<HistoryEntry> entries = entriesFor(
            outcome, removal.categories, removal.trigger, removal.operationID, removal.date);
        if (!entries.empty()) {
          HistoryStore::Result stored = store->append(entries);
          if (const auto* error = std::get_if<HistoryStore::Error>(&stored)) {
            lines.push_back("Could not save history: " + error->description);
            journal->release(removal.operationID);
            continue;
          }
          result = std::move(stored);
        }
        settle();
        const std::size_t removed = outcome.succeeded.size();
        lines.push_back("A removal was interrupted; its record was completed: " +
                        std::to_string(removed) + (removed == 1 ? " item" : " items") +
                        " removed, " + std::to_string(removal.items.size() - removed) +
                        " not removed");
      }
    }
    return [this, result = std::move(result), moved, lines = std::move(lines), done] {
      finishLoad(result, moved, lines);
      if (done) done();
    };
  });
}

UUID HistoryViewModel::beginRemoval(const Categories& categories,
                                    const std::vector<TrashItem>& items,
                                    const std::vector<TrashResult::Failure>& skipped,
                                    TrashTrigger trigger, RemovalMode mode,
                                    std::function<void()> done) {
  PendingRemoval removal;
  removal.operationID = UUID::random();
  removal.date = clock_();
  removal.trigger = std::string(rawValue(trigger));
  removal.permanent = isPermanent(mode);
  removal.categories = categories;
  for (const TrashItem& item : items) removal.items.push_back({item.url, item.size});
  for (const TrashResult::Failure& failure : skipped) {
    removal.skipped.push_back({failure.url, describe(failure.error)});
  }
  runOffThread([this, journal = journal_, removal,
                done = std::move(done)]() -> std::function<void()> {
    std::optional<std::string> failed = journal->begin(removal);
    return [this, failed = std::move(failed), done] {
      if (failed) {
        activity_.log(ActivityEvent::Kind::error,
                      "Could not write the removal journal: " + *failed);
      }
      if (done) done();
    };
  });
  return removal.operationID;
}

FreedesktopTrash::ReservationNote HistoryViewModel::reservationNote(const UUID& operation) const {
  return [journal = journal_, operation](const FreedesktopTrash::Reservation& reservation) {
    journal->noteReserved(operation, reservation);
  };
}

void HistoryViewModel::record(const TrashResult& result, const Categories& categories,
                              TrashTrigger trigger, std::function<void()> done,
                              std::optional<UUID> operation) {
  std::vector<HistoryEntry> added =
      entriesFor(outcomeOf(result), categories, std::string(rawValue(trigger)),
                 operation.value_or(UUID::random()), clock_());
  runOffThread([this, store = store_, journal = journal_, added = std::move(added), operation,
                done = std::move(done)]() -> std::function<void()> {
    if (added.empty()) {
      if (operation) journal->finish(*operation);
      return done ? done : [] {};
    }
    std::optional<std::string> moved;
    HistoryStore::Result stored = store->append(added, &moved);
    if (operation) {
      // A record that could not be saved is completed from its journal at the next start.
      if (std::holds_alternative<HistoryStore::Error>(stored)) {
        journal->release(*operation);
      } else {
        journal->finish(*operation);
      }
    }
    return [this, stored = std::move(stored), moved, added, done] {
      finishRecord(stored, moved, added);
      if (done) done();
    };
  });
}

void HistoryViewModel::reportMovedAside(const std::optional<std::string>& moved) {
  if (!moved) return;
  activity_.log(ActivityEvent::Kind::error, "History file was corrupt; moved it to " +
                                                lastPathComponent(*moved) + " and started fresh");
}

void HistoryViewModel::finishLoad(const HistoryStore::Result& result,
                                  const std::optional<std::string>& moved,
                                  const std::vector<std::string>& recoveryLines) {
  if (const auto* error = std::get_if<HistoryStore::Error>(&result)) {
    activity_.log(ActivityEvent::Kind::error, "Could not read history: " + error->description);
    return;
  }
  setEntries(std::get<std::vector<HistoryEntry>>(result));
  reportMovedAside(moved);
  for (const std::string& line : recoveryLines) activity_.log(ActivityEvent::Kind::error, line);
}

void HistoryViewModel::finishRecord(const HistoryStore::Result& result,
                                    const std::optional<std::string>& moved,
                                    const std::vector<HistoryEntry>& added) {
  if (const auto* error = std::get_if<HistoryStore::Error>(&result)) {
    // The removal happened all the same: show it until the program quits.
    entries_.insert(entries_.end(), added.begin(), added.end());
    emit entriesChanged();
    activity_.log(ActivityEvent::Kind::error, "Could not save history: " + error->description);
    return;
  }
  setEntries(std::get<std::vector<HistoryEntry>>(result));
  // A file damaged since it was loaded was moved aside by this append; say so, as at start-up.
  reportMovedAside(moved);
}

std::optional<HistoryEntry> HistoryViewModel::selectedEntry() const {
  if (!selectedEntryID_) return std::nullopt;
  for (const HistoryEntry& entry : entries_) {
    if (entry.id == *selectedEntryID_) return entry;
  }
  return std::nullopt;
}

const HistoryEntry* HistoryViewModel::latestEntry() const {
  const HistoryEntry* latest = nullptr;
  for (const HistoryEntry& entry : entries_) {
    if (!latest || entry.date > latest->date) latest = &entry;
  }
  return latest;
}

std::optional<HistoryViewModel::LastCleanup> HistoryViewModel::lastCleanup() const {
  const HistoryEntry* latest = latestEntry();
  if (!latest) return std::nullopt;
  LastCleanup cleanup{latest->date, 0};
  for (const HistoryEntry& entry : entries_) {
    if (entry.operationID == latest->operationID) cleanup.bytes += entry.bytesFreed;
  }
  return cleanup;
}

bool HistoryViewModel::lastCleanupWasPermanent() const {
  const HistoryEntry* latest = latestEntry();
  if (!latest) return false;
  for (const HistoryEntry& entry : entries_) {
    if (entry.operationID == latest->operationID && entry.permanent) return true;
  }
  return false;
}

std::string HistoryViewModel::defaultFileURL() { return HistoryStore::defaultURL(); }

}  // namespace hl
