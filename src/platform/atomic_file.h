#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace hl {

// The one way the program replaces a file of its own (the history, the settings, the removal
// journal): every byte is written to a new file beside it and checked, the new file is flushed
// to disk, and only then renamed over the old one. Any failure on the way (a full disk, an I/O
// error, a folder that cannot be written) removes the new file and leaves the old one exactly as
// it was, so no reader ever finds the file empty or half written.
namespace AtomicFile {

// Why a write failed: "path: reason", shown to the user as it stands.
using Failure = std::string;

// Replaces the file at `path` (or creates it; its folder must exist) with `bytes`. A file that
// is a symbolic link is replaced where the link leads, so a linked settings file stays linked.
// An existing file keeps its permissions. None on success.
std::optional<Failure> replace(const std::string& path, std::string_view bytes);

// Puts `bytes` under `path` as `replace` does (a file of its owner's alone), and holds an
// exclusive lock (`flock`) on it from before it can be seen there: another process that takes the
// lock without waiting never finds the file unheld or half written while the returned descriptor
// is open. Invalid, with `failure` set, when it could not be done; nothing is left then.
UniqueFd replaceHolding(const std::string& path, std::string_view bytes, Failure& failure);

// What `create` did.
enum class Created { created, nameTaken, failed };

// Puts `bytes` durably under `path` only when nothing has that name yet: written and flushed
// under a temporary name first, then linked into place without replacing anything. The file is
// its owner's alone whatever the umask: it is a copy kept of one of the user's own files, which
// may have been private. `failure` learns why when the result is `failed`.
Created create(const std::string& path, std::string_view bytes, Failure* failure = nullptr);

}  // namespace AtomicFile

}  // namespace hl
