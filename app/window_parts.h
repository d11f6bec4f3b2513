#pragma once
// Window-level building blocks: the menu bar, the splash window and the about box.
#include <QMenu>
#include <QWidget>

#include "model/records.h"
#include "host/qt/registry.h"

namespace app {

struct MenuHeaders {
    QMenu* File = nullptr;
    QMenu* Plot = nullptr;
    QMenu* Config = nullptr;
    QMenu* Special = nullptr;
    QMenu* Help = nullptr;
};

// Builds the menu bar of the main window (a QMainWindow); every item calls its operation of
// rfCommonUI. The Baseband Generator submenu exists only for platform "c".
MenuHeaders KV_AddMenu(QWidget* window, const std::string& platform, host::Registry& registry);

// Opens (or reuses) the splash window, centred on the screen and showing splash.jpg.
QWidget* KV_Splash(host::Registry& registry);

// Registers the about box's module (its OK button's callback).
void registerAboutBox(host::Registry& registry);
// The modal about box over `parent`; `app` null shows single blanks. Throws
// std::runtime_error("Input argument must be a handle to parent") when parent is not a window.
void KV_About(QWidget* parent, const model::AppInfo* app, host::Registry& registry);

}  // namespace app
