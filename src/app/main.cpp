#include <QApplication>

#include "platform/launch_arguments.h"

#include "views/shell/main_window.h"

int main(int argc, char** argv) {
  // Before Qt sees them: it removes the arguments it understands.
  hl::recordLaunchArguments(argc, argv);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Harborlume"));
  QApplication::setApplicationName(QStringLiteral("Harborlume"));
  QApplication::setApplicationDisplayName(QStringLiteral("Harbor Lume"));
  hl::MainWindow window;
  window.show();
  return QApplication::exec();
}
