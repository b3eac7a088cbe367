#pragma once

#include <string>
#include <string_view>

#include "platform/ini_document.h"

namespace hl {

// The texts of a settings file in the INI form of Qt's settings class, one at a time: keys and
// section names with their "%XX" escapes, values with their quotes, escapes, commas and "@"
// forms. Decoded as Qt decodes them; a byte that is not part of valid UTF-8 is kept as itself.
namespace IniEncoding {

using Scalar = IniDocument::Scalar;
using Value = IniDocument::Value;

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The blank space Qt trims from keys and section names and around the digits of an escape: a
// vertical tab and a form feed among it.
inline bool isAsciiSpace(char32_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Appends the UTF-8 form of a code point; a lone surrogate in the three bytes UTF-8 would give
// it.
void appendUtf8(std::string& out, char32_t point);

// Valid UTF-8 with no control characters but tabs and line breaks: what Qt writes and a person
// edits. Anything else in a settings file is damage.
bool isCleanText(std::string_view text);

// A key or section name as stored, and back. Read exactly as Qt's reader decodes it: every form
// of its "%XX" and "%UXXXX" escapes (white space, a "+", a "0x" around the digits), a byte that
// is not UTF-8 as U+FFFD, a lone surrogate an escape makes kept (in the three bytes UTF-8 would
// give it). Written so that Qt's reader and ours decode the same text: never ending in a
// backslash, which would escape the "=" after it.
std::string unescapeKey(std::string_view raw);
std::string escapeKey(std::string_view key);
// Whether key or section name `a` comes before `b` in the order Qt keeps them in (their UTF-16
// units).
bool sortsBefore(std::string_view a, std::string_view b);

// A value as stored (between "=" and the end of its line), as Qt reads it; a lone surrogate an
// escape made as U+FFFD.
Value decodeValue(std::string_view raw);
// The same value written again on one clean line that Qt reads as it read `raw`, every unit of
// it (a lone surrogate too), but a text holding bytes that are not UTF-8, written as the bytes
// the program reads; for a value that cannot be written back as it stands (damaged, left open,
// over several lines).
std::string reencodeValue(std::string_view raw);

// The stored forms of one text and one byte string, appended to `out`.
void encodeTextInto(std::string_view text, std::string& out);
void encodeBytesInto(std::string_view bytes, std::string& out);

}  // namespace IniEncoding

}  // namespace hl
