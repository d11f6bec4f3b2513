#pragma once
// The application module Zuno_Fwd_GUI_c: start-up, the frame-setting controls of the main
// window and the calculation.
#include <QWidget>

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace app {

class MainWindow {
public:
    explicit MainWindow(AppContext& ctx);

    // Start-up: splash, records, windows; returns the main window, shown.
    QWidget* start();
    QWidget* InitializeFigures();
    void InitializeFigure(const host::Handles& handles);
    void redraw(const host::Handles& handles);
    void redrawFormatParameters(const host::Handles& handles);
    // Computes `waveform` and `markers`; on failure shows "Calculation Error" and throws.
    void Calculate();

private:
    AppContext& ctx_;
};

}  // namespace app
