#include "views/shared/window_dialog.h"

#include <QWidget>

namespace hl {

void makeWindowDialog(QWidget& dialog) {
  dialog.setWindowModality(Qt::WindowModal);
  // Without the customize hint the window manager is free to add its usual buttons.
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowCloseButtonHint);
  if (dialog.windowTitle().isEmpty()) dialog.setWindowTitle(QStringLiteral("Harbor Lume"));
}

}  // namespace hl
