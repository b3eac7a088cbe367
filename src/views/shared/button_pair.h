#pragma once

class QWidget;

namespace hl {

// Turns two buttons that stand side by side and undo each other (Select All and Deselect All)
// on or off. The one turning on goes first, and when the one turning off has the keyboard the
// other takes it if it is on: the keyboard stays with the pair, where the user works, rather
// than jumping on to whatever control follows.
void setEnabledHandingOver(QWidget* a, bool aOn, QWidget* b, bool bOn);

}  // namespace hl
