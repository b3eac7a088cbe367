#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_document.h"
#include "utilities/time.h"

namespace hl {

// The program's settings file, $XDG_CONFIG_HOME/Harborlume/Harborlume.conf: the file Qt's
// settings class keeps for organisation and application "Harborlume", in its INI form, read and
// written only through `IniDocument`. The settings store writes it; a few core services read and
// write single keys of it.
//
// Every write reads the file afresh, changes only the keys it was given, and replaces the file
// atomically: a failure (a full disk) leaves the old file exactly as it was. A file that was
// damaged is first kept beside it under a dated name, so a rewrite never drops bytes unseen.
namespace SettingsFile {

inline constexpr std::string_view organization = "Harborlume";
inline constexpr std::string_view application = "Harborlume";

// $XDG_CONFIG_HOME/Harborlume/Harborlume.conf, read from the environment at every call.
std::string standardPath();

// Where the settings are: the file the program writes, and the files a key is read from, in
// order, when that file does not hold it.
struct Location {
  std::string path;
  std::vector<std::string> alsoRead;
  Location(std::string path, std::vector<std::string> alsoRead = {})  // NOLINT: a path alone
      : path(std::move(path)), alsoRead(std::move(alsoRead)) {}
  Location(const char* path) : Location(std::string(path)) {}  // NOLINT: a path alone
};

// The files Qt's settings class reads for organisation and application "Harborlume", in the
// order it looks a key up in them: the user's file, the organisation's file beside its folder
// ($XDG_CONFIG_HOME/Harborlume.conf), then "Harborlume/Harborlume.conf" in every system
// configuration folder ($XDG_CONFIG_DIRS, else /etc/xdg), then "Harborlume.conf" in every one.
// An administrator switches read-only mode on for every user there; only the user's file is
// ever written.
Location standardLocation();

// The file as it stands.
struct Contents {
  IniDocument document;
  // It exists but could not be read (no permission, an I/O error, a folder in its place).
  std::optional<std::string> failure;
  // Nothing in it can be trusted to say what it holds: it could not be read, or could not be
  // read as text at all (UTF-16, binary garbage).
  bool unreadable() const { return failure.has_value() || document.unreadable(); }
};
Contents read(const std::string& path);

// Every file of a location as it stands, in the order a key is looked up in them.
struct Reading {
  struct File {
    std::string path;
    Contents contents;
  };
  std::vector<File> files;
  // The settings as the program reads them: each key as the first file holding it has it.
  IniDocument document() const;
};
Reading readAll(const Location& location);

// The typed readings of one stored value; none when the key is missing or its value is not of
// the type. A Boolean is exactly "true" or "false", a number a text that is wholly one finite
// decimal number.
std::optional<bool> boolValue(const IniDocument& document, std::string_view key);
std::optional<double> numberValue(const IniDocument& document, std::string_view key);
// A list of paths (byte strings). A plain text is a list of one, an empty text or "@Invalid()"
// the empty list; a list holding anything but texts (or raw bytes) reads as empty.
std::vector<std::string> listValue(const IniDocument& document, std::string_view key);
// Raw bytes ("@ByteArray(…)").
std::optional<std::string> bytesValue(const IniDocument& document, std::string_view key);
// A switch that forbids something, read so that it fails closed. The files are asked in order,
// and the first that holds the key gives its value: false only for a value that plainly says off
// ("false", "no", "off" in any case, or a number equal to zero), true for everything else. A file
// met on the way that cannot be read, or is damaged, may hold the switch where it could not be
// read, or hold it again after a damaged line: the switch is then on, and `doubt` says why.
struct Switch {
  // None when no file holds the key and every file could be read cleanly.
  std::optional<bool> on;
  // "the settings file PATH cannot be read" or "… is damaged" when that, not a value, set it on.
  std::optional<std::string> doubt;
  // The file whose value was read, when one held the key.
  std::optional<std::string> source = std::nullopt;
  bool operator==(const Switch&) const = default;
};
Switch failingClosedValue(const Reading& reading, std::string_view key);

// What a write did.
struct WriteOutcome {
  // "path: reason" when the file could not be written; it is then as it was.
  std::optional<std::string> failure;
  // Where the bytes of a damaged file were kept before it was rewritten.
  std::optional<std::string> keptCopy;
};
// Sets each key to its stored form (`IniDocument::encode…`) in the file at `path`, creating the
// file and its folder when needed. `now` dates the copy of a damaged file.
WriteOutcome write(const std::string& path, const std::map<std::string, std::string>& values,
                   Date now);

// Single keys of the standard location.
std::optional<bool> readBool(std::string_view key);
Switch readFailingClosed(std::string_view key);
// Stores a Boolean and writes the file at once; false when it could not be written.
bool writeBool(std::string_view key, bool value);

// The fail-closed reading of one stored text.
bool parseFailingClosed(std::string_view text);
// The strict reading of one stored text as a Boolean: exactly "true" or "false", else none.
std::optional<bool> parseBool(std::string_view text);
// The strict reading of one stored text as a number: the whole text is one finite decimal
// number ("240", "250.5", "-1e3"); none for anything else, blanks and "inf" included.
std::optional<double> parseNumber(std::string_view text);
// A number in its shortest form that reads back the same ("262.5", "240").
std::string formatNumber(double value);

}  // namespace SettingsFile

}  // namespace hl
