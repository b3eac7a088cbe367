#include "models/removal_mode.h"

namespace hl {

std::string_view rawValue(RemovalMode mode) {
  return mode == RemovalMode::trash ? "trash" : "deletePermanently";
}

std::optional<RemovalMode> removalModeFromRaw(std::string_view raw) {
  if (raw == "trash") return RemovalMode::trash;
  if (raw == "deletePermanently") return RemovalMode::deletePermanently;
  return std::nullopt;
}

bool isPermanent(RemovalMode mode) { return mode == RemovalMode::deletePermanently; }

std::string_view actionTitle(RemovalMode mode) {
  return mode == RemovalMode::trash ? "Move to Trash" : "Delete Immediately";
}

std::string_view progressTitle(RemovalMode mode) {
  return mode == RemovalMode::trash ? "Moving to Trash" : "Deleting";
}

std::string_view pastParticiple(RemovalMode mode) {
  return mode == RemovalMode::trash ? "moved to the Trash" : "deleted permanently";
}

std::string_view reclaimNote(RemovalMode mode) {
  return mode == RemovalMode::trash
             ? " Space is reclaimed when you empty the Trash."
             : " The items were deleted permanently; the space is free now.";
}

RemovalMode effectiveRemovalMode(RemovalMode confirmed, RemovalMode current) {
  return confirmed == RemovalMode::deletePermanently && current == RemovalMode::deletePermanently
             ? RemovalMode::deletePermanently
             : RemovalMode::trash;
}

}  // namespace hl
