#pragma once

#include <QMainWindow>

namespace hl {

// The application's one main window.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace hl
