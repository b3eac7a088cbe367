#pragma once

#include <string>
#include <string_view>

namespace hl {

// Where the freedesktop Trash keeps a user's trashed items: the home Trash, and the per-user
// Trash folders at the top of other volumes. Each holds "files/" and "info/".
namespace TrashFolders {

// The user's own home Trash: "$XDG_DATA_HOME/Trash" when XDG_DATA_HOME is an absolute path,
// else "~/.local/share/Trash"; read from the environment at every call.
std::string homeTrash();

// The home Trash that belongs to `home`: the user's own (above) when `home` is the user's home
// folder, else "home/.local/share/Trash".
std::string homeTrash(std::string_view home);

// "top/.Trash/UID": used only when "top/.Trash" is a real folder with the sticky bit.
std::string sharedVolumeTrash(std::string_view top, unsigned uid);

// "top/.Trash-UID": the user's own Trash on the volume whose top is `top`.
std::string privateVolumeTrash(std::string_view top, unsigned uid);

}  // namespace TrashFolders

}  // namespace hl
