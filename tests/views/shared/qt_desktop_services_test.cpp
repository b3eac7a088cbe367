#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "views/shared/qt_desktop_services.h"

namespace hl {
namespace {

struct Recorder {
  bool fileManagerAnswers = true;
  // Whether a program opens folders.
  bool foldersOpen = true;
  std::vector<QStringList> shown;
  QStringList opened;

  QtDesktopServices services() {
    return QtDesktopServices(
        [this](const QStringList& uris) {
          shown.push_back(uris);
          return fileManagerAnswers;
        },
        [this](const QString& address) {
          opened.append(address);
          return foldersOpen;
        });
  }
};

TEST(QtDesktopServices, RevealSelectsItemsOrOpensTheirFoldersNeverTheItems) {
  struct Case {
    std::string name;
    bool answers;
    std::vector<std::string> paths;
    std::vector<QStringList> shown;
    QStringList opened;
    // No program opens folders: the folders reported as not opened.
    std::vector<std::string> unopened = {};
  };
  const std::vector<Case> cases = {
      {"the file manager selects the items", true,
       {"/home/ada/a b/node_modules", "/home/ada/x/"},
       {{"file:///home/ada/a%20b/node_modules", "file:///home/ada/x"}},
       {}},
      {"no file manager: each folder once, in order", false,
       {"/home/ada/p/one", "/home/ada/p/two", "/srv/<b>x", "/top"},
       {{"file:///home/ada/p/one", "file:///home/ada/p/two", "file:///srv/%3Cb%3Ex",
         "file:///top"}},
       {"file:///home/ada/p", "file:///srv", "file:///"}},
      {"a name that is not valid text is never turned into another name", true,
       {std::string("/home/ada/bad\xff/inner")},
       {},
       {"file:///home/ada"}},
      {"nothing to reveal", true, {}, {}, {}},
      {"no file manager and nothing that opens folders", false,
       {"/home/ada/p/one", "/srv/x"},
       {{"file:///home/ada/p/one", "file:///srv/x"}},
       {"file:///home/ada/p", "file:///srv"},
       {"/home/ada/p", "/srv"}},
  };
  for (const auto& c : cases) {
    Recorder recorder;
    recorder.fileManagerAnswers = c.answers;
    recorder.foldersOpen = c.unopened.empty();
    EXPECT_EQ(recorder.services().reveal(c.paths), c.unopened) << c.name;
    EXPECT_EQ(recorder.shown, c.shown) << c.name;
    EXPECT_EQ(recorder.opened, c.opened) << c.name;
  }
}

TEST(QtDesktopServices, ClipboardAndAddresses) {
  Recorder recorder;
  QtDesktopServices services = recorder.services();
  services.copyText("/home/ada/<b>x\n/home/ada/y");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("/home/ada/<b>x\n/home/ada/y"));
  services.openURL("https://example.org/help");
  EXPECT_EQ(recorder.opened, QStringList{"https://example.org/help"});
}

}  // namespace
}  // namespace hl
