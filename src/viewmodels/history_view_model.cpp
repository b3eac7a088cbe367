#include "viewmodels/history_view_model.h"

#include <QMetaObject>
#include <set>

#include "utilities/path_canonical.h"
#include "viewmodels/activity_log.h"

namespace hl {
namespace {

std::vector<HistoryEntry> entriesFor(const TrashResult& result,
                                     const HistoryViewModel::Categories& categories,
                                     TrashTrigger trigger, UUID operationID, Date date) {
  std::set<std::string> succeeded;
  for (const std::string& url : result.succeeded) succeeded.insert(PathCanonical::canonical(url));

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
      if (auto size = result.sizes.find(path); size != result.sizes.end()) bytes += size->second;
    }
    std::vector<HistoryEntry::Failure> failures;
    for (const TrashResult::Failure& failure : result.failed) {
      const std::string path = PathCanonical::canonical(failure.url);
      if (own.contains(path)) failures.push_back({path, describe(failure.error)});
    }
    if (removed.empty() && failures.empty()) continue;
    entries.push_back(HistoryEntry::make(operationID, date, title, std::move(removed), bytes,
                                         std::move(failures), std::string(rawValue(trigger)),
                                         isPermanent(result.mode)));
  }
  return entries;
}

}  // namespace

HistoryViewModel::HistoryViewModel(std::shared_ptr<HistoryStore> store, ActivityLog& activity,
                                   WallClock clock, QObject* parent)
    : QObject(parent), store_(std::move(store)), activity_(activity), clock_(std::move(clock)) {
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
  runOffThread([this, store = store_, done = std::move(done)]() -> std::function<void()> {
    std::optional<std::string> moved;
    HistoryStore::Result result = store->load(&moved);
    return [this, result = std::move(result), moved, done] {
      finishLoad(result, moved);
      if (done) done();
    };
  });
}

void HistoryViewModel::record(const TrashResult& result, const Categories& categories,
                              TrashTrigger trigger, std::function<void()> done) {
  std::vector<HistoryEntry> added =
      entriesFor(result, categories, trigger, UUID::random(), clock_());
  runOffThread([this, store = store_, added = std::move(added),
                done = std::move(done)]() -> std::function<void()> {
    if (added.empty()) return done ? done : [] {};
    std::optional<std::string> moved;
    HistoryStore::Result stored = store->append(added, &moved);
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
                                  const std::optional<std::string>& moved) {
  if (const auto* error = std::get_if<HistoryStore::Error>(&result)) {
    activity_.log(ActivityEvent::Kind::error, "Could not read history: " + error->description);
    return;
  }
  setEntries(std::get<std::vector<HistoryEntry>>(result));
  reportMovedAside(moved);
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

}  // namespace hl
