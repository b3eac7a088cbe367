// The program once read its settings through Qt's settings class; stored files, and
// administrators who switch read-only mode on for every user, rely on that reading. Qt is the
// oracle here: wherever it reads "HLMReadOnly" as on, so must the program, however damaged or
// odd the file; a clean file reads exactly alike, every key of it; and when the program rewrites
// the file for a settings change, Qt reads every key it read before with the same value.
//
// The generated files are seeded, so that a failure repeats. HL_AGAINST_QT_ROUNDS=N tries N
// times as many (at 100, the layered test tries 30,000 sets of files).

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/settings_file.h"
#include "support/fake_home.h"
#include "support/qt_settings_reading.h"
#include "support/test_environment.h"

using namespace hl;
using test::asBytes;
using test::escapedBytes;

namespace {

using Scalar = IniDocument::Scalar;
using Kind = IniDocument::Scalar::Kind;
using namespace std::string_literals;

const std::string kBom = "\xEF\xBB\xBF";

int rounds() {
  const char* text = std::getenv("HL_AGAINST_QT_ROUNDS");
  const int n = text ? std::atoi(text) : 1;
  return n > 0 ? n : 1;
}

void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// ---------------------------------------------------------------------------------------------
// The forms, one table per family.

// Section headers: right, damaged, and forms Qt reads as another section (escaped, blank space
// it trims, slashes it keeps).
const std::vector<std::string> kHeaders = {
    "[General]", "[General]", "[general]", "[%General]", "[Other]", "[Gen\377ral]",
    "[Gen\x01ral]", kBom + "[General]", "[ General ]", "[General", "[\"General]",
    "[" + kBom + "General]", "[\vGeneral]", "[General\f ]", "[%47eneral]", "[%U 047eneral]",
    "[Oth%U+065r]", "[]", "[/]", "[\\]", "[General/]", "[/General]", "[HLMReadOnly]",
    "[Other\\Deeper]"};

// Names of keys: the program's, near misses, and names that meet across sections ("Other\HLM…"
// under [General] and "HLM…" under [Other]).
const std::vector<std::string> kNames = {
    "HLMReadOnly",       "HLMReadOnly",   "HLMReadOnly",   "HLMReadOnly",
    "HLMReadOnly",       "HLMReadOnly",   "deleteImmediately", "excludedPaths",
    "showInMenuBar",     "sidebarWidth",  "hlmreadonly",   "HLMReadOnly\377",
    "HLM" + kBom + "ReadOnly", "HLM\x01ReadOnly", "General%2FHLMReadOnly", "General\\HLMReadOnly",
    "Other\\HLMReadOnly", "HLMReadOnly\\x", ""};

// One character of a name as "%XX" or "%UXXXX", "hh" standing for its code: in every form Qt's
// decoder takes (white space around the digits, a "+", a "0x" or "0X") and in forms it leaves as
// they stand or reads as another character ("-", a space after the sign, a sign after the
// prefix, "x" without "0", a lower-case "u", three digits that take in the next character, a
// space or sign before two digits, which leaves the second out). A NUL among the digits ends
// Qt's number there: what follows it in the escape is passed over.
const std::vector<std::string> kEscapes = {
    "%hh",     "%U00hh",  "%U+0hh",  "%U0xhh",  "%U0Xhh",  "%U 0hh", "%U  hh", "%U +hh",
    "%U\t0hh", "%Uhh  ",  "%U hh ",  "%U+hh ",  "%U\vhh ", "%U\f0hh", "%U-0hh", "%U+ hh",
    "%Ux0hh",  "%u00hh",  "%U0hh",   "% hh",    "%+hh",    "%U0x+hh", "%U0hh\0"s,
    "%Uhh\0\0"s, "%U hh\0"s, "%U+hh\0"s, "%\0hh"s, "%U\0hh"s, "%U0x\0hh"s};

// Blank space before or after a key: what Qt trims (a vertical tab and a form feed among it), a
// byte-order mark it drops at the start, a control character it keeps.
const std::vector<std::string> kBlankSpace = {" ",  "\t",   "\v",        "\f",        " \v",
                                              "\v\t", "\f ", kBom,        kBom + kBom, kBom + " ",
                                              "\x1c", "\v" + kBom};

// Slashes in a key, before it, inside it or after it ("\" reads as "/"). Qt keeps them as they
// stand and never finds a key under a name with a leading, trailing or doubled one; a backslash
// right before "=" escapes it, so that the line has no key.
struct SlashForm {
  std::string text;
  enum { before, inside, after } where;
};
const std::vector<SlashForm> kSlashes = {
    {"/", SlashForm::before},      {"\\", SlashForm::before},    {"//", SlashForm::before},
    {"\\\\", SlashForm::before},   {"%2F", SlashForm::before},   {"\\/", SlashForm::before},
    {"/", SlashForm::inside},      {"//", SlashForm::inside},    {"\\\\", SlashForm::inside},
    {"/\\", SlashForm::inside},    {"%2F/", SlashForm::inside},  {"/", SlashForm::after},
    {"//", SlashForm::after},      {"\\\\", SlashForm::after},   {"\\/\\\\", SlashForm::after},
    {"%2F", SlashForm::after},     {"%2F%2F", SlashForm::after}, {"\\", SlashForm::after},
    {"%5C", SlashForm::after},     {"\\\n", SlashForm::after}};

const std::vector<std::string> kEquals = {"=", "=", " = ", "=\t", "=="};

// Values: quoted, escaped, left open, listed, typed (and typed forms Qt cannot parse, which it
// reads as texts), with a byte-order mark or damaged bytes, blank space before a backslash that
// escapes nothing, escapes that make a lone surrogate.
const std::vector<std::string> kValues = {
    "true", "false", "false", "1", "0", "yes", "no", "off", "on", "", "maybe",
    "\"true\"", "\"false\"", "\"false", "false\"", "tr\377ue", "f\x01" "alse", "/a, /b",
    "\"a,b\", c", "\\x41", "\\\"", "@ByteArray(xy)", "@Invalid()", "@@x", kBom + "false",
    kBom + "true", " " + kBom + "false", "false\\", "\"/x\\\"y\"", "fal\\\nse", "0.0",
    "false ; comment", "\"fal\"se", "\\x66" "alse", "\"" + kBom + "false\"", "off, off",
    "/a, b\377", "/home/u/keep, @Rect()", "@Size(1)", "/a, @Point(1 2 3)", "@Point(1 2)",
    "/a, @Size(1)2)", "@Rect(1  2 3)", "false \\", "/a, b \t\\", "\"\\xd800",
    "\\xdc00\\xd800", "\"\\xd83d\\xde00\"", "x\\xd800"};

// Lines that are neither a section nor a key.
const std::vector<std::string> kOtherLines = {
    "; comment", ";HLMReadOnly=false", "", "   ", "just words", "\377\376garbage",
    "=novalue", "\"", "\\"};

// Stray bytes dropped anywhere in a line.
const std::vector<std::string> kNoise = {"\377", "\x01", "\x93", "\"", "\\", ";", "=", ",",
                                         kBom, "\r", "\n", "\xC3", "\v", "/", "%", "\0"s};

const std::vector<std::string> kLineEnds = {"\n", "\n", "\r\n", "\r"};

// Settings files as people and accidents make them, drawn from the tables above.
class HostileSettingsFiles {
 public:
  explicit HostileSettingsFiles(unsigned seed) : random_(seed) {}

