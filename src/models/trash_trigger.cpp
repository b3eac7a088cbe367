#include "models/trash_trigger.h"

namespace hl {

std::string_view rawValue(TrashTrigger trigger) {
  switch (trigger) {
    case TrashTrigger::quickClean: return "Quick Clean (menu bar)";
    case TrashTrigger::confirmationSheet: return "Move to Trash (sheet)";
    case TrashTrigger::scanner: return "Scanner";
  }
  return {};
}

std::string_view shownName(TrashTrigger trigger) {
  // Quick Clean opens from the tray icon here.
  return trigger == TrashTrigger::quickClean ? "Quick Clean (tray)" : rawValue(trigger);
}

std::optional<TrashTrigger> trashTriggerFromRaw(std::string_view raw) {
  for (TrashTrigger trigger : allTrashTriggers) {
    if (rawValue(trigger) == raw) return trigger;
  }
  return std::nullopt;
}

std::string refusedWhileRemoving(TrashTrigger trigger) {
  return std::string(shownName(trigger)) + ": refused, a removal is already running";
}

}  // namespace hl
