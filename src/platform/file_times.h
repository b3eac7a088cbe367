#pragma once

#include <optional>
#include <string>

#include "platform/folder_reader.h"
#include "utilities/time.h"

namespace hl {

// When the entry's content last changed (its modification date).
Date contentModificationDate(const EntryStatus& status);

// When the object's metadata last changed (`st_ctim`), read without following a final link:
// the closest this platform has to a creation date that nobody can set back. None when it
// cannot be read.
std::optional<Date> attributeModificationDate(const std::string& path);

}  // namespace hl