  std::string next() {
    std::string file = chance(10) ? kBom : "";
    const std::string& lineEnd = pick(kLineEnds);
    const int lines = 1 + static_cast<int>(random_() % 7);
    for (int i = 0; i < lines; ++i) {
      std::string line;
      const unsigned kind = random_() % 100;
      if (kind < 15) {
        line = pick(kHeaders);
      } else if (kind < 82) {
        line = key() + pick(kEquals) + pick(kValues);
      } else {
        line = pick(kOtherLines);
      }
      if (chance(6)) line.insert(random_() % (line.size() + 1), pick(kNoise));
      file += line;
      if (i + 1 < lines || chance(80)) file += chance(5) ? pick(kLineEnds) : lineEnd;
    }
    return file;
  }

 private:
  std::string key() {
    std::string name = pick(kNames);
    if (chance(30)) name = escapeOneLetter(name);
    if (chance(15)) {
      const SlashForm& slash = pick(kSlashes);
      switch (slash.where) {
        case SlashForm::before: name = slash.text + name; break;
        case SlashForm::inside: name.insert(random_() % (name.size() + 1), slash.text); break;
        case SlashForm::after: name += slash.text; break;
      }
    }
    const std::string before = chance(12) ? pick(kBlankSpace) : "";
    const std::string after = chance(8) ? pick(kBlankSpace) : "";
    return before + name + after;
  }

