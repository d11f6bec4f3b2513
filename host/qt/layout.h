#pragma once
// Layouts (.ui files among the application's resources) opened as windows.
#include <QWidget>
#include <functional>
#include <string_view>

#include "host/qt/handles.h"

namespace host {

class Registry;

// Loads ":/ui/<name>.ui" as a hidden top-level window; with a parent it stays on top of it and
// goes with it. Throws std::runtime_error when the layout is missing or broken.
QWidget* loadLayout(std::string_view name, QWidget* parent = nullptr);

// loadLayout, then: default control background, callbacks bound to the registry, centred on
// the parent (or the screen when there is none). Returns the window.
QWidget* loadFigure(std::string_view name, QWidget* parent, Registry& registry);

// An open window of that layout (by its tag) when there is one, else a freshly loaded one.
QWidget* openFigureReusing(std::string_view name, std::string_view tag, QWidget* parent, Registry& registry);

// Centres the child on the parent, or on the screen when the parent is null. Sizes unchanged.
void positionChildWindow(QWidget* child, QWidget* parent);

// At exactly 96 pixels per inch every tagged control's font grows to round(1.1 x its size);
// at any other resolution nothing changes. `dpi` < 0 asks the screen.
void resizeAllFonts(const Handles& handles, double dpi = -1);

// Widget classes the loader cannot make itself (promoted widgets), by class name.
void registerWidgetFactory(const QString& className, std::function<QWidget*(QWidget* parent)> factory);

}  // namespace host
