#pragma once

#include <QObject>
#include <QThreadPool>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "models/history_entry.h"
#include "models/removal_mode.h"
#include "models/trash_item.h"
#include "models/trash_result.h"
#include "models/trash_trigger.h"
#include "services/storage/history_store.h"
#include "services/storage/removal_journal.h"
#include "utilities/time.h"
#include "utilities/uuid.h"

namespace hl {

class ActivityLog;

// The removal history as the program shows it: loads the history file, turns each removal
// into one record per category and appends them, and answers what the last cleanup freed.
// GUI thread only; the file is read and written on a worker thread, one call after another in
// the order they were made, and the results come back to the GUI thread.
//
// Every removal is journalled: what it is about to do is written beside the history file before
// it acts, and the journal goes once its record is appended. A journal found when the history is
// loaded is a removal that was cut short; its record is completed then.
class HistoryViewModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::vector<hl::HistoryEntry> entries READ entries WRITE setEntries NOTIFY
                 entriesChanged)
  Q_PROPERTY(std::optional<hl::UUID> selectedEntryID READ selectedEntryID WRITE
                 setSelectedEntryID NOTIFY selectedEntryIDChanged)

 public:
  struct LastCleanup {
    Date date;
    std::int64_t bytes = 0;
    bool operator==(const LastCleanup&) const = default;
  };

  // Category title → the locations removed or attempted for it.
  using Categories = std::map<std::string, std::vector<std::string>>;

  // `clock` dates the records; `activity` must outlive the view model.
  HistoryViewModel(std::shared_ptr<HistoryStore> store, ActivityLog& activity,
                   WallClock clock = systemWallClock(), QObject* parent = nullptr);
  // Waits for a read or write that is under way; its result is dropped.
  ~HistoryViewModel() override;

  // Oldest first, as the file keeps them.
  const std::vector<HistoryEntry>& entries() const { return entries_; }
  std::optional<UUID> selectedEntryID() const { return selectedEntryID_; }
  const std::shared_ptr<HistoryStore>& store() const { return store_; }
  // Where the records are kept.
  const std::string& fileURL() const { return store_->fileURL(); }
  // Where the program keeps them: the history file in the user's data folder.
  static std::string defaultFileURL();

  void setEntries(std::vector<HistoryEntry> entries);
  void setSelectedEntryID(std::optional<UUID> id);

  // Reads the history file once and shows what it holds; an unreadable or damaged file is
  // reported in the activity log. The record of every removal that was cut short is completed
  // first: its items no longer at their paths as removed, the others as failed ("interrupted");
  // the Trash records it reserved for items that never reached the Trash go.
  // `done` runs on the GUI thread afterwards.
  void load(std::function<void()> done = {});

  // Before a removal acts on its first item: writes down what it is about to do (the categories
  // as `record` takes them, the items handed to the removal, the confirmed paths already left
  // out). Returns the operation id its record is to carry. `done` runs on the GUI thread once
  // the journal is on disk; one that cannot be written is logged and does not stop the removal.
  UUID beginRemoval(const Categories& categories, const std::vector<TrashItem>& items,
                    const std::vector<TrashResult::Failure>& skipped, TrashTrigger trigger,
                    RemovalMode mode, std::function<void()> done);

  // Notes each Trash record the removal `operation` reserves beside its journal, so that a record
  // whose item never reached the Trash is removed when the removal is completed at the next start.
  // To be handed to the trash service; may be called on any thread.
  FreedesktopTrash::ReservationNote reservationNote(const UUID& operation) const;

  // Records one removal: one record per category that removed or failed something, sharing one
  // operation id and date, appended to the file in category order. When the file cannot be
  // written the records are still shown. `operation` is the id `beginRemoval` gave: its journal
  // goes once the records are in the file, and stays for the next start when they could not be
  // written. `done` runs on the GUI thread afterwards.
  void record(const TrashResult& result, const Categories& categories, TrashTrigger trigger,
              std::function<void()> done = {}, std::optional<UUID> operation = std::nullopt);

  // The entry whose id is selected; none when nothing or a vanished entry is selected.
  std::optional<HistoryEntry> selectedEntry() const;
  // The date of the latest removal and the bytes all its records freed.
  std::optional<LastCleanup> lastCleanup() const;
  // Whether the latest removal deleted permanently.
  bool lastCleanupWasPermanent() const;

 signals:
  void entriesChanged();
  void selectedEntryIDChanged();

 private:
  void finishLoad(const HistoryStore::Result& result, const std::optional<std::string>& moved,
                  const std::vector<std::string>& recoveryLines);
  void finishRecord(const HistoryStore::Result& result, const std::optional<std::string>& moved,
                    const std::vector<HistoryEntry>& added);
  void reportMovedAside(const std::optional<std::string>& moved);
  const HistoryEntry* latestEntry() const;
  // Runs `work` on the worker thread; `finish` then runs on this object's thread.
  void runOffThread(std::function<std::function<void()>()> work);

  std::vector<HistoryEntry> entries_;
  std::optional<UUID> selectedEntryID_;
  const std::shared_ptr<HistoryStore> store_;
  const std::shared_ptr<RemovalJournal> journal_;
  ActivityLog& activity_;
  const WallClock clock_;
  // One thread, so the file's calls run and report in the order they were made.
  QThreadPool worker_;
};

}  // namespace hl
