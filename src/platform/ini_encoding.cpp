#include "platform/ini_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <optional>

namespace hl::IniEncoding {

void appendUtf8(std::string& out, char32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

namespace {

// A decoded text as a sequence of units: Unicode code points, and the bytes that are not part of
// any UTF-8 sequence as kRawByte + the byte, so that no byte is ever lost or replaced.
using Units = std::u32string;
constexpr char32_t kRawByte = 0x110000;

bool isRaw(char32_t unit) { return unit >= kRawByte; }

// The length of the valid UTF-8 sequence at `i` (overlong forms, surrogates and values above
// U+10FFFF are not valid; surrogates are when `surrogates`, the form a key keeps a lone one in),
// or 0; `point` gets its code point.
std::size_t utf8Sequence(std::string_view text, std::size_t i, char32_t& point,
                         bool surrogates = false) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    point = lead;
    return 1;
  }
  std::size_t length = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, point = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, point = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, point = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(i + k) & 0x3F);
  }
  if (point < minimum || point > 0x10FFFF) return 0;
  if (point >= 0xD800 && point <= 0xDFFF && !surrogates) return 0;
  return length;
}

Units decodeUnits(std::string_view text, bool surrogates = false) {
  Units units;
  for (std::size_t i = 0; i < text.size();) {
    char32_t point = 0;
    const std::size_t length = utf8Sequence(text, i, point, surrogates);
    if (length == 0) {
      units.push_back(kRawByte + static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      units.push_back(point);
      i += length;
    }
  }
  return units;
}

bool isValidUtf8(std::string_view text) {
  char32_t point = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = utf8Sequence(text, i, point);
    if (length == 0) return false;
    i += length;
  }
  return true;
}


// Units as a byte string: code points in UTF-8 (an escaped UTF-16 surrogate pair joined, a lone
// one as U+FFFD), raw bytes as themselves.
std::string unitsToText(const Units& units) {
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = units[i];
    if (isRaw(unit)) {
      text += static_cast<char>(unit - kRawByte);
    } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
               units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(text, 0xFFFD);
    } else {
      appendUtf8(text, unit);
    }
  }
  return text;
}

// Units as Latin-1 bytes, as Qt turns "@ByteArray(…)" into bytes: a character beyond Latin-1
// becomes "?".
std::string unitsToLatin1(Units::const_iterator begin, Units::const_iterator end) {
  std::string bytes;
  for (auto it = begin; it != end; ++it) {
    if (isRaw(*it)) {
      bytes += static_cast<char>(*it - kRawByte);
    } else {
      bytes += *it <= 0xFF ? static_cast<char>(*it) : '?';
    }
  }
  return bytes;
}

bool startsWith(const Units& units, std::string_view prefix) {
  return units.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), units.begin(),
                    [](char a, char32_t b) { return static_cast<char32_t>(a) == b; });
}

int hexValue(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Qt decodes a key, a section name and the first piece of a value each as a text of its own,
// and that decoding drops one byte-order mark at the start: a snippet saved with one and
// appended to the file reads as if it had none.
std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  return text;
}

void appendEscapedUnit(std::string& out, char32_t unit) {
  if (unit <= 0xFF) {
    out += '%';
    out += kHexDigits[unit / 16];
    out += kHexDigits[unit % 16];
  } else {
    out += "%U";
    for (int shift = 12; shift >= 0; shift -= 4) out += kHexDigits[(unit >> shift) & 0xF];
  }
}

bool isHexDigit(char32_t c) { return hexValue(c) >= 0; }

