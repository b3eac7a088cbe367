#pragma once

#include <string>
#include <string_view>

#include "models/full_disk_access_status.h"

namespace hl::FullDiskAccess {

// The address of the platform's privacy settings for full disk access.
inline constexpr std::string_view settingsURL =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles";

// Opens the folder for listing and closes it again: granted when it opens, otherwise the error
// number decides.
Status status(const std::string& folder);

// EPERM is a refusal of the permission (denied); every other error cannot decide.
Status classify(int errorNumber);

// Whether this program holds the permission. Linux has no such permission, so this always
// answers notApplicable and the program never shows the hint.
Status applicationStatus();

// Opens the settings page. There is none on Linux: opens nothing and answers false.
bool openSettings();

}  // namespace hl::FullDiskAccess
