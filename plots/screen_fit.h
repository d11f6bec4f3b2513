#pragma once
// Windows open inside the part of the screen that panels and docks leave free, title bar included.
class QWidget;

namespace plots {

// Moves the window, and makes it smaller where it must, so that it lies inside the available area
// of its screen with its frame.
void fitOnScreen(QWidget* window);

}  // namespace plots
