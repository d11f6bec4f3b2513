#include <QMenuBar>
#include <exception>

#include "host/qt/dialogs.h"
#include "plots/core/time_plots.h"
#include "plots/drawing_components.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

void drawEye(PlotCanvas* canvas, const Box& where, const char* tag, const char* title, const EyeData& e,
             const dsp::RVec& values) {
    QCPAxisRect* axes = canvas->addAxes(where, tag);
    QCPCurve* traces = canvas->addCurve(axes, e.t, values);
    traces->setPen(QPen(kLineColour, 0));
    canvas->setTitle(axes, title);
    setLabels(axes, "Time", "Amplitude");
    setLimits(axes, -e.period / 2, e.period / 2, -e.yLimit, e.yLimit);
}

}  // namespace

PlotWindow* eyediagram(const dsp::CVec& x, double n, double period, double offset) {
    const EyeData e = eyeTraces(x, n, period, offset);
    auto* window = new PlotWindow;
    window->setWindowTitle("Eye Diagram");
    window->resize(560, 420);
    auto* canvas = new PlotCanvas;
    window->setCentralWidget(canvas);
    window->addCanvas(canvas);
    if (e.complex) {
        drawEye(canvas, kUpperAxes, "eyeInPhase", "Eye Diagram for In-Phase Signal", e, e.i);
        drawEye(canvas, kLowerAxes, "eyeQuadrature", "Eye Diagram for Quadrature Signal", e, e.q);
    } else {
        drawEye(canvas, kDefaultAxes, "eyeInPhase", "Eye Diagram for In-Phase Signal", e, e.i);
    }
    return window;
}

PlotWindow* KV_PlotEyeDiagram(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave, double n,
                              double period, double offset, host::Dialogs& dialogs) {
    n = std::max(n, 1.0);
    offset = std::min(std::max(offset, 0.0), n - 1);
    if (period == 0) period = 1;

    PlotWindow* window = nullptr;
    try {
        window = eyediagram(iqWave, n, period, offset);
    } catch (const std::exception& e) {
        dialogs.error("Plot Error", std::string("Unable to Plot Eye Diagram\n") + e.what());
        return nullptr;
    }
    addPlotMenus(window);
    placePlotWindow(window, PlotKind::EyeDiagram, hParent);
    showPlotWindow(window, PlotKind::EyeDiagram, label);
    return window;
}

}  // namespace plots
