#pragma once

#include <QMainWindow>

#include "views/shell/root_view.h"

class QScreen;

namespace hl {

class AppModel;

// The application's one main window: the root view under the window manager's own title bar
// and the menu bar. Its frame is kept under "Main" in the settings and put back when it opens
// again; the first time it opens centred at its default size. Closing it only hides it.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `model` must outlive the window. The frame is put back (or first placed) here.
  explicit MainWindow(AppModel& model, RootView::Services services = {},
                      QWidget* parent = nullptr);

  RootView* rootView() const { return root_; }

  // Puts back the frame saved in the settings, or, when none can be read, places the window at
  // its default frame on `screen` (none: leaves the frame alone).
  void restoreFrame(const QScreen* screen);
  // Saves the frame as it is now.
  void saveFrame() const;

 signals:
  // The window was shown, at its opening or when brought back after a close.
  void appeared();
  // The user closed the window, and it is hidden now (not destroyed); told on the event loop's
  // next turn, unless the window was shown again by then.
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  AppModel& model_;
  RootView* root_;
};

}  // namespace hl
