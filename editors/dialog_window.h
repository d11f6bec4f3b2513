#pragma once
// What the two editor dialogs share: the modal opening with its answer, and the row number at
// the end of a control's tag.
#include <QObject>
#include <QWidget>
#include <string>

#include "host/qt/handles.h"

namespace editors {

// Shows the hidden window, waits until OK, Cancel or a close request ends the wait, and hides
// it again for the next opening. The answer ("OK" or "Cancel") is the one the closing callback
// stored with the window; "Cancel" when the window went away or the wait ended otherwise.
std::string runModal(QWidget* window);

// The closing callbacks: store the answer with the window and end the wait.
void finish(const host::Handles& handles, const char* answer);

// A FastEdit pop-up rewrites a whole column: a stray turn of the wheel over it must not. Its
// caption looks like the text of an enabled control.
void fastEditPopup(QObject* popup);

// Turns of the wheel anywhere over the window that no control takes move the scroll bar.
void wheelScrolls(QWidget* window, QWidget* bar);

// A whole number typed into a row's field (halves away from zero), limited to low ... high;
// text that is no number keeps `kept`, and the window's status says why, naming `label`.
// `unit` is the one unit the field takes besides a bare number ("dB"), or empty.
double readRowEntry(QObject* field, const std::string& label, const std::string& unit, double kept, double low,
                    double high);

// The 1-based row number at the end of the control's tag; throws when it is not 1..rows.
int rowOf(const QObject* control, int rows);

}  // namespace editors