  std::string escapeOneLetter(const std::string& name) {
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (std::isalpha(static_cast<unsigned char>(name[i]))) letters.push_back(i);
    }
    if (letters.empty()) return name;
    const std::size_t at = letters[random_() % letters.size()];
    static constexpr char upper[] = "0123456789ABCDEF";
    static constexpr char lower[] = "0123456789abcdef";
    const char* digits = chance(50) ? upper : lower;
    const auto code = static_cast<unsigned char>(name[at]);
    std::string escape = pick(kEscapes);
    const std::size_t hh = escape.find("hh");
    escape.replace(hh, 2, {digits[code / 16], digits[code % 16]});
    return name.substr(0, at) + escape + name.substr(at + 1);
  }

  bool chance(unsigned percent) { return random_() % 100 < percent; }
  template <typename T>
  const T& pick(const std::vector<T>& from) {
    return from[random_() % from.size()];
  }

  std::mt19937 random_;
};

// ---------------------------------------------------------------------------------------------
// Readings and what may not happen to them.

struct QtReading {
  bool on = false;
  test::IniValues values;
};

// Qt's reading of one file, from a path Qt has never seen in this process (it caches by path).
QtReading readByQt(const std::string& content, std::string* path = nullptr) {
  static int serial = 0;
  static const std::string folder = test::makeScratchFolder("against-qt");
  const std::string file = folder + "/case-" + std::to_string(++serial) + ".conf";
  writeFile(file, content);
  if (path) *path = file;
  const QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
  // The switch first, as the program read it: before anything else parses the other sections.
  QtReading reading;
  reading.on = test::qtReadOnly(settings);
  reading.values = test::qtReading(settings);
  return reading;
}

struct Readings {
  QtReading qt;
  bool ourOn = false;
  bool damaged = false;
  test::IniValues ours;
};

Readings readBothWays(const std::string& content) {
  Readings readings;
  std::string path;
  readings.qt = readByQt(content, &path);
  const SettingsFile::Reading reading = SettingsFile::readAll(path);
  readings.ourOn = SettingsFile::failingClosedValue(reading, "HLMReadOnly").on.value_or(false);
  readings.damaged = reading.files[0].contents.document.damaged();
  readings.ours = test::ourReading(reading.document());
  return readings;
}

std::optional<IniDocument::Value> at(const test::IniValues& values, const std::string& key) {
  const auto found = values.find(key);
  return found == values.end() ? std::nullopt : std::optional(found->second);
}

// The first key two readings differ on, or none.
std::optional<std::string> firstDifference(const test::IniValues& a, const test::IniValues& b) {
  for (const auto& [key, value] : a) {
    if (at(b, key) != value) return key;
  }
  for (const auto& [key, value] : b) {
    if (!a.contains(key)) return key;
  }
  return std::nullopt;
}

