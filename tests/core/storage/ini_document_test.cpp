#include <gtest/gtest.h>

#include <QByteArray>
#include <QRect>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

#include "platform/ini_document.h"
#include "support/fake_home.h"
#include "support/qt_settings_reading.h"
#include "support/test_environment.h"

using namespace hl;

namespace {

using Scalar = IniDocument::Scalar;
using Kind = IniDocument::Scalar::Kind;
using Values = test::IniValues;
using test::asBytes;

Scalar text(std::string bytes) { return {Kind::text, std::move(bytes)}; }
Scalar bytes(std::string bytes) { return {Kind::bytes, std::move(bytes)}; }

// A file name Qt has never seen in this process, so that its settings class reads the disk.
std::string freshFile(const std::string& content = "") {
  const std::string path = test::makeScratchFolder("ini") + "/settings.conf";
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

// What Qt's settings class reads from `content`, in this class's terms.
Values qtReading(const std::string& content) {
  return test::qtReading(QSettings(QString::fromStdString(freshFile(content)), QSettings::IniFormat));
}

Values ourReading(const std::string& content) { return test::ourReading(IniDocument::parse(content)); }

std::string written(const std::function<void(QSettings&)>& write) {
  const std::string path = freshFile();
  {
    QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
    write(settings);
  }
  return test::readFile(path);
}

}  // namespace

namespace hl {
void PrintTo(const IniDocument::Scalar& scalar, std::ostream* out) {
  *out << static_cast<int>(scalar.kind) << ":" << ::testing::PrintToString(scalar.bytes);
}
}  // namespace hl

// Every existing settings file must read exactly as Qt reads it: files Qt wrote and files people
// edited.
TEST(IniDocument, ReadsEveryFileAsQtReadsIt) {
  const std::string byQt = written([](QSettings& s) {
    s.setValue("bool", true);
    s.setValue("width", 262.5);
    s.setValue("empty", QStringList{});
    s.setValue("one", QStringList{"/home/u/src"});
    s.setValue("many", QStringList{"a, b", " spaced ", "q\"u", "back\\slash", "@at", "é€😀",
                                   QString(QChar(0x7f)) + "\t\n", QString(QChar(1)) + "ab"});
    s.setValue("text", QString("@x;y=z"));
    s.setValue("frame", QByteArray("\x00\x01\xff\x7f(a)\"\\,9", 12));
    s.setValue("mixed", QVariantList{QString("@@a"), QByteArray("b\xff")});
    s.setValue("rect", QRect(1, 2, 3, 4));
    s.setValue("group/key", "v");
    s.setValue("General", "g");
    s.setValue("odd key%/é", "k");
  });
  const std::vector<std::string> files = {
      byQt,
      "\xEF\xBB\xBF[General]\nkey = value  \n",
      "[General]\nquoted=\"a\n;not a comment\nb\", c\n; a comment\nnext=1 ; trailing\n",
      "[General]\ncontinued=one\\\ntwo\nescapes=\\x41\\101\\q\\x\n",
      "top=1\n[Section]\nkey=2\n[general]\nlater=3\n[%General]\ngeneral=4\n",
      "[a%2Fb]\nc\\d=1\n[%U00E9]\nk=2\n",
      "[General]\nlist=\"a\" , b,,\"\"\nsingle=@@x\nbytes=@ByteArray(ab)\ninvalid=@Invalid()\n",
      "[General]\nnot-typed=/a, @Rect()\nsize=@Size(1)\npoint=@Point(1 2 3)\nrect=@Rect(1  2 3)\n"
      "typed=/a, @Size(1)2)\n",
  };
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    EXPECT_EQ(ourReading(file), qtReading(file));
    // Read alike, but Qt never writes a quote that goes on over a line break: one left open
    // there takes in the lines after it.
    EXPECT_EQ(IniDocument::parse(file).damaged(), file == files[2]);
  }
}

