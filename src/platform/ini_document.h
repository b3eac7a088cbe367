#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace hl {

// A settings file in the INI form Qt's settings class reads and writes: "[General]" and other
// sections, escaped keys, quoted and escaped texts, comma-separated lists, "@ByteArray(…)" and
// the other "@" forms. Read here the way Qt reads it, so that every existing settings file reads
// the same, and written so that Qt reads back what was meant; the program itself reads and
// writes the file only through this class, never through Qt's cache of it.
//
// Texts are byte strings. A text that is not valid UTF-8 (a folder name in another encoding) is
// written as "@ByteArray(…)", which keeps every byte; Qt's own writer would turn such bytes into
// replacement characters.
//
// Every key Qt's reader reads is read under the name Qt gives it, however it is spelled (escapes
// in every form Qt's decoder takes, blank space around it, slashes Qt keeps as they stand), and
// written back so that Qt reads it under that name again.
//
// A file can be damaged (bytes that are not UTF-8 text or control characters, lines that are
// neither a section, a key nor a comment, a header left unclosed, a quote left open over the lines
// after it). What can be read of it is read; `damaged()` says that a key may stand where it could
// not be read, and that Qt may read the file otherwise.
class IniDocument {
 public:
  // One stored value as Qt would decode it.
  struct Scalar {
    enum class Kind {
      text,     // a text, possibly empty
      bytes,    // "@ByteArray(…)"
      invalid,  // "@Invalid()": what Qt writes for an empty list
      other,    // "@Variant(…)", "@Rect(…)" and the like: kept, never interpreted
    };
    Kind kind = Kind::text;
    std::string bytes;
    bool operator==(const Scalar&) const = default;
  };
  // A list (a value with a comma outside quotes), or one scalar.
  using Value = std::variant<Scalar, std::vector<Scalar>>;

  // Where a quote or an escaped line break next to damaged bytes ends.
  enum class Splitting {
    // At the line break, so that the good lines after it are read (the program's reading).
    goodLines,
    // Where Qt's reader ends it, over the lines after it: a rewrite then keeps every key as Qt
    // read it, and never writes a key that Qt lost in a quote (a switch set off again there).
    asQt,
  };
  static IniDocument parse(std::string_view bytes, Splitting splitting = Splitting::goodLines);

  // Not every byte of the file was read as part of a section, a key or a comment.
  bool damaged() const { return damaged_; }
  // Nothing at all could be read cleanly (a section or a key in clean text), though the file
  // holds more than blank space: UTF-16, binary garbage.
  bool unreadable() const { return damaged_ && readLines_ == 0; }

  // The value under a key ("section/key" for keys outside the general section).
  std::optional<Value> value(std::string_view key) const;
  bool contains(std::string_view key) const;
  // The keys in the order they are written.
  std::vector<std::string> keys() const;

  // Takes in every key of `other` that this document does not hold, as it stands there.
  void addMissing(const IniDocument& other);

  // Stores a value written by one of the encoders below under `key`.
  void set(std::string_view key, std::string encoded);

  // The whole file: the general section first, keys in order, each spelled so that Qt's reader
  // and ours read it under the same name. A value that was read with damaged bytes, left open
  // or over several lines is written again from what Qt read of it, so the result is clean.
  std::string serialize() const;

  // The stored forms of values: "true"; a text, escaped and quoted as needed; a list (empty as
  // "@Invalid()", one element as a plain value); raw bytes.
  static std::string encodeText(std::string_view text);
  static std::string encodeList(const std::vector<std::string>& texts);
  static std::string encodeBytes(std::string_view bytes);

 private:
  struct Entry {
    std::string raw;  // the value as it stands in the file, between "=" and the line's end
    // It can be written back as it stands: clean bytes, closed, on one line.
    bool clean = true;
  };

  std::map<std::string, Entry, std::less<>> entries_;
  bool damaged_ = false;
  int readLines_ = 0;  // sections and keys read in clean text
};

}  // namespace hl