// Escapes one text the way Qt's writer does: control characters as "\xN" (and, outside
// UTF-8 mode, everything from U+007F on), quotes around a text with ";", "," or "=" or with a
// space at either end. Unlike Qt's writer, a byte-order mark is escaped too, so it reads back.
void escapeInto(const Units& text, bool utf8, std::string& out) {
  const std::size_t start = out.size();
  bool needsQuotes = false;
  bool escapeNextIfDigit = false;
  auto hexEscape = [&](char32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "\\x%x", static_cast<unsigned>(value));
    out += buffer;
  };
  for (char32_t ch : text) {
    if (isRaw(ch)) ch -= kRawByte;
    if (ch == ';' || ch == ',' || ch == '=') needsQuotes = true;
    if (escapeNextIfDigit && isHexDigit(ch)) {
      hexEscape(ch);
      continue;
    }
    escapeNextIfDigit = false;
    switch (ch) {
      case '\0': out += "\\0"; escapeNextIfDigit = true; break;
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      case '"':
      case '\\':
        out += '\\';
        out += static_cast<char>(ch);
        break;
      default:
        // A byte-order mark as an escape too: at the start of the first piece of text after
        // the "=" (or after an escape such as "\x1") both readers drop it.
        // A lone surrogate, which only an escape makes, as that escape again.
        if (ch <= 0x1F || (ch >= 0x7F && !utf8) || ch == 0xFEFF ||
            (ch >= 0xD800 && ch <= 0xDFFF)) {
          hexEscape(ch);
          escapeNextIfDigit = true;
        } else if (utf8) {
          appendUtf8(out, ch);
        } else {
          out += static_cast<char>(ch);
        }
    }
  }
  if (needsQuotes ||
      (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
    out.insert(start, 1, '"');
    out += '"';
  }
}

Units asciiUnits(std::string_view text) { return Units(text.begin(), text.end()); }

