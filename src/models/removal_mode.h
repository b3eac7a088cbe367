#pragma once

#include <optional>
#include <string_view>

namespace hl {

// How items are removed: moved to the Trash, or deleted at once.
enum class RemovalMode { trash, deletePermanently };

std::string_view rawValue(RemovalMode mode);
std::optional<RemovalMode> removalModeFromRaw(std::string_view raw);

bool isPermanent(RemovalMode mode);
std::string_view actionTitle(RemovalMode mode);
std::string_view progressTitle(RemovalMode mode);
std::string_view pastParticiple(RemovalMode mode);
// Begins with a blank; appended unchanged to a result sentence.
std::string_view reclaimNote(RemovalMode mode);

// Permanent deletion only when both the confirmed plan and the current setting ask for it: a
// plan confirmed for the Trash is never upgraded.
RemovalMode effectiveRemovalMode(RemovalMode confirmed, RemovalMode current);

}  // namespace hl
