#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hl {

// The program's settings file: QSettings with organisation and application "Harborlume", on
// Linux $XDG_CONFIG_HOME/Harborlume/Harborlume.conf. The settings store writes it; a few core
// services read single keys from it.
namespace SettingsFile {

inline constexpr std::string_view organization = "Harborlume";
inline constexpr std::string_view application = "Harborlume";

// A Boolean read strictly: true or false only when the stored value is a Boolean ("true" or
// "false" in the file's text form); none when the key is missing or holds anything else.
std::optional<bool> readBool(std::string_view key);

// A switch that forbids something, read so that it fails closed: none when the key is missing;
// false only for a value that plainly says off ("false", "no", "off" in any case, or a number
// equal to zero); true for every other value, "true", "YES", "1", "on", any other number,
// garbage and an empty text alike.
std::optional<bool> readFailingClosed(std::string_view key);

// The fail-closed reading of one stored text.
bool parseFailingClosed(std::string_view text);

// Stores a Boolean under `key` and writes the file at once; false when it could not be written.
bool writeBool(std::string_view key, bool value);

// The strict reading of one stored text as a Boolean: exactly "true" or "false", else none.
std::optional<bool> parseBool(std::string_view text);

// The strict reading of one stored text as a number: the whole text is one finite decimal
// number ("240", "250.5", "-1e3"); none for anything else, blanks and "inf" included.
std::optional<double> parseNumber(std::string_view text);

}  // namespace SettingsFile

}  // namespace hl
