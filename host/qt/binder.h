#pragma once
#include <QWidget>

namespace host {

class Registry;

// Connects the user action of every object of the window that carries a `callback` property
// to that operation of its module: the object's own `module` property, else the window's.
// Line edit: editing finished; pop-up: activated; buttons and check boxes: clicked; menu
// items: triggered; sliders and scroll bars: value changed. A window whose `closeRequest`
// property names an operation ("op" or "module:op") calls it when closed by its frame instead of closing.
void bindCallbacks(QWidget* window, Registry& registry);
// Binds one object (menu items created in code) to `module`.`operation` of the given window.
void bindCallback(QObject* object, QWidget* window, const QString& module, const QString& operation, Registry& registry);

// Closes a window for good, bypassing its `closeRequest` operation.
void closeWindow(QWidget* window);

}  // namespace host