// What the program writes, Qt reads as meant; and it reads back the same here.
TEST(IniDocument, WritesWhatQtReadsBack) {
  const std::vector<std::string> texts = {
      "/home/u/a b", "/home/u/c,d", " lead", "trail ", "q\"u\\", "@at", "@@two", "é😀",
      "tab\there", "semi;colon=eq", "\x01" "ab", std::string("nul\0" "9", 5)};
  // A byte-order mark where a reader drops one: at the start of the first piece of text.
  const std::vector<std::string> marked = {"\xEF\xBB\xBF" "first",
                                           "\x01\xEF\xBB\xBF" "after an escape"};
  IniDocument document = IniDocument::parse("");
  document.set("texts", IniDocument::encodeList(texts));
  document.set("one", IniDocument::encodeList({"/only"}));
  document.set("none", IniDocument::encodeList({}));
  document.set("frame", IniDocument::encodeBytes(std::string("\x00\x01\xff\x7f(a),\"9", 11)));
  document.set("flag", IniDocument::encodeText("true"));
  document.set("group/key", IniDocument::encodeText("@x"));
  for (std::size_t i = 0; i < marked.size(); ++i) {
    document.set("marked" + std::to_string(i), IniDocument::encodeText(marked[i]));
  }
  const std::string file = document.serialize();

  Values expected;
  std::vector<Scalar> list;
  for (const std::string& t : texts) list.push_back(text(t));
  expected["texts"] = list;
  expected["one"] = text("/only");
  expected["none"] = Scalar{Kind::invalid, {}};
  expected["frame"] = bytes(std::string("\x00\x01\xff\x7f(a),\"9", 11));
  expected["flag"] = text("true");
  expected["group/key"] = text("@x");
  for (std::size_t i = 0; i < marked.size(); ++i) {
    expected["marked" + std::to_string(i)] = text(marked[i]);
  }
  EXPECT_EQ(qtReading(file), expected) << file;
  EXPECT_EQ(ourReading(file), expected) << file;
  EXPECT_EQ(file.substr(0, 10), "[General]\n");
  EXPECT_NE(file.find("\n\n[group]\nkey=@@x\n"), std::string::npos) << file;
}

// A name that is not UTF-8 keeps every byte, where Qt's own writer would replace them.
TEST(IniDocument, TextsThatAreNotUtf8KeepEveryByte) {
  const std::vector<std::string> paths = {"/home/u/.cache/bad\377name", "/home/u/ok",
                                          "/home/u/\xC3("};
  IniDocument document = IniDocument::parse("");
  document.set("excludedPaths", IniDocument::encodeList(paths));
  document.set("one", IniDocument::encodeList({paths[0]}));
  const std::string file = document.serialize();
  EXPECT_EQ(file.find('\377'), std::string::npos);

  const IniDocument read = IniDocument::parse(file);
  EXPECT_FALSE(read.damaged());
  EXPECT_EQ(read.value("excludedPaths"),
            IniDocument::Value(std::vector<Scalar>{bytes(paths[0]), text(paths[1]),
                                                   bytes(paths[2])}));
  EXPECT_EQ(read.value("one"), IniDocument::Value(bytes(paths[0])));
  // Qt reads the same bytes.
  const Values qt = qtReading(file);
  EXPECT_EQ(std::get<std::vector<Scalar>>(qt.at("excludedPaths"))[0], bytes(paths[0]));
}

// A value that the end of the file left open is written closed: kept as it stood, it would take
// in every key written after it.
TEST(IniDocument, AValueLeftOpenIsClosedWhenTheFileIsRewritten) {
  for (const std::string ending : {"\"/home/me/proj", "/home/me/proj\\", "\"/a\\\"b"}) {
    SCOPED_TRACE(ending);
    IniDocument document = IniDocument::parse("[General]\nextraPaths=" + ending);
    const auto before = document.value("extraPaths");
    document.set("sidebarWidth", IniDocument::encodeText("250"));
    document.set("showInMenuBar", IniDocument::encodeText("false"));
    const std::string file = document.serialize();
    const IniDocument read = IniDocument::parse(file);
    EXPECT_EQ(read.value("extraPaths"), before) << file;
    EXPECT_EQ(read.value("sidebarWidth"), IniDocument::Value(text("250"))) << file;
    EXPECT_EQ(read.value("showInMenuBar"), IniDocument::Value(text("false"))) << file;
    EXPECT_EQ(qtReading(file).count("showInMenuBar"), 1u) << file;
  }
}

