#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace hl {

// Who started a removal. Its stored text goes into every history record of the removal, its
// shown name into the activity-log lines.
enum class TrashTrigger { quickClean, confirmationSheet, scanner };

inline constexpr std::array<TrashTrigger, 3> allTrashTriggers = {
    TrashTrigger::quickClean, TrashTrigger::confirmationSheet, TrashTrigger::scanner};

// "Quick Clean (menu bar)", "Move to Trash (sheet)", "Scanner": what history files hold, kept
// as it is for the files already written and the programs that read them.
std::string_view rawValue(TrashTrigger trigger);
std::optional<TrashTrigger> trashTriggerFromRaw(std::string_view raw);
// The stored text in the desktop's words: "Quick Clean (tray)".
std::string_view shownName(TrashTrigger trigger);

// The activity line of a removal refused because another removal of the same page is running
// or being prepared: "Move to Trash (sheet): refused, a removal is already running".
std::string refusedWhileRemoving(TrashTrigger trigger);

}  // namespace hl
