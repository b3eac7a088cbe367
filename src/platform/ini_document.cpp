#include "platform/ini_document.h"

#include <algorithm>
#include <cctype>

#include "platform/ini_encoding.h"

namespace hl {

using IniEncoding::decodeValue;
using IniEncoding::encodeBytesInto;
using IniEncoding::encodeTextInto;
using IniEncoding::escapeKey;
using IniEncoding::isAsciiSpace;
using IniEncoding::isCleanText;
using IniEncoding::kByteOrderMark;
using IniEncoding::reencodeValue;
using IniEncoding::sortsBefore;
using IniEncoding::unescapeKey;

namespace {

// The blank space a line may start with (not a vertical tab or a form feed, which Qt trims from a
// key but which start a line that is neither a key nor a section).
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isSpecial(char c) {
  return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

// The file's physical lines and whether each is clean, so that a quote or an escaped line break
// in damaged bytes never swallows the good lines after it (unless the lines are split as Qt
// splits them).
class PhysicalLines {
 public:
  PhysicalLines(std::string_view data, IniDocument::Splitting splitting)
      : asQt_(splitting == IniDocument::Splitting::asQt) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= data.size(); ++i) {
      if (i == data.size() || data[i] == '\n' || data[i] == '\r') {
        ends_.push_back(i);
        clean_.push_back(isCleanText(data.substr(start, i - start)));
        start = i + 1;
      }
    }
  }
  bool allClean() const { return std::all_of(clean_.begin(), clean_.end(), [](bool c) { return c; }); }
  // Whether a logical line may go on past the line break at `at`.
  bool mayCross(std::size_t at) const {
    const auto line = static_cast<std::size_t>(
        std::lower_bound(ends_.begin(), ends_.end(), at) - ends_.begin());
    return line + 1 < clean_.size() && (asQt_ || (clean_[line] && clean_[line + 1]));
  }

 private:
  bool asQt_;
  std::vector<std::size_t> ends_;
  std::vector<bool> clean_;
};

// Qt's splitting of the file into logical lines: a quoted text or an escaped line break may go on
// over several lines; ";" starts a comment at the beginning of a line and ends a value outside
// quotes. `quoteSpansLines` tells that a quote went on past a line break, which Qt never writes:
// a quote someone left open, which takes in the lines after it. Returns false at the end of the
// data.
bool readLine(std::string_view data, const PhysicalLines& physical, std::size_t& position,
              std::size_t& lineStart, std::size_t& lineLength, std::ptrdiff_t& equals,
              bool& quoteSpansLines) {
  const std::size_t n = data.size();
  bool inQuotes = false;
  equals = -1;
  quoteSpansLines = false;
  lineStart = position;
  while (lineStart < n && isSpace(data[lineStart])) ++lineStart;
  std::size_t i = lineStart;
  while (i < n) {
    char ch = data[i];
    while (!isSpecial(ch)) {
      if (++i == n) goto done;
      ch = data[i];
    }
    ++i;
    if (ch == '=') {
      if (!inQuotes && equals == -1) equals = static_cast<std::ptrdiff_t>(i - 1);
    } else if (ch == '\n' || ch == '\r') {
      if (i == lineStart + 1) {
        ++lineStart;
      } else if (!inQuotes || !physical.mayCross(i - 1)) {
        --i;
        goto done;
      } else {
        quoteSpansLines = true;
      }
    } else if (ch == '\\') {
      if (i < n) {
        const char next = data[i];
        if ((next == '\n' || next == '\r') && !physical.mayCross(i)) goto done;
        ++i;
        if (i < n) {
          const char after = data[i];
          if ((next == '\n' && after == '\r') || (next == '\r' && after == '\n')) ++i;
        }
      }
    } else if (ch == '"') {
      inQuotes = !inQuotes;
    } else {  // ';'
      if (i == lineStart + 1) {
        while (i < n && data[i] != '\n' && data[i] != '\r') ++i;
        while (i < n && isSpace(data[i])) ++i;
        lineStart = i;
      } else if (!inQuotes) {
        --i;
        goto done;
      }
    }
  }
done:
  lineLength = i - lineStart;
  position = i;
  return lineLength > 0;
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return isAsciiSpace(static_cast<unsigned char>(c)); };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Whether a value as read ends inside a quote or on a backslash that escapes nothing: the file
// ended there, or damage cut the line. Written back as it stands, it would carry on over the
// lines written after it.
bool leavesLineOpen(std::string_view raw) {
  bool inQuotes = false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\') {
      if (++i == raw.size()) return true;
    } else if (raw[i] == '"') {
      inQuotes = !inQuotes;
    }
  }
  return inQuotes;
}