// What may not happen: read-only off where Qt reads it on; a clean file read otherwise than Qt
// reads it, any key of it. (A damaged file's good lines are read, where Qt may lose them; and its
// bytes that are not UTF-8 are kept, where Qt replaces them: settings-file-reading.md.)
std::string faultIn(const Readings& r) {
  if (r.qt.on && !r.ourOn) return "Qt reads read-only on, we read it off";
  if (r.damaged) return "";
  if (const auto key = firstDifference(test::withLoneSurrogatesReplaced(r.qt.values), r.ours)) {
    return "a clean file: key \"" + escapedBytes(*key) + "\" reads otherwise";
  }
  return "";
}

// The settings changes a rewrite is tried with: the program's keys, never the switch.
const std::vector<std::pair<std::string, std::string>>& changes() {
  static const std::vector<std::pair<std::string, std::string>> list = {
      {"sidebarWidth", IniDocument::encodeText("250")},
      {"showInMenuBar", IniDocument::encodeText("false")},
      {"deleteImmediately", IniDocument::encodeText("false")},
      {"excludedPaths", IniDocument::encodeList({"/srv/a", "/srv/b"})}};
  return list;
}

// The bytes `SettingsFile::write` puts in place of `content` for one change.
std::string rewritten(const std::string& content,
                      const std::pair<std::string, std::string>& change) {
  IniDocument document = IniDocument::parse(content, IniDocument::Splitting::asQt);
  document.set(change.first, change.second);
  return document.serialize();
}

// The keys of a file whose values, as the program reads them, hold bytes that are not UTF-8. Qt
// decodes those its own way (a sequence cut short at the end of a piece of text is dropped, or
// joins the next piece, across an escape or a comma; the byte after it is lost); the program
// keeps the bytes and writes them back as "@ByteArray(…)" (settings-file-reading.md), so Qt's
// reading of them changes with a rewrite. (Any such value of the switch reads on either way.)
std::set<std::string> keysHoldingBytes(const std::string& content) {
  const auto notUtf8 = [](const Scalar& scalar) {
    const QByteArray bytes(scalar.bytes.data(), static_cast<qsizetype>(scalar.bytes.size()));
    return QString::fromUtf8(bytes).toUtf8() != bytes;
  };
  std::set<std::string> keys;
  const IniDocument document = IniDocument::parse(content, IniDocument::Splitting::asQt);
  for (const std::string& key : document.keys()) {
    const IniDocument::Value value = *document.value(key);
    const auto* list = std::get_if<std::vector<Scalar>>(&value);
    if (list ? std::any_of(list->begin(), list->end(), notUtf8)
             : notUtf8(std::get<Scalar>(value))) {
      keys.insert(key);
    }
  }
  return keys;
}

// What a rewrite may not do: Qt losing a key, gaining one or reading one otherwise (but the key
// changed, and the values of `holdingBytes`); the switch off where Qt read it on.
std::string qtRewriteFault(const QtReading& before, const QtReading& after,
                           const std::string& changed, const std::set<std::string>& holdingBytes) {
  if (before.on && !after.on) return "Qt read read-only on, and off after the rewrite";
  for (const auto& [key, value] : before.values) {
    if (key == changed) continue;
    const auto now = at(after.values, key);
    if (!now) return "Qt no longer reads key \"" + escapedBytes(key) + "\" after the rewrite";
    if (*now != value && !holdingBytes.contains(key)) {
      return "Qt reads key \"" + escapedBytes(key) + "\" otherwise after the rewrite";
    }
  }
  for (const auto& [key, value] : after.values) {
    if (key != changed && !before.values.contains(key)) {
      return "Qt reads a new key \"" + escapedBytes(key) + "\" after the rewrite";
    }
  }
  return "";
}

