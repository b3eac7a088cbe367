#pragma once

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QTest>
#include <QWidget>
#include <memory>
#include <set>
#include <string>

#include "support/scanner_fixture.h"
#include "views/pages/scanner/file_tree_model.h"
#include "views/pages/scanner/file_tree_view.h"
#include "views/pages/scanner/scanner_sidebar.h"
#include "views/pages/scanner/scanner_view.h"

namespace hl::test {

// The folder scanner page as the window shows it: the sidebar beside the main pane, over a view
// model whose walks, checks and removals run when the fixture settles, with a sheet clock the
// test moves.
struct ScannerPage {
  ScannerFixture f;
  Instant sheetNow{};
  std::unique_ptr<QWidget> window;
  std::unique_ptr<QAbstractItemModelTester> tester;
  ScannerSidebar* sidebar = nullptr;
  ScannerView* view = nullptr;

  // Builds and shows the page, once, over the services as the test left them.
  void show(QSize size = {1100, 680}) {
    window = std::make_unique<QWidget>();
    auto* row = new QHBoxLayout(window.get());
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    sidebar = new ScannerSidebar(f.scanner(), window.get());
    sidebar->setFixedWidth(240);
    row->addWidget(sidebar);
    view = new ScannerView(f.scanner(), [this] { return sheetNow; }, window.get());
    row->addWidget(view, 1);
    window->resize(size);
    // Every scan, expansion and removal the test drives is checked against the item-model rules.
    tester = std::make_unique<QAbstractItemModelTester>(
        &model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    window->show();
    QCoreApplication::processEvents();
  }

  // Shows the page and lets a scan of the folder finish.
  void showScanned(const std::string& relative, QSize size = {1100, 680}) {
    show(size);
    f.scanner().scan(f.home / relative);
    f.settle();
  }

  ScannerViewModel& scanner() { return f.scanner(); }
  FileTreeView& tree() { return *view->tree(); }
  FileTreeModel& model() { return *view->tree()->treeModel(); }

  QModelIndex row(const std::string& relative) { return model().indexForID(f.id(relative)); }

  // Clicks a row as the user does, with the given keys held.
  void click(const std::string& relative, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const QModelIndex index = row(relative);
    tree().scrollTo(index);
    QTest::mouseClick(tree().viewport(), Qt::LeftButton, keys,
                      tree().visualRect(index).center());
  }

  std::set<std::string> ids(std::initializer_list<const char*> relatives) const {
    std::set<std::string> result;
    for (const char* relative : relatives) result.insert(f.id(relative));
    return result;
  }
};

}  // namespace hl::test