void chopTrailingSpaces(Units& text, std::size_t limit) {
  while (text.size() > limit && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
}

// Qt's reading of a stored value into one text or a list of texts: escapes, quotes, and commas
// outside quotes. Raw bytes are decoded as UTF-8, keeping every byte that is not.
bool unescapeValue(std::string_view raw, Units& single, std::vector<Units>& list) {
  static constexpr char escapes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'},  {'n', '\n'},
                                        {'r', '\r'}, {'t', '\t'}, {'v', '\v'},  {'"', '"'},
                                        {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  bool isList = false;
  bool inQuotes = false;
  bool quoted = false;
  bool firstPiece = true;
  bool endsOnBackslash = false;
  std::size_t i = 0;
  const std::size_t n = raw.size();
  std::size_t chopLimit = 0;
  auto skipSpaces = [&] {
    while (i < n && (raw[i] == ' ' || raw[i] == '\t')) ++i;
  };
  skipSpaces();
  chopLimit = single.size();
  while (i < n) {
    const char c = raw[i];
    if (c == '\\') {
      ++i;
      // A backslash that ends the value escapes nothing; Qt's reader stops there, without
      // trimming the blank space before it ("a \\" is "a ").
      if (i >= n) {
        endsOnBackslash = true;
        break;
      }
      const char next = raw[i++];
      const auto* known = std::find_if(std::begin(escapes), std::end(escapes),
                                       [&](const char(&pair)[2]) { return pair[0] == next; });
      if (known != std::end(escapes)) {
        single.push_back(static_cast<unsigned char>((*known)[1]));
      } else if ((next == 'x' && i < n && isHexDigit(static_cast<unsigned char>(raw[i]))) ||
                 (next >= '0' && next <= '7')) {
        // Hexadecimal or octal: as many digits as follow, in one 16-bit unit.
        const bool hex = next == 'x';
        char16_t value = hex ? 0 : static_cast<char16_t>(next - '0');
        while (i < n) {
          const int digit = hexValue(static_cast<unsigned char>(raw[i]));
          if (hex ? digit < 0 : (raw[i] < '0' || raw[i] > '7')) break;
          value = static_cast<char16_t>(hex ? (value << 4) + digit : (value << 3) + (raw[i] - '0'));
          ++i;
        }
        single.push_back(value);
      } else if (next == '\n' || next == '\r') {
        // An escaped line break continues the value on the next line.
        if (i < n && (raw[i] == '\n' || raw[i] == '\r') && raw[i] != next) ++i;
      }
      chopLimit = single.size();
    } else if (c == '"') {
      ++i;
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) {
        skipSpaces();
        chopLimit = single.size();
      }
    } else if (c == ',' && !inQuotes) {
      if (!quoted) chopTrailingSpaces(single, chopLimit);
      isList = true;
      list.push_back(std::move(single));
      single.clear();
      quoted = false;
      ++i;
      skipSpaces();
      chopLimit = 0;
    } else {
      std::size_t j = i + 1;
      while (j < n && raw[j] != '\\' && raw[j] != '"' && raw[j] != ',') ++j;
      std::string_view bytes = raw.substr(i, j - i);
      if (firstPiece) bytes = withoutByteOrderMark(bytes);
      firstPiece = false;
      const Units piece = decodeUnits(bytes);
      single.append(piece);
      i = j;
    }
  }
  if (!quoted && !endsOnBackslash) chopTrailingSpaces(single, chopLimit);
  if (isList) list.push_back(std::move(single));
  return isList;
}

// One text of a value as Qt's typed reading takes it, still in units: a text (what follows
// "@String(" or the first "@" of "@@"), the units of "@ByteArray(…)", a typed value whole.
struct TypedUnits {
  Scalar::Kind kind = Scalar::Kind::text;
  Units units;
};

// The arguments Qt splits "@Rect(…)", "@Size(…)" and "@Point(…)" into: one more at every space
// and at every ")" after the "(" (a ")" inside ends an argument without starting a new one).
std::size_t argumentCount(const Units& text, std::size_t open) {
  return static_cast<std::size_t>(
      std::count_if(text.begin() + static_cast<std::ptrdiff_t>(open) + 1, text.end(),
                    [](char32_t c) { return c == ' ' || c == ')'; }));
}

// Qt's typed reading of one text: "@ByteArray(…)" and the other "@" forms. A rectangle, size or
// point with another number of arguments is no typed value to Qt: it stays the text it is.
TypedUnits typedUnits(const Units& text) {
  using Kind = Scalar::Kind;
  if (!text.empty() && text.front() == '@') {
    if (text.back() == ')') {
      if (startsWith(text, "@ByteArray(")) {
        return {Kind::bytes, Units(text.begin() + 11, text.end() - 1)};
      }
      if (startsWith(text, "@String(")) {
        return {Kind::text, Units(text.begin() + 8, text.end() - 1)};
      }
      if (startsWith(text, "@Variant(") || startsWith(text, "@DateTime(")) {
        return {Kind::other, text};
      }
      static constexpr std::pair<std::string_view, std::size_t> geometry[] = {
          {"@Rect(", 4}, {"@Size(", 2}, {"@Point(", 2}};
      const auto* form = std::find_if(std::begin(geometry), std::end(geometry),
                                      [&](const auto& f) { return startsWith(text, f.first); });
      if (form != std::end(geometry)) {
        if (argumentCount(text, form->first.size() - 1) == form->second) {
          return {Kind::other, text};
        }
      } else if (text == asciiUnits("@Invalid()")) {
        return {Kind::invalid, {}};
      }
    }
    if (startsWith(text, "@@")) return {Kind::text, Units(text.begin() + 1, text.end())};
  }
  return {Kind::text, text};
}

// A value as Qt's typed reading takes it: one text, or a list of them. A list is typed element by
// element as soon as one element is a typed value; otherwise a doubled "@" only loses one "@".
std::variant<TypedUnits, std::vector<TypedUnits>> typedValue(std::string_view raw) {
  Units single;
  std::vector<Units> list;
  if (!unescapeValue(raw, single, list)) return typedUnits(single);
  const bool typed = std::any_of(list.begin(), list.end(), [](const Units& element) {
    return !element.empty() && element.front() == '@' &&
           (element.size() < 2 || element[1] != '@');
  });
  std::vector<TypedUnits> elements;
  for (Units& element : list) {
    if (typed) {
      elements.push_back(typedUnits(element));
    } else {
      if (startsWith(element, "@@")) element.erase(element.begin());
      elements.push_back({Scalar::Kind::text, std::move(element)});
    }
  }
  return elements;
}

Scalar asScalar(const TypedUnits& typed) {
  switch (typed.kind) {
    case Scalar::Kind::bytes:
      return {typed.kind, unitsToLatin1(typed.units.begin(), typed.units.end())};
    case Scalar::Kind::invalid: return {typed.kind, {}};
    case Scalar::Kind::text:
    case Scalar::Kind::other: break;
  }
  return {typed.kind, unitsToText(typed.units)};
}

}  // namespace

