#pragma once

#include <sys/stat.h>

#include "utilities/time.h"

namespace hl {

// When the object's content last changed (st_mtim).
Date contentModificationDate(const struct stat& status);

// When the object's metadata last changed (st_ctim): the closest this platform has to a
// creation date that the user cannot set back.
Date attributeModificationDate(const struct stat& status);

}  // namespace hl
