#pragma once

#include <string>
#include <vector>

#include "services/storage/removal_journal.h"

namespace hl::test {

// The removal journals in `folder` as a running removal leaves them, decoded; a journal that
// cannot be decoded fails the test.
std::vector<PendingRemoval> journalsIn(const std::string& folder);

}  // namespace hl::test
