#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hl {

// The Linux counterparts of the guard's macOS-only entries, kept apart from its fixed tables
// (trash_guard_tables.h), each in the table of its counterpart. Home-relative entries are
// resolved against the guard's home like those of the fixed tables.
namespace TrashGuardLinuxSupplement {

// Protected locations (each blocks only itself): system folders.
const std::vector<std::string>& protectedAbsolutePaths();

// Protected locations relative to the guard's home: "Videos" (for "Movies"), ".local/state",
// and ".config/X" for every protected "Library/Application Support/X".
const std::vector<std::string>& protectedHomePaths();

// The user's XDG folders (desktop, documents, downloads, music, pictures, videos, templates,
// public share) under their localised names, placed in `home`: a folder inside the user's own
// home keeps its place relative to it; one elsewhere is kept as it is.
std::vector<std::string> userFolders(std::string_view home);

// Forbidden trees relative to the guard's home: ".local/share/keyrings" (for
// "Library/Keychains") and ".config/X" for every forbidden "Library/Application Support/X".
const std::vector<std::string>& forbiddenHomeTrees();

// The temporary folders that stand for the macOS ones of the fixed tables: the user's private
// temporary folder when there is one, and "/tmp".
std::vector<std::string> temporaryFolders();

// Folders whose direct children are where volumes are mounted: "/media", "/media/USER",
// "/run/media/USER" and "/mnt" (beside macOS's "/Volumes", which the guard keeps).
std::vector<std::string> mountParents();

// Where a home-relative entry under ".config", ".local/share" or ".cache" also lies when
// XDG_CONFIG_HOME, XDG_DATA_HOME or XDG_CACHE_HOME names a folder of its own; none otherwise.
std::optional<std::string> relocatedToXdg(std::string_view relative);

}  // namespace TrashGuardLinuxSupplement

}  // namespace hl
