#pragma once
// The commands of the main window that do not depend on the signal: Calculate, the readiness
// check, the window title, the memory option and help menus, and shutdown (module rfCommonUI).
#include <string>

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace app {

class CommonController {
public:
    explicit CommonController(AppContext& ctx);

    void InitializeFigure(const host::Handles& handles);
    void redrawAppTitle(const host::Handles& handles);
    // True when the calculation succeeded; a failure leaves the last waveform and its time stamp.
    bool executeCalculation(const host::Handles& handles);
    // 1 to go on with `action` ("Download", "Plot" or "Save"), 0 to stop.
    int checkWaveformReady(const host::Handles& handles, const std::string& action);
    void menuConfigBBG(QObject* item, const host::Handles& handles, const std::string& option);
    void AppShutDown(const host::Handles& handles);

private:
    AppContext& ctx_;
};

}  // namespace app
