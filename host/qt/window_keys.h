#pragma once
// The keyboard as people expect it in every window made from a layout: Enter presses the
// window's default button, Escape its Cancel (or closes a window that has only a default
// button), Return presses a focused push button as Space does, and Up/Down step a numeric
// field by one unit of its last digit, as a knob does.
#include <QWidget>

namespace host {

// Installs the keys on `window` and its controls. A line edit whose `textEntry` property is
// true holds text, not a number, and is never stepped.
void installWindowKeys(QWidget* window);

}  // namespace host
