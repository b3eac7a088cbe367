#pragma once

class QKeyEvent;

namespace hl::FocusKeys {

// Return (or Enter) presses the focused button, as Space does: a push button, a tool button, a
// card or row that acts as a button. A check box keeps Return for the window (Space ticks it),
// and a dialog keeps its own default button. True when a button was pressed.
bool pressFocusedButton(const QKeyEvent& event);

}  // namespace hl::FocusKeys