// Valid UTF-8 with no control characters but tabs and line breaks: what Qt writes and a person
// edits. Anything else in a settings file is damage.
bool isCleanText(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
  }
  return isValidUtf8(text);
}

namespace {

// The number in an escape's two or four units as Qt reads it (as `QString::toUShort(…, 16)`
// does): ASCII white space around it, then an optional "+", an optional "0x" or "0X" and at
// least one hexadecimal digit. "%U 052", "%U+052", "%U0x52" and "%U52  " are all "R"; a "-", a
// space after the sign or any other character leaves the "%" as it stands. Qt reads the number
// as a C string, so a NUL ends it and the units after it count for nothing: "%U079" and a NUL
// is "y", the NUL taken in with the escape.
std::optional<char16_t> escapedUnit(std::u16string_view digits) {
  digits = digits.substr(0, digits.find(u'\0'));
  while (!digits.empty() && isAsciiSpace(digits.front())) digits.remove_prefix(1);
  while (!digits.empty() && isAsciiSpace(digits.back())) digits.remove_suffix(1);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  if (digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
  }
  if (digits.empty()) return std::nullopt;
  unsigned value = 0;
  for (const char16_t c : digits) {
    const int digit = hexValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return static_cast<char16_t>(value);
}

// A key's text as Qt holds it, in UTF-16: every byte that is not part of valid UTF-8 becomes
// U+FFFD, one for each byte, as Qt's decoder makes it.
std::u16string keyUnits(std::string_view raw) {
  std::u16string units;
  for (std::size_t i = 0; i < raw.size();) {
    char32_t point = 0;
    std::size_t length = utf8Sequence(raw, i, point);
    if (length == 0) point = 0xFFFD, length = 1;
    if (point > 0xFFFF) {
      units += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
      units += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      units += static_cast<char16_t>(point);
    }
    i += length;
  }
  return units;
}

// UTF-16 units as a key's bytes: UTF-8, with a lone surrogate (which an escape can make) in the
// three bytes UTF-8 would give it, so that the key is written back with the same unit.
std::string keyText(std::u16string_view units) {
  std::string text;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      appendUtf8(text, unit);
    }
  }
  return text;
}

}  // namespace

// As Qt's reader decodes a key: the text as UTF-16 (a byte-order mark at its start dropped, a
// byte that is not UTF-8 as U+FFFD), "\" as "/", "%" and two units or "%U" and four units as the
// unit they give (`escapedUnit`); a "%" they do not make an escape stands as it is.
std::string unescapeKey(std::string_view raw) {
  const std::u16string key = keyUnits(withoutByteOrderMark(raw));
  std::u16string result;
  for (std::size_t i = 0; i < key.size();) {
    const char16_t ch = key[i];
    if (ch == '\\') {
      result += u'/';
      ++i;
      continue;
    }
    if (ch != '%' || i + 1 == key.size()) {
      result += ch;
      ++i;
      continue;
    }
    std::size_t first = i + 1;
    std::size_t digits = 2;
    if (key[first] == 'U') ++first, digits = 4;
    const std::optional<char16_t> unit =
        first + digits <= key.size()
            ? escapedUnit(std::u16string_view(key).substr(first, digits))
            : std::nullopt;
    if (!unit) {
      result += u'%';
      ++i;
      continue;
    }
    result += *unit;
    i = first + digits;
  }
  return keyText(result);
}

