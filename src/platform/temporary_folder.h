#pragma once

#include <optional>
#include <string>

namespace hl {

// The user's private temporary folder: $TMPDIR when it names a folder owned by the user that
// neither group nor others may enter, read from the environment at every call. None otherwise:
// the shared /tmp is never the user's own.
std::optional<std::string> privateTemporaryFolder();

}  // namespace hl
