#pragma once

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "state/app_model_fixture.h"
#include "views/shell/main_window.h"
#include "views/shell/root_view.h"

namespace hl::test {

// The window's content over an application model whose every outside answer the test decides
// (`AppHarness`), dated by the harness's wall clock.
struct ShellHarness : AppHarness {
  std::unique_ptr<RootView> root;

  RootView::Services services() {
    RootView::Services s;
    s.wallClock = wall.clock();
    s.sheetClock = monotonic.clock();
    return s;
  }

  // Builds and shows the root view at a size.
  RootView& show(QSize size = {1320, 820}) {
    root = std::make_unique<RootView>(*model, services());
    root->resize(size);
    root->show();
    QApplication::processEvents();
    return *root;
  }

  // The boot volume's next reading finds these figures.
  void readBootVolumeAs(std::int64_t total, std::int64_t available) {
    volumeCapacity = total;
    freeSpace = {available};
    model->refreshVolume();
    settle();
  }
};

}  // namespace hl::test
