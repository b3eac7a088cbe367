#include "services/scan/cache_scan_event.h"

namespace hl {

std::optional<std::string> CacheScanEvent::itemId() const {
  if (const auto* sized = get<ItemSized>()) return sized->id;
  if (const auto* status = get<WorktreeStatus>()) return status->id;
  return std::nullopt;
}

std::string_view rawValue(CacheScanEvent::Kind kind) {
  switch (kind) {
    case CacheScanEvent::Kind::discovered:
      return "discovered";
    case CacheScanEvent::Kind::added:
      return "added";
    case CacheScanEvent::Kind::itemSized:
      return "itemSized";
    case CacheScanEvent::Kind::groupFinished:
      return "groupFinished";
    case CacheScanEvent::Kind::worktreeStatus:
      return "worktreeStatus";
    case CacheScanEvent::Kind::runningOwners:
      return "runningOwners";
    case CacheScanEvent::Kind::inUse:
      return "inUse";
    case CacheScanEvent::Kind::toolsResolved:
      return "toolsResolved";
    case CacheScanEvent::Kind::finished:
      return "finished";
  }
  return "";
}

}  // namespace hl
