#pragma once

namespace hl::FullDiskAccess {

// Whether the program may read every file of the user: the answer the views show a hint for.
enum class Status { granted, denied, notApplicable };

}  // namespace hl::FullDiskAccess