// Whether a backslash in a value escapes the first byte of a character that is not ASCII. Qt's
// writer never writes one; its reader skips that byte alone and reads the rest of the character
// as replacement characters, where ours keeps the bytes.
bool escapesPartOfACharacter(std::string_view raw) {
  for (std::size_t i = 0; i + 1 < raw.size(); ++i) {
    if (raw[i] == '\\' && static_cast<unsigned char>(raw[++i]) >= 0x80) return true;
  }
  return false;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

IniDocument IniDocument::parse(std::string_view data, Splitting splitting) {
  IniDocument document;
  // Qt looks for the sections of a file that starts with a byte-order mark as if it were not
  // there, but reads the keys before the first section with it, as the start of the first line.
  if (data.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    std::size_t first = kByteOrderMark.size();
    while (first < data.size() && isSpace(data[first])) ++first;
    if (first < data.size() && data[first] == '[') data.remove_prefix(kByteOrderMark.size());
  }
  const PhysicalLines physical(data, splitting);
  document.damaged_ = !physical.allClean();

  std::string section;
  // The section each key was last set in. Qt reads the sections in the order of their names, so
  // of two that set the same key ("a\b" under "[General]" and "b" under "[a]"), the one whose
  // name sorts later gives its value, wherever it stands in the file.
  std::map<std::string, std::string, std::less<>> setIn;
  std::size_t position = 0;
  std::size_t start = 0;
  std::size_t length = 0;
  std::ptrdiff_t equals = -1;
  bool quoteSpansLines = false;
  while (readLine(data, physical, position, start, length, equals, quoteSpansLines)) {
    const std::string_view line = data.substr(start, length);
    if (quoteSpansLines) document.damaged_ = true;
    if (line.front() == '[') {
      // A name with bytes that are not UTF-8 is read as Qt reads it, with U+FFFD in their place
      // (the bytes made the file damaged).
      std::size_t close = line.find(']');
      if (close == std::string_view::npos) {
        document.damaged_ = true;
        close = line.size();
      }
      const std::string_view name = trimmed(line.substr(1, close - 1));
      if (equalsIgnoringAsciiCase(name, "general")) {
        section.clear();
      } else if (equalsIgnoringAsciiCase(name, "%general")) {
        section = std::string(name.substr(1)) + "/";
      } else {
        section = unescapeKey(name) + "/";
      }
      if (isCleanText(line)) ++document.readLines_;
      continue;
    }
    if (equals < 0) {
      const bool byteOrderMarkAlone = start == 0 && line == kByteOrderMark;
      if (line.front() != ';' && !byteOrderMarkAlone) document.damaged_ = true;
      continue;
    }
    // Every key Qt reads is read, as Qt decodes it: trimmed of blank space (a vertical tab too),
    // with bytes that are not UTF-8 and control characters (which made the file damaged). A
    // rewrite keeps it, so that Qt reads it as before.
    const std::string_view rawKey =
        trimmed(data.substr(start, static_cast<std::size_t>(equals) - start));
    const auto valueStart = static_cast<std::size_t>(equals) + 1;
    Entry entry{std::string(data.substr(valueStart, start + length - valueStart)), true};
    // A value left open (the file cut short, or damage ended its line) is damage too, and so is
    // one that Qt reads with replacement characters.
    const bool sound = isCleanText(entry.raw) && !leavesLineOpen(entry.raw) &&
                       !escapesPartOfACharacter(entry.raw);
    if (!sound) document.damaged_ = true;
    // One that goes on over a line break is written back on one line.
    entry.clean = sound && entry.raw.find_first_of("\n\r") == std::string::npos;
    if (isCleanText(rawKey)) ++document.readLines_;
    std::string key = section + unescapeKey(rawKey);
    const auto [where, first] = setIn.try_emplace(key, section);
    if (!first && where->second != section && sortsBefore(section, where->second)) continue;
    where->second = section;
    document.entries_[std::move(key)] = std::move(entry);
  }
  return document;
}

std::optional<IniDocument::Value> IniDocument::value(std::string_view key) const {
  const auto found = entries_.find(key);
  if (found == entries_.end()) return std::nullopt;
  return decodeValue(found->second.raw);
}

bool IniDocument::contains(std::string_view key) const { return entries_.contains(key); }

std::vector<std::string> IniDocument::keys() const {
  std::vector<std::string> keys;
  for (const auto& [key, entry] : entries_) keys.push_back(key);
  return keys;
}

void IniDocument::addMissing(const IniDocument& other) {
  for (const auto& [key, entry] : other.entries_) entries_.try_emplace(key, entry);
}

void IniDocument::set(std::string_view key, std::string encoded) {
  entries_.insert_or_assign(std::string(key), Entry{std::move(encoded), true});
}

std::string IniDocument::serialize() const {
  // Sections in order, the general one first. A key is written under the section named by what
  // comes before its first "/"; one without a "/", or starting with one (which Qt keeps as
  // spelled and never finds under a name without it), is written whole under "[General]".
  std::map<std::string, std::vector<std::pair<std::string, const Entry*>>> sections;
  for (const auto& [key, entry] : entries_) {
    const std::size_t slash = key.find('/');
    if (slash == std::string::npos || slash == 0) {
      sections[""].emplace_back(key, &entry);
    } else {
      sections[key.substr(0, slash)].emplace_back(key.substr(slash + 1), &entry);
    }
  }
  std::string out;
  for (const auto& [section, keys] : sections) {
    if (!out.empty()) out += '\n';
    const std::string name = escapeKey(section);
    if (section.empty()) {
      out += "[General]\n";
    } else if (equalsIgnoringAsciiCase(name, "general")) {
      out += "[%" + name + "]\n";
    } else {
      out += "[" + name + "]\n";
    }
    for (const auto& [key, entry] : keys) {
      out += escapeKey(key) + "=" + (entry->clean ? entry->raw : reencodeValue(entry->raw)) + "\n";
    }
  }
  return out;
}

std::string IniDocument::encodeText(std::string_view text) {
  std::string out;
  encodeTextInto(text, out);
  return out;
}

std::string IniDocument::encodeList(const std::vector<std::string>& texts) {
  if (texts.empty()) return "@Invalid()";
  std::string out;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) out += ", ";
    encodeTextInto(texts[i], out);
  }
  return out;
}

std::string IniDocument::encodeBytes(std::string_view bytes) {
  std::string out;
  encodeBytesInto(bytes, out);
  return out;
}

}  // namespace hl
