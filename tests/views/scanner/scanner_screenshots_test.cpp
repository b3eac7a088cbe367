#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>
#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "views/scanner/scanner_page_harness.h"
#include "views/screenshot_support.h"
#include "views/shared/confirm_trash_sheet.h"
#include "views/shared/destructive_button.h"
#include "views/shared/palette_colors.h"
#include "views/shared/result_alert.h"

namespace hl {
namespace {

using test::AppPalette;
using test::darkPalette;
using test::lightPalette;

// A folder as a developer's might look: a project with its dependencies and build output, an
// agent's worktree with work not yet committed, and a few files.
void plantProjects(test::ScannerFixture& f) {
  f.home.file("Projects/site/node_modules/react-dom/cjs/react-dom.development.js", 1'900'000);
  f.home.file("Projects/site/node_modules/typescript/lib/typescript.js", 3'400'000);
  f.home.file("Projects/site/node_modules/.bin/tsc", 2'000);
  f.home.file("Projects/site/dist/bundle.js", 1'200'000);
  f.home.file("Projects/site/src/index.ts", 9'000);
  f.home.file("Projects/engine/target/debug/engine", 5'800'000);
  f.home.file("Projects/engine/target/debug/deps/libserde.rlib", 2'300'000);
  f.home.file("Projects/engine/Cargo.lock", 40'000);
  f.home.file("Projects/app/.claude/worktrees/feature-login/src/login.swift", 700'000);
  f.home.file("Projects/app/.claude/worktrees/feature-login/draft.md", 20'000);
  f.home.file("Projects/recording.mov", 4'100'000);
  f.home.file("Projects/notes.txt", 3'000);
  f.home.dir("Projects/empty-folder");
  f.home.symlink("Projects/latest", "site");
  f.policy.refusals[f.id("Projects/app")] =
      "in use: worktree has uncommitted changes (feature-login)";
  f.policy.refusals[f.id("Projects/recording.mov")] = "in use: open by QuickTime Player (pid 812)";
  f.policy.refusals[f.id("Projects/engine/target")] = "review-only location";
}

// The page with a tree, two rows selected and refusal chips on three.
void showTree(test::ScannerPage& p) {
  plantProjects(p.f);
  p.showScanned("Projects", {1180, 640});
  p.tree().expand(p.row("Projects/site"));
  p.tree().expand(p.row("Projects/engine"));
  p.click("Projects/site/node_modules");
  p.click("Projects/site/dist", Qt::ControlModifier);
  p.click("Projects/engine/target", Qt::ControlModifier);
  p.f.settle();
  QCoreApplication::processEvents();
}

TEST(ScannerScreenshots, EveryStateOfThePage) {
  {
    const AppPalette applied(lightPalette());
    test::ScannerPage p;
    p.show({1180, 640});
    test::saveScreenshot(test::grabSettled(*p.window), QStringLiteral("scanner-empty"));
  }
  {
    // Held in the middle of its walk by a file it has not reached yet.
    const AppPalette applied(lightPalette());
    test::ScannerPage p;
    for (int i = 0; i < 1500; ++i) p.f.home.file("Big/part-" + std::to_string(i), 4000);
    const std::string stop = p.f.home / "Big/part-1200";
    auto release = std::make_shared<QSemaphore>();
    p.f.services.executor = {};
    p.f.services.walkFaults.failStatus = [stop, release](std::string_view path) {
      if (path == stop) release->acquire();
      return false;
    };
    p.show({1180, 640});
    // The sidebar as narrow as the window ever makes it.
    p.sidebar->setFixedWidth(220);
    p.scanner().scan(p.f.home / "Big");
    QElapsedTimer waited;
    waited.start();
    while (p.scanner().progress().itemsVisited < 500 && waited.elapsed() < 10000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    test::saveScreenshot(test::grabSettled(*p.window), QStringLiteral("scanner-scanning"));
    release->release();
    while (p.scanner().isScanning() && waited.elapsed() < 20000) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
  }
  for (const auto& [palette, name] : {std::pair{lightPalette(), "scanner-tree"},
                                      std::pair{darkPalette(), "scanner-tree-dark"}}) {
    const AppPalette applied(palette);
    test::ScannerPage p;
    showTree(p);
    test::saveScreenshot(test::grabSettled(*p.window), QLatin1String(name));
  }
  for (const auto& [palette, name] :
       {std::pair{lightPalette(), "scanner-sidebar-delete"},
        std::pair{darkPalette(), "scanner-sidebar-delete-dark"}}) {
    // The longest title of the selection's button, in the narrowest sidebar.
    const AppPalette applied(palette);
    test::ScannerPage p;
    p.f.settings->setDeleteImmediately(true);
    showTree(p);
    p.sidebar->setFixedWidth(220);
    test::saveScreenshot(test::grabSettled(*p.sidebar), QLatin1String(name));
  }
  for (const auto& [palette, name] : {std::pair{lightPalette(), "scanner-sheet"},
                                      std::pair{darkPalette(), "scanner-sheet-dark"}}) {
    // Opened by Space on the sidebar's button, the sheet shows where the keyboard is: the ring
    // around its list of rows.
    const AppPalette applied(palette);
    test::ScannerPage p;
    showTree(p);
    QApplication::setActiveWindow(p.window.get());
    p.sidebar->removeButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(p.sidebar->removeButton(), Qt::Key_Space);
    p.f.settle();
    ConfirmTrashSheet* sheet = p.view->sheet();
    ASSERT_NE(sheet, nullptr);
    p.sheetNow += std::chrono::seconds(1);
    sheet->refreshArming();
    QCoreApplication::processEvents();
    const QImage shot = test::grabSettled(*sheet);
    test::saveScreenshot(shot, QLatin1String(name));
    ASSERT_TRUE(sheet->rowList()->hasFocus());
    EXPECT_TRUE(test::ringsAround(shot, sheet->rowList()->geometry(),
                                  PaletteColors::focusRing(palette)))
        << name;
    if (palette == darkPalette()) continue;
    p.f.clock.advance(std::chrono::seconds(2));
    sheet->confirmButton()->click();
    p.f.settle();
    ASSERT_NE(p.view->alert(), nullptr);
    QCoreApplication::processEvents();
    test::saveScreenshot(test::grabSettled(*p.view->alert()), QStringLiteral("scanner-result"));
  }
}

}  // namespace
}  // namespace hl
