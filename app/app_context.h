#pragma once
// What the application's modules share: the one application state, the hidden dialog windows,
// the plot windows by handle, and the host services (module registry, dialogs, clock).
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "app/app_state.h"
#include "host/core/clock.h"
#include "host/qt/dialogs.h"
#include "host/qt/registry.h"

namespace app {

// The dialog windows made once at start-up and kept hidden.
struct FigureList {
    QPointer<QWidget> figSlotSetup;
    QPointer<QWidget> figRPCsetup;
    QPointer<QWidget> AdvSettings;
    QPointer<QWidget> figCarriers;
};

// Module names.
inline constexpr const char* kMainModule = "Zuno_Fwd_GUI_c";
inline constexpr const char* kCommonModule = "rfCommonUI";
inline constexpr const char* kAboutModule = "KV_About";

struct AppContext {
    AppContext(host::Registry& r, host::Dialogs& d, host::Clock& c) : registry(r), dialogs(d), clock(c) {}

    AppState state;
    FigureList figureList;
    QPointer<QWidget> mainWindow;
    host::Registry& registry;
    host::Dialogs& dialogs;
    host::Clock& clock;
    // The configuration file, in the current directory unless a test moves it.
    std::string configFile = "defaults.mat";

    // The frame settings as the parameter file last opened or saved holds them (a new file's
    // defaults before either): what File New, Open and Exit would lose is measured against it.
    model::Parameters fileParameters = model::InitializeParameters();
    model::CarrierPlan filePlan;

    // Windows listed in appInfo.ClientWindows, by the handle number stored there.
    std::map<double, QPointer<QWidget>> clientWindows;
    double addClientWindow(QWidget* w) {
        const double id = nextWindowId++;
        clientWindows[id] = w;
        state.appInfo.ClientWindows.push_back(id);
        return id;
    }

    // The slot setup dialog: (dialog window, slot record) -> (response, new record). Empty until
    // the dialog is built.
    std::function<std::pair<std::string, model::Parameters::Slot>(QWidget*, const model::Parameters::Slot&)> slotSetup;
    // The carriers and noise dialog: (dialog window, main settings, plan) -> (response, new plan).
    std::function<std::pair<std::string, model::CarrierPlan>(QWidget*, const model::Parameters&, const model::CarrierPlan&)>
        carrierSetup;

private:
    double nextWindowId = 1;
};

}  // namespace app
