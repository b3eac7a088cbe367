#pragma once

class QKeyEvent;

namespace hl::FocusKeys {

// Return (or Enter) presses the focused button, as Space does: a push button, a tool button, a
// card or row that acts as a button. A check box keeps Return for the window (Space ticks it),
// and a dialog keeps its own default button. True when a button was pressed.
bool pressFocusedButton(const QKeyEvent& event);

// Shift+F10 opens the focused control's context menu, as the Menu key does (a table's row, the
// folder scanner's tree, a text field). True when it was Shift+F10.
bool openFocusedMenu(const QKeyEvent& event);

}  // namespace hl::FocusKeys
