#include "views/shell/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include "viewmodels/app_model.h"
#include "views/shell/window_sizing.h"

namespace hl {

MainWindow::MainWindow(AppModel& model, RootView::Services services, QWidget* parent)
    : QMainWindow(parent), model_(model) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QStringLiteral("Harbor Lume"));
  setMinimumSize(WindowSizing::minimumSize);
  root_ = new RootView(model_, std::move(services), this);
  setCentralWidget(root_);
  restoreFrame(QGuiApplication::primaryScreen());
}

void MainWindow::restoreFrame(const QScreen* screen) {
  const QByteArray& saved = model_.settings().windowFrame();
  if (!saved.isEmpty() && restoreGeometry(saved)) return;
  if (!screen) return;
  setGeometry(WindowSizing::defaultFrame(QRectF(screen->availableGeometry())).toRect());
}

void MainWindow::saveFrame() const { model_.settings().setWindowFrame(saveGeometry()); }

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window brought back from the taskbar was never gone.
  if (!event->spontaneous()) emit appeared();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  saveFrame();
  QMainWindow::closeEvent(event);
  if (!event->isAccepted()) return;
  // Told once the window is really gone, and not when it was shown again meanwhile.
  QMetaObject::invokeMethod(
      this, [this] { if (!isVisible()) emit closed(); }, Qt::QueuedConnection);
}

}  // namespace hl
