#include "services/removal/trash_service.h"

#include "platform/absolute_path.h"
#include "platform/freedesktop_trash.h"
#include "platform/permanent_remover.h"
#include "platform/trash_folders.h"
#include "utilities/path_canonical.h"

namespace hl {

TrashService::TrashService(std::string home, DestructiveGate gate,
                           std::optional<std::string> homeTrash, WallClock clock)
    : guardrail_{absolutePath(home).value_or(home)},
      gate_(std::move(gate)),
      homeTrash_(std::move(homeTrash)),
      clock_(clock ? std::move(clock) : systemWallClock()) {}

TrashResult TrashService::trash(const std::vector<TrashItem>& items, RemovalMode mode,
                                const Progress& progress,
                                const FreedesktopTrash::ReservationNote& reserved) {
  std::lock_guard lock(running_);
  TrashResult result;
  result.mode = mode;

  if (gate_.readOnlyReason) {
    for (const TrashItem& item : items) {
      result.failed.push_back({item.url, TrashError::readOnly(*gate_.readOnlyReason)});
    }
    return result;
  }

  const std::optional<std::vector<TrashGuard::Protected>> protectedList =
      guardrail_.protectedLocations();
  const int total = static_cast<int>(items.size());
  for (int i = 0; i < total; ++i) {
    const TrashItem& item = items[static_cast<std::size_t>(i)];
    const std::string shown = PathCanonical::canonical(item.url);

    std::optional<RemovalError> failure;
    // Whether what is removed is the item itself: never a link standing in its place, even one
    // that was already there when the plan was made (a tool may have moved the measured folder
    // away between the scan and the plan), for what it led to stays where it is.
    bool itself = false;
    auto verdict = guardrail_.judge(item.url, item.allowedRoot, item.allowRootItself, protectedList,
                                    item.shellSnapshotRuleVerified);
    if (auto* refusal = std::get_if<TrashError>(&verdict)) {
      failure = *refusal;
    } else if (const auto& approval = std::get<TrashGuard::Approval>(verdict);
               item.shown && item.shown->object != approval.identifier) {
      failure = StateChanged::changedSinceShown();
    } else {
      itself = !approval.isSymbolicLink;
      const RemovalTarget target{approval.path, approval.identifier, shown, item.shown};
      if (isPermanent(mode)) {
        failure = PermanentRemover::remove(target);
      } else {
        failure = FreedesktopTrash::moveToTrash(
            target, homeTrash_ ? *homeTrash_ : TrashFolders::homeTrash(), clock_(), reserved);
      }
    }

    if (failure) {
      result.failed.push_back({item.url, std::move(*failure)});
    } else {
      result.succeeded.push_back(item.url);
      const std::int64_t freed = itself ? item.size : 0;
      result.bytesFreed += freed;
      result.sizes[shown] = freed;
    }
    if (progress) progress(i + 1, total);
  }
  return result;
}

}  // namespace hl