// What the program's own reader may not find in what the program wrote: damage, or any key
// otherwise than it stood before the rewrite (but the key changed).
std::string ourRewriteFault(const std::string& content,
                            const std::pair<std::string, std::string>& change,
                            const std::string& written) {
  const IniDocument read = IniDocument::parse(written);
  if (read.damaged()) return "the program reads what it wrote as damaged";
  IniDocument expected = IniDocument::parse(content, IniDocument::Splitting::asQt);
  expected.set(change.first, change.second);
  test::IniValues want = test::ourReading(expected);
  test::IniValues got = test::ourReading(read);
  for (auto* values : {&want, &got}) {
    for (auto& [key, value] : *values) value = asBytes(value);
  }
  if (const auto key = firstDifference(want, got)) {
    return "the program reads key \"" + escapedBytes(*key) + "\" otherwise after its rewrite";
  }
  return "";
}

void reportFaults(const std::vector<std::string>& faults) {
  for (const std::string& fault : faults) ADD_FAILURE() << fault;
}

// ---------------------------------------------------------------------------------------------
// Qt's settings class for organisation and application "Harborlume" over a layout of files.

struct Layout {
  std::string user;
  std::vector<std::string> system;
  // The user's file and the organisation's, then each system folder's two.
  std::vector<std::string> paths;
  explicit Layout(const std::string& base)
      : user(base + "/user"), system{base + "/sys-a", base + "/sys-b"} {
    paths = {user + "/Harborlume/Harborlume.conf", user + "/Harborlume.conf",
             system[0] + "/Harborlume/Harborlume.conf", system[1] + "/Harborlume/Harborlume.conf",
             system[0] + "/Harborlume.conf", system[1] + "/Harborlume.conf"};
    std::filesystem::create_directories(user);
  }
  // Points the environment, and Qt, at this layout.
  void use() const {
    ::setenv("XDG_CONFIG_HOME", user.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (system[0] + ":" + system[1]).c_str(), 1);
    // The user's folder is fixed the first time Qt looks for it; the system folders are read
    // from the environment each time.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(user));
  }
  QtReading readByQt() const {
    use();
    const QSettings qt("Harborlume", "Harborlume");
    QtReading reading;
    reading.on = test::qtReadOnly(qt);
    reading.values = test::qtReading(qt);
    return reading;
  }
};

class SavedEnvironment {
 public:
  SavedEnvironment() : home_(get("XDG_CONFIG_HOME")), dirs_(get("XDG_CONFIG_DIRS")) {}
  ~SavedEnvironment() {
    restore("XDG_CONFIG_HOME", home_);
    restore("XDG_CONFIG_DIRS", dirs_);
  }

 private:
  static std::optional<std::string> get(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  std::optional<std::string> home_;
  std::optional<std::string> dirs_;
};

}  // namespace

