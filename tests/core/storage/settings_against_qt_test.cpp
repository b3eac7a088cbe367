// The program once read its settings through Qt's settings class; stored files, and
// administrators who switch read-only mode on for every user, rely on that reading. Qt is the
// oracle here: wherever it reads "HLMReadOnly" as on, so must the program, however damaged or
// odd the file; a clean file reads exactly alike.

#include <gtest/gtest.h>

#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/settings_file.h"
#include "support/fake_home.h"
#include "support/qt_settings_reading.h"
#include "support/test_environment.h"

using namespace hl;
using test::escapedBytes;

namespace {

const std::string kBom = "\xEF\xBB\xBF";

// The program's own keys.
const std::vector<std::string> kProgramKeys = {
    "HLMReadOnly",   "extraPaths",    "excludedPaths",     "pruneWorktreesAfterTrash",
    "showInMenuBar", "sidebarWidth",  "deleteImmediately", "quickCleanIncludesModerate",
    "Main",          "checkForUpdatesAutomatically", "AppRelocatorDeclinedMove"};

void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

struct Readings {
  bool qtOn = false;
  bool ourOn = false;
  bool damaged = false;
  test::IniValues qt;
  test::IniValues ours;
};

// One file read both ways, from a path Qt has never seen in this process (it caches by path).
Readings readBothWays(const std::string& content) {
  static int serial = 0;
  static const std::string folder = test::makeScratchFolder("against-qt");
  const std::string path = folder + "/case-" + std::to_string(++serial) + ".conf";
  writeFile(path, content);
  Readings readings;
  const QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
  readings.qtOn = test::qtReadOnly(settings);
  readings.qt = test::qtReading(settings);
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

// What may not happen: read-only off where Qt reads it on; a clean file read otherwise than Qt
// reads it. (A damaged file's good lines are read, where Qt may lose them; and its bytes that are
// not UTF-8 are kept, where Qt replaces them: settings-file-reading.md.)
std::string faultIn(const Readings& r) {
  if (r.qtOn && !r.ourOn) return "Qt reads read-only on, we read it off";
  if (r.damaged) return "";
  for (const std::string& key : kProgramKeys) {
    if (at(r.qt, key) != at(r.ours, key)) return "a clean file: " + key + " reads otherwise";
  }
  return "";
}

// Settings files as people and accidents make them: sections right and damaged, keys with a
// byte-order mark or escapes, values quoted, escaped, left open, listed, typed; stray bytes,
// comments, every kind of line end.
class HostileSettingsFiles {
 public:
  explicit HostileSettingsFiles(unsigned seed) : random_(seed) {}

  std::string next() {
    static const std::vector<std::string> headers = {
        "[General]", "[general]", "[%General]", "[Other]", "[Gen\377ral]", "[Gen\x01ral]",
        kBom + "[General]", "[ General ]", "[General", "[\"General]", "[" + kBom + "General]"};
    static const std::vector<std::string> keys = {
        "HLMReadOnly", "HLMReadOnly", "HLMReadOnly", "deleteImmediately", "excludedPaths",
        "showInMenuBar", "sidebarWidth", "HLM%52eadOnly", "hlmreadonly", "General%2FHLMReadOnly",
        "HLMReadOnly\377", "HLM" + kBom + "ReadOnly"};
    static const std::vector<std::string> keyStarts = {"", "", "", "", kBom, " ", "\t",
                                                       kBom + kBom, kBom + " "};
    static const std::vector<std::string> equals = {"=", "=", " = ", "=\t", "=="};
    static const std::vector<std::string> values = {
        "true", "false", "false", "1", "0", "yes", "no", "off", "on", "", "maybe",
        "\"true\"", "\"false\"", "\"false", "false\"", "tr\377ue", "f\x01" "alse", "/a, /b",
        "\"a,b\", c", "\\x41", "\\\"", "@ByteArray(xy)", "@Invalid()", "@@x", kBom + "false",
        kBom + "true", " " + kBom + "false", "false\\", "\"/x\\\"y\"", "fal\\\nse", "0.0",
        "false ; comment", "\"fal\"se", "\\x66" "alse", "\"" + kBom + "false\"", "off, off"};
    static const std::vector<std::string> otherLines = {
        "; comment", ";HLMReadOnly=false", "", "   ", "just words", "\377\376garbage",
        "=novalue", "\"", "\\"};
    static const std::vector<std::string> noise = {"\377", "\x01", "\x93", "\"", "\\", ";",
                                                   "=", ",", kBom, "\r", "\n", "\xC3"};
    static const std::vector<std::string> lineEnds = {"\n", "\n", "\r\n", "\r"};

    std::string file = chance(10) ? kBom : "";
    const std::string& lineEnd = pick(lineEnds);
    const int lines = 1 + static_cast<int>(random_() % 8);
    for (int i = 0; i < lines; ++i) {
      std::string line;
      const unsigned kind = random_() % 100;
      if (kind < 15) {
        line = pick(headers);
      } else if (kind < 75) {
        line = pick(keyStarts) + pick(keys) + pick(equals) + pick(values);
      } else {
        line = pick(otherLines);
      }
      if (chance(8)) line.insert(random_() % (line.size() + 1), pick(noise));
      file += line;
      if (i + 1 < lines || chance(80)) file += chance(5) ? pick(lineEnds) : lineEnd;
    }
    return file;
  }

 private:
  bool chance(unsigned percent) { return random_() % 100 < percent; }
  const std::string& pick(const std::vector<std::string>& from) {
    return from[random_() % from.size()];
  }

  std::mt19937 random_;
};

}  // namespace

// What an attacker's files showed, and a few thousand more like them: the switch is never read
// as off where Qt reads it on.
TEST(SettingsAgainstQt, TheReadOnlySwitchIsOnWhereverQtReadsItOn) {
  struct Case {
    std::string name;
    std::string content;
    bool qtOn;
    std::optional<IniDocument::Value> deleteImmediately;
  };
  using Scalar = IniDocument::Scalar;
  const std::vector<Case> cases = {
      // Keys under a header that cannot be read belong to no section of the program's.
      {"a damaged section header",
       "[General]\nHLMReadOnly=true\n[Gen\377ral]\nHLMReadOnly=false\ndeleteImmediately=true\n",
       true, std::nullopt},
      {"a byte-order mark at the start of a line",
       "[General]\nshowInMenuBar=false\n" + kBom + "HLMReadOnly=true\n" + kBom +
           "deleteImmediately=false\n",
       true, Scalar{Scalar::Kind::text, "false"}},
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Readings r = readBothWays(c.content);
    EXPECT_EQ(r.qtOn, c.qtOn);
    EXPECT_TRUE(r.ourOn);
    EXPECT_EQ(at(r.ours, "deleteImmediately"), c.deleteImmediately);
  }

  // Seeded, so that a failure repeats.
  HostileSettingsFiles files(20261208);
  int clean = 0;
  int cleanOn = 0;
  int damaged = 0;
  std::vector<std::string> faults;
  for (int i = 0; i < 3000; ++i) {
    const std::string content = files.next();
    const Readings r = readBothWays(content);
    (r.damaged ? damaged : clean) += 1;
    if (!r.damaged && r.qtOn) ++cleanOn;
    if (const std::string fault = faultIn(r); !fault.empty() && faults.size() < 5) {
      faults.push_back("file " + std::to_string(i) + ": " + fault + "\n" + escapedBytes(content));
    }
  }
  for (const std::string& fault : faults) ADD_FAILURE() << fault;
  // Both kinds of file were tried, and clean files with the switch on among them.
  EXPECT_GT(clean, 500);
  EXPECT_GT(damaged, 500);
  EXPECT_GT(cleanOn, 100);
}

// Qt reads the user's file, then the organisation's file, then every system folder's: an
// administrator's "HLMReadOnly=true" in /etc/xdg switches every user's program to read-only.
// The program reads them in the same order and writes only the user's file.
TEST(SettingsAgainstQt, TheOrganisationAndSystemFilesAreReadInQtsOrder) {
  const std::vector<std::string> contents = {
      "",  // no file
      "",
      "[General]\nHLMReadOnly=true\n",
      "[General]\nHLMReadOnly=false\n",
      "[General]\ndeleteImmediately=true\nexcludedPaths=/srv/a, /srv/b\n",
      "[General]\ndeleteImmediately=false\nsidebarWidth=260\n",
      "[General]\nexcludedPaths=\"/srv/open\nHLMReadOnly=true\n",
  };
  const char* savedHome = std::getenv("XDG_CONFIG_HOME");
  const char* savedDirs = std::getenv("XDG_CONFIG_DIRS");
  std::mt19937 random(36);
  int on = 0;
  for (int i = 0; i < 300; ++i) {
    const std::string base = test::makeScratchFolder("layers");
    const std::string user = base + "/user";
    const std::vector<std::string> system = {base + "/sys-a", base + "/sys-b"};
    // The user's file and the organisation's, then each system folder's two.
    const std::vector<std::string> paths = {
        user + "/Harborlume/Harborlume.conf", user + "/Harborlume.conf",
        system[0] + "/Harborlume/Harborlume.conf", system[1] + "/Harborlume/Harborlume.conf",
        system[0] + "/Harborlume.conf", system[1] + "/Harborlume.conf"};
    std::string layout;
    for (const std::string& path : paths) {
      const std::size_t which = random() % contents.size();
      layout += std::to_string(which);
      if (which > 1) writeFile(path, contents[which]);
    }
    SCOPED_TRACE("files " + layout);
    std::filesystem::create_directories(user);
    ::setenv("XDG_CONFIG_HOME", user.c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (system[0] + ":" + system[1]).c_str(), 1);
    // The user's folder is fixed the first time Qt looks for it; the system folders are read from
    // the environment each time.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(user));
    const QSettings qt("Harborlume", "Harborlume");

    const SettingsFile::Location location = SettingsFile::standardLocation();
    const SettingsFile::Reading reading = SettingsFile::readAll(location);
    const bool ourOn = SettingsFile::failingClosedValue(reading, "HLMReadOnly").on.value_or(false);
    const bool damaged = std::any_of(reading.files.begin(), reading.files.end(),
                                     [](const auto& f) { return f.contents.document.damaged(); });
    if (test::qtReadOnly(qt)) {
      ++on;
      EXPECT_TRUE(ourOn);
    } else if (!damaged) {
      EXPECT_FALSE(ourOn);
    }
    if (!damaged) {
      const test::IniValues qtValues = test::qtReading(qt);
      const test::IniValues ours = test::ourReading(reading.document());
      for (const std::string& key : kProgramKeys) EXPECT_EQ(at(ours, key), at(qtValues, key)) << key;
    }

    // Only the user's file is written (tried on some layouts: every write waits for the disk).
    if (i % 10 != 0) continue;
    std::vector<std::string> before;
    for (const std::string& path : paths) before.push_back(test::readFile(path));
    EXPECT_FALSE(SettingsFile::write(location.path, {{"sidebarWidth", "250"}}, Date{}).failure);
    for (std::size_t k = 1; k < paths.size(); ++k) {
      EXPECT_EQ(test::readFile(paths[k]), before[k]) << paths[k];
    }
  }
  EXPECT_GT(on, 50);
  ::setenv("XDG_CONFIG_HOME", savedHome, 1);
  ::setenv("XDG_CONFIG_DIRS", savedDirs, 1);
}
