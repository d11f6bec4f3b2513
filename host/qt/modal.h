#pragma once
// Modal waits on a window: a nested event loop that ends when the wait is resumed or the window
// is closed or destroyed. Waits on different windows nest.
#include <QWidget>

namespace host {

enum class WaitEnd { Resumed, Closed };

WaitEnd uiwait(QWidget* window);
// Ends the innermost wait on `window`; does nothing when there is none.
void uiresume(QWidget* window);
bool isWaiting(QWidget* window);

}  // namespace host
