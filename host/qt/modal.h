#pragma once
// Modal waits on a window: a nested event loop that ends when the wait is resumed or the window
// is closed or destroyed. Waits on different windows nest.
#include <QWidget>
#include <string>

namespace host {

enum class WaitEnd { Resumed, Closed };

WaitEnd uiwait(QWidget* window);
// Ends the innermost wait on `window`; does nothing when there is none.
void uiresume(QWidget* window);
bool isWaiting(QWidget* window);

// The modal opening of the dialog windows: shows the window and waits until finishWait() or a
// close ends the wait. Returns the answer given to finishWait(), "Cancel" when the window went
// away or was closed without one. Refuses a window that is already waiting.
std::string waitForAnswer(QWidget* window);
// Stores the answer with the window and ends its wait.
void finishWait(QWidget* window, const char* answer);

}  // namespace host