// Damaged bytes are reported, the good lines around them still read, and a rewrite is clean.
TEST(IniDocument, DamageIsReportedAndTheGoodLinesStillRead) {
  struct Case {
    std::string name;
    std::string content;
    bool unreadable;
  };
  const std::string good = "[General]\nHLMReadOnly=true\nexcludedPaths=/a, /b\n";
  std::string utf16 = "\xFF\xFE";
  for (const char c : good) utf16 += std::string{c, '\0'};
  const std::vector<Case> cases = {
      {"garbage line", good + "\x93\x01 \"quote\xFF\n=\n[bad\x02]\ndeleteImmediately=false\n",
       false},
      {"an odd quote in damaged bytes", "[General]\njunk=\"\xFF\nHLMReadOnly=true\n", false},
      {"a line that is neither key nor section", good + "just words\n", false},
      {"a raw byte in a value", good + "extraPaths=/home/u/bad\377name\n", false},
      {"UTF-16", utf16, true},
      {"NUL bytes", std::string(40, '\0'), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const IniDocument document = IniDocument::parse(c.content);
    EXPECT_TRUE(document.damaged());
    EXPECT_EQ(document.unreadable(), c.unreadable);
    if (!c.unreadable) {
      EXPECT_EQ(document.value("HLMReadOnly"), IniDocument::Value(text("true")));
    }
    const IniDocument rewritten = IniDocument::parse(document.serialize());
    EXPECT_FALSE(rewritten.damaged()) << document.serialize();
    // Every byte survives; a text that is not UTF-8 comes back as the same bytes.
    for (const std::string& key : document.keys()) {
      EXPECT_EQ(asBytes(*rewritten.value(key)), asBytes(*document.value(key))) << key;
    }
  }
  EXPECT_EQ(IniDocument::parse(good + "extraPaths=/home/u/bad\377name\n").value("extraPaths"),
            IniDocument::Value(text("/home/u/bad\377name")));
  // Keys under a header that cannot be read belong to no section of the program's.
  EXPECT_EQ(IniDocument::parse(cases[0].content).value("deleteImmediately"), std::nullopt);
  EXPECT_FALSE(IniDocument::parse("").damaged());
  EXPECT_FALSE(IniDocument::parse("\n ; only a comment\n").damaged());
}

// Every key is written so that Qt's reader and ours read it back under the same name, and never
// as a line without a key: slashes where Qt keeps them (leading, trailing, doubled), names Qt
// would take for the general section, characters that would end or trim the key.
TEST(IniDocument, KeysAreWrittenSoThatTheyReadBackUnderTheSameName) {
  const std::vector<std::string> keys = {
      "/lead", "//lead", "trail/", "trail//", "/", "//", "a//b", "a/b/", "a/b//", "a///",
      "General/k", "general/k", "%General/k", "a\\b", "tail\\", " lead", "\vtab", "[x",
      ";x", "=x", "x=", "\"q", "é/😀", "k\xED\xA0\x80", "\xEF\xBB\xBF" "bom", "%U0041",
      ""};
  IniDocument document = IniDocument::parse("");
  for (const std::string& key : keys) document.set(key, IniDocument::encodeText("v"));
  const std::string file = document.serialize();
  const IniDocument read = IniDocument::parse(file);
  EXPECT_FALSE(read.damaged()) << file;
  EXPECT_EQ(read.keys(), document.keys()) << file;
  // Qt lists the same names (a lone surrogate in the three bytes UTF-8 gives it).
  const std::string path = freshFile(file);
  const QSettings settings(QString::fromStdString(path), QSettings::IniFormat);
  std::vector<std::string> qtKeys;
  for (const QString& key : settings.allKeys()) qtKeys.push_back(test::keyBytes(key));
  std::sort(qtKeys.begin(), qtKeys.end());
  EXPECT_EQ(qtKeys, read.keys()) << file;
}
