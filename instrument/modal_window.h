#pragma once
// The modal opening the dialogs of this library share: the answer travels with the window.
#include <QWidget>
#include <string>

namespace instrument {

// Shows the window and waits until its wait is ended or it is closed. Returns the answer stored
// with finish(), "Cancel" when the window went away or was closed without one. Keeps the window.
std::string waitForAnswer(QWidget* window);
// Stores the answer with the window and ends its wait.
void finish(QWidget* window, const char* answer);

}  // namespace instrument
