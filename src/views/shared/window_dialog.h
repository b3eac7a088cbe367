#pragma once

class QWidget;

namespace hl {

// A sheet or an alert of the window it belongs to: modal to that window only, titled with the
// program's name unless it has a title of its own, and with a title bar that offers closing
// and nothing else, since it is never minimised or maximised apart from its window.
void makeWindowDialog(QWidget& dialog);

}  // namespace hl
