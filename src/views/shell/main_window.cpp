#include "views/shell/main_window.h"

namespace hl {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("Harbor Lume"));
  resize(1100, 720);
}

}  // namespace hl