// Every character but letters, digits, "_", "-" and "." escaped, "/" as "\", except at the end:
// there a backslash would escape the "=" after the key (or the "]" after a section name), so the
// line would lose its key.
std::string escapeKey(std::string_view key) {
  std::string out;
  for (const char32_t point : decodeUnits(key, true)) {
    if (point == '/') {
      out += '\\';
    } else if ((point >= 'a' && point <= 'z') || (point >= 'A' && point <= 'Z') ||
               (point >= '0' && point <= '9') || point == '_' || point == '-' || point == '.') {
      out += static_cast<char>(point);
    } else if (point > 0xFFFF && !isRaw(point)) {
      // Written as its UTF-16 surrogate pair, the units Qt's reader expects.
      appendEscapedUnit(out, 0xD800 + ((point - 0x10000) >> 10));
      appendEscapedUnit(out, 0xDC00 + ((point - 0x10000) & 0x3FF));
    } else {
      appendEscapedUnit(out, isRaw(point) ? point - kRawByte : point);
    }
  }
  if (!out.empty() && out.back() == '\\') {
    out.pop_back();
    out += "%2F";
  }
  return out;
}

bool sortsBefore(std::string_view a, std::string_view b) {
  const auto units = [](std::string_view text) {
    std::u16string out;
    for (const char32_t point : decodeUnits(text, true)) {
      if (isRaw(point)) {
        out += static_cast<char16_t>(point - kRawByte);
      } else if (point > 0xFFFF) {
        out += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
      } else {
        out += static_cast<char16_t>(point);
      }
    }
    return out;
  };
  return units(a) < units(b);
}

void encodeBytesInto(std::string_view bytes, std::string& out) {
  Units units = asciiUnits("@ByteArray(");
  for (const char c : bytes) units.push_back(static_cast<unsigned char>(c));
  units.push_back(')');
  escapeInto(units, false, out);
}


// A text as one value or one list element: "@" doubled so that it never reads as a typed value;
// a text that is not UTF-8 as its bytes.
void encodeTextInto(std::string_view text, std::string& out) {
  if (!isValidUtf8(text)) {
    encodeBytesInto(text, out);
    return;
  }
  Units units = decodeUnits(text);
  if (!units.empty() && units.front() == '@') units.insert(units.begin(), '@');
  escapeInto(units, true, out);
}

namespace {

// One text of a value written again so that Qt reads the same units: as a text, a lone
// surrogate an escape made as that escape again; raw bytes as "@ByteArray(…)" of the bytes the
// program reads.
void reencodeInto(const TypedUnits& typed, std::string& out) {
  switch (typed.kind) {
    case Scalar::Kind::text: {
      if (std::any_of(typed.units.begin(), typed.units.end(), isRaw)) {
        encodeTextInto(unitsToText(typed.units), out);
        return;
      }
      Units units;
      if (!typed.units.empty() && typed.units.front() == '@') units.push_back('@');
      for (std::size_t i = 0; i < typed.units.size(); ++i) {
        const char32_t unit = typed.units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < typed.units.size() &&
            typed.units[i + 1] >= 0xDC00 && typed.units[i + 1] <= 0xDFFF) {
          units.push_back(0x10000 + ((unit - 0xD800) << 10) + (typed.units[++i] - 0xDC00));
        } else {
          units.push_back(unit);
        }
      }
      escapeInto(units, true, out);
      return;
    }
    case Scalar::Kind::bytes:
      encodeBytesInto(unitsToLatin1(typed.units.begin(), typed.units.end()), out);
      return;
    case Scalar::Kind::invalid: out += "@Invalid()"; return;
    case Scalar::Kind::other: escapeInto(typed.units, false, out); return;
  }
}

}  // namespace

Value decodeValue(std::string_view raw) {
  const auto typed = typedValue(raw);
  if (const auto* single = std::get_if<TypedUnits>(&typed)) return asScalar(*single);
  std::vector<Scalar> elements;
  for (const TypedUnits& element : std::get<std::vector<TypedUnits>>(typed)) {
    elements.push_back(asScalar(element));
  }
  return elements;
}

std::string reencodeValue(std::string_view raw) {
  const auto typed = typedValue(raw);
  std::string out;
  if (const auto* single = std::get_if<TypedUnits>(&typed)) {
    reencodeInto(*single, out);
    return out;
  }
  const auto& list = std::get<std::vector<TypedUnits>>(typed);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i > 0) out += ", ";
    reencodeInto(list[i], out);
  }
  return out;
}

}  // namespace hl::IniEncoding
