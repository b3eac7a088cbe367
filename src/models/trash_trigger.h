#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// Who started a removal. The text goes into activity-log lines and into every history record
// of the removal.
enum class TrashTrigger { quickClean, confirmationSheet, scanner };

inline constexpr std::array<TrashTrigger, 3> allTrashTriggers = {
    TrashTrigger::quickClean, TrashTrigger::confirmationSheet, TrashTrigger::scanner};

// "Quick Clean (menu bar)", "Move to Trash (sheet)", "Scanner".
std::string_view rawValue(TrashTrigger trigger);
std::optional<TrashTrigger> trashTriggerFromRaw(std::string_view raw);

// The activity line of a removal refused because another removal of the same page is running
// or being prepared: "Move to Trash (sheet): refused, a removal is already running".
std::string refusedWhileRemoving(TrashTrigger trigger);

}  // namespace hl
