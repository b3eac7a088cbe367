#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/relocation/app_relocator.h"
#include "app/relocation/fake_relocation.h"
#include "app/relocation/linux_relocation_system.h"
#include "app/relocation/relocation_alerts.h"
#include "support/fake_home.h"

namespace hl {
namespace {

namespace fs = std::filesystem;

TEST(LinuxRelocationSystem, NeverOffersTheMoveAndIsNeverTranslocated) {
  LinuxRelocationSystem system;
  EXPECT_FALSE(system.offersMove());
  EXPECT_EQ(system.originalPathIfTranslocated(system.runningCopyPath()), std::nullopt);
  test::FakeRelocationPrompts prompts;
  prompts.answerMove = true;
  EXPECT_EQ(AppRelocator(system, prompts).moveToApplicationsIfNeeded(),
            RelocationOutcome::nothingToDo);
  EXPECT_EQ(prompts.asked, 0);
}

TEST(LinuxRelocationSystem, FileOperationsCopyLinksAsLinksAndNeverMergeOrOverwrite) {
  test::FakeHome tree("relocation");
  tree.text("program/bin/run", "new");
  tree.symlink("program/outside", tree / "secret");
  tree.text("secret", "not to be copied");
  tree.text("installed", "old");
  tree.text("busy/file", "kept");
  LinuxRelocationSystem system;

  struct Row {
    std::string name;
    std::function<void()> act;
    bool throws;
    std::function<void()> check;
  };
  const auto read = [](const std::string& path) {
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  const std::vector<Row> rows = {
      {"copy a folder", [&] { system.copyItem(tree / "program", tree / "copy"); }, false,
       [&] {
         EXPECT_EQ(read(tree / "copy/bin/run"), "new");
         EXPECT_TRUE(fs::is_symlink(tree / "copy/outside"));
         EXPECT_EQ(fs::read_symlink(tree / "copy/outside"), tree / "secret");
       }},
      {"copy onto an existing item", [&] { system.copyItem(tree / "secret", tree / "installed"); },
       true, [&] { EXPECT_EQ(read(tree / "installed"), "old"); }},
      {"replace a file", [&] {
         system.copyItem(tree / "secret", tree / ".installed.new-1");
         system.replaceItem(tree / "installed", tree / ".installed.new-1");
       },
       false,
       [&] {
         EXPECT_EQ(read(tree / "installed"), "not to be copied");
         EXPECT_FALSE(system.itemExists(tree / ".installed.new-1"));
       }},
      {"replace a folder that is not empty",
       [&] { system.replaceItem(tree / "busy", tree / "copy"); }, true,
       [&] {
         EXPECT_EQ(read(tree / "busy/file"), "kept");
         EXPECT_TRUE(system.itemExists(tree / "copy"));
       }},
      {"remove a folder with a link inside", [&] { system.removeItem(tree / "copy"); }, false,
       [&] {
         EXPECT_FALSE(system.itemExists(tree / "copy"));
         EXPECT_EQ(read(tree / "secret"), "not to be copied");
       }},
  };
  for (const Row& row : rows) {
    if (row.throws) {
      EXPECT_THROW(row.act(), RelocationError) << row.name;
    } else {
      EXPECT_NO_THROW(row.act()) << row.name;
    }
    row.check();
  }

  // A dangling link is something to replace, not a free place to copy to.
  tree.symlink("dangling", tree / "nowhere/program");
  EXPECT_TRUE(system.itemExists(tree / "dangling"));
  EXPECT_THROW(system.copyItem(tree / "secret", tree / "dangling"), RelocationError);
}

TEST(LinuxRelocationSystem, RunReportsWhetherTheCommandStarted) {
  LinuxRelocationSystem system;
  for (bool wait : {true, false}) {
    EXPECT_TRUE(system.run("/bin/true", {}, wait)) << wait;
    EXPECT_FALSE(system.run("/nonexistent/program", {}, wait)) << wait;
  }
}

TEST(RelocationAlerts, NotNowIsTheDefaultAnswerOfTheOffer) {
  struct Row {
    std::string name;
    std::function<void(QMessageBox&)> answer;
    bool move;
  };
  const auto button = [](QMessageBox& box, const char* name) {
    return box.findChild<QPushButton*>(QString::fromLatin1(name));
  };
  const std::vector<Row> rows = {
      {"Return", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); }, false},
      {"Escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, false},
      {"Not Now", [&](QMessageBox& box) { button(box, "notNow")->click(); }, false},
      {"Move", [&](QMessageBox& box) { button(box, "move")->click(); }, true},
  };
  for (const Row& row : rows) {
    auto offer = RelocationAlerts::moveOffer();
    EXPECT_EQ(offer->text(), QStringLiteral("Move Harbor Lume to the Applications folder?"));
    EXPECT_EQ(offer->informativeText(),
              QStringLiteral("Harbor Lume runs best from the Applications folder. It is required "
                             "for automatic updates to install cleanly. Harbor Lume will move "
                             "there and relaunch."));
    ASSERT_NE(button(*offer, "notNow"), nullptr);
    EXPECT_EQ(button(*offer, "notNow")->text(), QStringLiteral("Not Now"));
    EXPECT_EQ(button(*offer, "move")->text(), QStringLiteral("Move to Applications Folder"));
    EXPECT_FALSE(offer->iconPixmap().isNull());
    offer->show();
    row.answer(*offer);
    EXPECT_EQ(RelocationAlerts::choseMove(*offer), row.move) << row.name;
    EXPECT_FALSE(offer->isVisible()) << row.name;
  }

  const auto failure = RelocationAlerts::failureAlert();
  EXPECT_EQ(failure->text(), QStringLiteral("Couldn't move Harbor Lume automatically"));
  EXPECT_EQ(failure->informativeText(),
            QStringLiteral("Please quit Harbor Lume and drag it into your Applications folder "
                           "manually, then reopen it. This keeps automatic updates working."));
  EXPECT_EQ(failure->standardButtons(), QMessageBox::Ok);
  const auto relaunch = RelocationAlerts::relaunchFailureAlert("/Applications/Harbor Lume.app");
  EXPECT_TRUE(
      relaunch->informativeText().contains(QStringLiteral("/Applications/Harbor Lume.app")));
}

}  // namespace
}  // namespace hl