// What an attacker's files showed, and a few thousand more like them: the switch is never read
// as off where Qt reads it on, and a clean file reads as Qt reads it, every key of it.
TEST(SettingsAgainstQt, TheReadOnlySwitchIsOnWhereverQtReadsItOn) {
  struct Case {
    std::string name;
    std::string content;
    bool qtOn;
    std::optional<IniDocument::Value> deleteImmediately;
  };
  const std::vector<Case> cases = {
      // Keys under a header with damaged bytes are filed, as Qt files them, under its name.
      {"a damaged section header",
       "[General]\nHLMReadOnly=true\n[Gen\377ral]\nHLMReadOnly=false\ndeleteImmediately=true\n",
       true, std::nullopt},
      {"a byte-order mark at the start of a line",
       "[General]\nshowInMenuBar=false\n" + kBom + "HLMReadOnly=true\n" + kBom +
           "deleteImmediately=false\n",
       true, Scalar{Kind::text, "false"}},
      // Qt loses the switch in the quoted text; the damage keeps it on here.
      {"a quote left open takes in the switch",
       "[General]\nexcludedPaths=\"~/.cache/foo\nHLMReadOnly=true\n", false, std::nullopt},
      {"a quote that closes lines later",
       "[General]\nexcludedPaths=\"/srv/a\nHLMReadOnly=true\n\"\n", false, std::nullopt},
      {"a quote left open over a switch set again",
       "[General]\nHLMReadOnly=true\nexcludedPaths=\"~/.cache/foo\nHLMReadOnly=false\n",
       true, std::nullopt},
      {"damage stops a quote Qt carries on",
       "[General]\nHLMReadOnly=true\njunk=\"\377\nHLMReadOnly=false\n", true, std::nullopt},
      // Escapes in the forms Qt's decoder takes.
      {"a sign, a prefix and spaces in %U escapes",
       "[General]\nHLM%U+052eadOnly=false\nHLMR%U0x65adOnly=1\ndelete%U 049mmediately=true\n",
       true, Scalar{Kind::text, "true"}},
      {"white space after the digits of a %U escape",
       "[General]\nHLMRead%U4F  nly=yes\n", true, std::nullopt},
      {"a vertical tab before the key", "[General]\n\vHLMReadOnly=true\n", true, std::nullopt},
      // The sections are read in the order of their names, not of the file.
      {"a key set again in a section that sorts later",
       "[General]\ndeleteImmediately=true\n[%General]\nHLMReadOnly=true\n[General]\n"
       "General%2FHLMReadOnly=false\n",
       false, Scalar{Kind::text, "true"}},
      // Typed forms Qt cannot parse are texts: an excluded folder stays excluded.
      {"typed forms Qt cannot parse",
       "[General]\nexcludedPaths=/home/u/keep, @Rect()\nextraPaths=@Size(1)\n"
       "HLMReadOnly=@Point(1 2 3)\ndeleteImmediately=@Point(1)2)\n",
       true, Scalar{Kind::other, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Readings r = readBothWays(c.content);
    EXPECT_EQ(r.qt.on, c.qtOn);
    if (c.qtOn) {
      EXPECT_TRUE(r.ourOn);
    }
    EXPECT_EQ(at(r.ours, "deleteImmediately"), c.deleteImmediately);
    EXPECT_EQ(faultIn(r), "");
  }

  HostileSettingsFiles files(20261208);
  int clean = 0;
  int cleanOn = 0;
  int damaged = 0;
  std::vector<std::string> faults;
  const int count = 2000 * rounds();
  for (int i = 0; i < count; ++i) {
    const std::string content = files.next();
    const Readings r = readBothWays(content);
    (r.damaged ? damaged : clean) += 1;
    if (!r.damaged && r.qt.on) ++cleanOn;
    if (const std::string fault = faultIn(r); !fault.empty() && faults.size() < 5) {
      faults.push_back("file " + std::to_string(i) + ": " + fault + "\n" + escapedBytes(content));
    }
  }
  reportFaults(faults);
  // Both kinds of file were tried, and clean files with the switch on among them.
  EXPECT_GT(clean, count / 6);
  EXPECT_GT(damaged, count / 3);
  EXPECT_GT(cleanOn, count / 40);
}

// A settings change rewrites the file so that Qt reads every key it read before with the same
// value (a switch it read on stays on), and never writes a line the program's own reader then
// reads as damaged or otherwise.
TEST(SettingsAgainstQt, ARewriteKeepsEveryKeyAsQtReadIt) {
  struct Case {
    std::string name;
    std::string content;
  };
  const std::vector<Case> cases = {
      {"a key with a leading backslash", "[General]\n\\HLMReadOnly=false\n"},
      {"a key ending in two slashes", "[General]\nHLMReadOnly\\\\=true\nx//=1\n"},
      {"a line Qt reads and the program once did not", "[General]\n\vHLMReadOnly=true\n"},
      {"a key under a damaged header", "[Gen\377ral]\nHLMReadOnly=true\n"},
      {"a quote Qt carries over damaged bytes",
       "[General]\nHLMReadOnly=true\njunk=\"\377\nHLMReadOnly=false\n"},
      {"keys with doubled and trailing slashes", "[a]\n\\b=1\nc\\=2\nd/=3\n[]\ne=4\n"},
      {"a key an escape gives a lone surrogate", "[General]\nk%UD800=1\nHLMReadOnly=on\n"},
      // Qt's number ends at the NUL: it reads the switch on, and must after the rewrite.
      {"a NUL among an escape's digits", "[General]\nHLMReadOnl%U079\0=true\n"s},
      {"a NUL among an escape's digits after the switch set off",
       "[General]\nHLMReadOnly=false\nHLMReadOnl%U079\0=true\n"s},
      {"two NULs among an escape's digits",
       "[General]\nHLMReadOnly=false\nHLMReadOnl%U79\0\0=true\n"s},
      {"blanks before a final lone backslash", "[General]\na=a \\"},
      {"blanks before a final lone backslash in a list", "[General]\na=x, a \t\\"},
      {"a lone surrogate in a value left open", "[General]\na=\"\\xd800"},
      {"a lone surrogate in a value over two lines", "[General]\na=\"\\xd800\nb\"\nc=1\n"},
      {"a lone surrogate in a damaged value", "[General]\na=\\xdc00\x01, @@\\xd800\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto& change = changes()[0];
    const QtReading before = readByQt(c.content);
    const std::string after = rewritten(c.content, change);
    EXPECT_EQ(qtRewriteFault(before, readByQt(after), change.first, keysHoldingBytes(c.content)),
              "")
        << escapedBytes(after);
    EXPECT_EQ(ourRewriteFault(c.content, change, after), "") << escapedBytes(after);
  }

  HostileSettingsFiles files(40);
  std::mt19937 random(6);
  std::vector<std::string> faults;
  int on = 0;
  const int count = 1200 * rounds();
  for (int i = 0; i < count; ++i) {
    const std::string content = files.next();
    const auto& change = changes()[random() % changes().size()];
    const QtReading before = readByQt(content);
    on += before.on ? 1 : 0;
    const std::string after = rewritten(content, change);
    const Readings afterwards = readBothWays(after);
    std::string fault =
        qtRewriteFault(before, afterwards.qt, change.first, keysHoldingBytes(content));
    if (fault.empty()) fault = ourRewriteFault(content, change, after);
    if (fault.empty()) fault = faultIn(afterwards);
    if (!fault.empty() && faults.size() < 5) {
      faults.push_back("file " + std::to_string(i) + ": " + fault + "\n" + escapedBytes(content) +
                       "\nrewritten:\n" + escapedBytes(after));
    }
  }
  reportFaults(faults);
  EXPECT_GT(on, count / 8);
}

// Qt reads the user's file, then the organisation's file, then every system folder's: an
// administrator's "HLMReadOnly=true" in /etc/xdg switches every user's program to read-only.
// The program reads them in the same order; it writes only the user's file, and so that Qt reads
// every key of every file as it read it before (an administrator's switch is never overridden).
TEST(SettingsAgainstQt, TheOrganisationAndSystemFilesAreReadInQtsOrder) {
  const std::vector<std::string> fixed = {
      "[General]\nHLMReadOnly=true\n",
      "[General]\nHLMReadOnly=false\n",
      "[General]\ndeleteImmediately=true\nexcludedPaths=/srv/a, /srv/b\n",
      "[General]\ndeleteImmediately=false\nsidebarWidth=260\n",
      "[General]\nexcludedPaths=\"/srv/open\nHLMReadOnly=true\n",
  };
  const IniDocument::Value kEmptyList = Scalar{Kind::invalid, {}};
  const SavedEnvironment saved;
  HostileSettingsFiles files(36);
  std::mt19937 random(36);
  int on = 0;
  int written = 0;
  std::vector<std::string> faults;
  const int count = 300 * rounds();
  for (int i = 0; i < count; ++i) {
    // Each file missing, one of the fixed ones or a generated one.
    std::vector<std::optional<std::string>> contents;
    std::string layout;
    for (int k = 0; k < 6; ++k) {
      const unsigned which = random() % 4;
      if (which == 0) {
        contents.emplace_back();
      } else if (which == 1) {
        contents.emplace_back(fixed[random() % fixed.size()]);
      } else {
        contents.emplace_back(files.next());
      }
      layout += "--- " + std::to_string(k) + ":\n" +
                (contents.back() ? escapedBytes(*contents.back()) : "(none)") + "\n";
    }
    const Layout files1(test::makeScratchFolder("layers"));
    for (std::size_t k = 0; k < contents.size(); ++k) {
      if (contents[k]) writeFile(files1.paths[k], *contents[k]);
    }
    const QtReading qt = files1.readByQt();
    files1.use();
    const SettingsFile::Location location = SettingsFile::standardLocation();
    EXPECT_EQ(location.path, files1.paths[0]);
    const SettingsFile::Reading reading = SettingsFile::readAll(location);
    const bool ourOn = SettingsFile::failingClosedValue(reading, "HLMReadOnly").on.value_or(false);
    const bool damaged = std::any_of(reading.files.begin(), reading.files.end(),
                                     [](const auto& f) { return f.contents.document.damaged(); });
    std::string fault;
    if (qt.on) {
      ++on;
      if (!ourOn) fault = "Qt reads read-only on, we read it off";
    } else if (!damaged && ourOn && at(qt.values, "HLMReadOnly") != kEmptyList) {
      // Qt reads "@Invalid()" (an empty list) as no value; the program, as on.
      fault = "Qt reads read-only off, we read it on in clean files";
    }
    if (fault.empty() && !damaged) {
      if (const auto key = firstDifference(test::withLoneSurrogatesReplaced(qt.values),
                                           test::ourReading(reading.document()))) {
        fault = "clean files: key \"" + escapedBytes(*key) + "\" reads otherwise";
      }
    }

    // A settings change, written by the program into a copy of the layout (on some layouts:
    // every write waits for the disk).
    if (fault.empty() && i % 4 == 0) {
      ++written;
      const Layout files2(test::makeScratchFolder("layers-rewritten"));
      for (std::size_t k = 0; k < contents.size(); ++k) {
        if (contents[k]) writeFile(files2.paths[k], *contents[k]);
      }
      const auto& change = changes()[random() % changes().size()];
      files2.use();
      const SettingsFile::WriteOutcome outcome =
          SettingsFile::write(files2.paths[0], {change}, Date{});
      const std::string after = test::readFile(files2.paths[0]);
      if (outcome.failure) {
        fault = "the write failed: " + *outcome.failure;
      } else if (after != rewritten(contents[0].value_or(""), change)) {
        fault = "the write wrote otherwise than the rewrite tried here";
      } else {
        for (std::size_t k = 1; k < contents.size() && fault.empty(); ++k) {
          if (test::readFile(files2.paths[k]) != contents[k].value_or("")) {
            fault = "the write changed " + files2.paths[k];
          }
        }
      }
      if (fault.empty()) {
        fault = qtRewriteFault(qt, files2.readByQt(), change.first,
                               keysHoldingBytes(contents[0].value_or("")));
      }
      if (fault.empty()) fault = ourRewriteFault(contents[0].value_or(""), change, after);
      if (fault.empty()) {
        const SettingsFile::Reading again = SettingsFile::readAll(SettingsFile::standardLocation());
        if (qt.on && !SettingsFile::failingClosedValue(again, "HLMReadOnly").on.value_or(false)) {
          fault = "after the write we read read-only off, where Qt read it on";
        }
      }
    }
    if (!fault.empty() && faults.size() < 5) {
      faults.push_back("layout " + std::to_string(i) + ": " + fault + "\n" + layout);
    }
  }
  reportFaults(faults);
  EXPECT_GT(on, count / 4);
  EXPECT_GT(written, count / 5);
}
