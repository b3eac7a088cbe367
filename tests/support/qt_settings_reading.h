#pragma once

#include <QSettings>
#include <map>
#include <string>

#include "platform/ini_document.h"

namespace hl::test {

// A settings file's values in `IniDocument`'s terms, keyed as Qt keys them ("section/key").
// Typed values ("@Rect(…)" and the like) are compared by kind only.
using IniValues = std::map<std::string, IniDocument::Value>;

// What stands for the value of a key Qt lists but never finds: one that is empty or has a
// leading, trailing or doubled "/" (from "/" or "\\" in the file), since Qt looks a key up under
// its name without them. Only that such a key is there can be compared.
extern const IniDocument::Value kNeverFound;
bool qtFinds(const std::string& key);

// A key as `IniDocument` names it: UTF-8, a lone surrogate in the three bytes UTF-8 gives it.
// Qt's texts are seen the same way, so that a rewrite that changes such a unit is seen to.
std::string keyBytes(const QString& key);

// What Qt's settings class reads: the reading the program used before it read the file itself,
// and the one every file must still read as.
IniValues qtReading(const QSettings& settings);
// Qt's reading as the program reads the same values: a lone surrogate an escape made in a text
// as U+FFFD (the program's texts are UTF-8 or raw bytes), where Qt holds the surrogate itself.
IniValues withLoneSurrogatesReplaced(IniValues values);
// What `IniDocument` reads of the same bytes.
IniValues ourReading(const IniDocument& document);

// The read-only switch as the program read it through Qt's settings class: any value but a plain
// "off" is on, a list or a typed value too; a missing key is off.
bool qtReadOnly(const QSettings& settings);

// A value with texts and bytes alike seen as bytes: a text that is not UTF-8 is written back as
// "@ByteArray(…)" of the same bytes, which compares equal to it this way.
IniDocument::Value asBytes(IniDocument::Value value);

// The bytes as C would write them, for messages about files full of control bytes.
std::string escapedBytes(const std::string& bytes);

}  // namespace hl::test
