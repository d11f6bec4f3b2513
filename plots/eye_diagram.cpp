#include <QMenuBar>
#include <cmath>
#include <exception>

#include "engine/frame.h"
#include "host/qt/dialogs.h"
#include "plots/core/time_plots.h"
#include "plots/drawing_components.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

// Cells of the persistence display, about a pixel and a half each in the window as it opens:
// finer costs time (every trace is counted column by column) that the picture does not show.
constexpr std::size_t kColumns = 300;
constexpr std::size_t kRows = 300;

// White where no trace passes, then light to deep blue and on to red where most traces run.
QCPColorGradient persistence() {
    QCPColorGradient g;
    g.setColorStopAt(0, Qt::white);
    g.setColorStopAt(1e-9, QColor(190, 205, 255));
    g.setColorStopAt(0.45, QColor(0, 0, 255));
    g.setColorStopAt(0.8, QColor(150, 0, 140));
    g.setColorStopAt(1, QColor(220, 0, 0));
    g.setLevelCount(256);
    return g;
}

void drawEye(PlotCanvas* canvas, const Box& where, const char* tag, const char* title, const EyeDensity& e,
             const dsp::RVec& grid) {
    QCPAxisRect* axes = canvas->addAxes(where, tag);
    // Chips, the unit the symbol timing is counted in.
    const double half = e.period * engine::kChipRate / 2;
    // Counted in the waveform's own units, shown against the DAC's full scale.
    const double top = e.yLimit / e.fullScale;
    const double dx = 2 * half / double(e.columns), dy = 2 * top / double(e.rows);
    auto* map = new QCPColorMap(xAxisOf(axes), yAxisOf(axes));
    map->data()->setSize(int(e.columns), int(e.rows));
    map->data()->setRange({-half + dx / 2, half - dx / 2}, {-top + dy / 2, top - dy / 2});
    // On a logarithmic scale a single stray trace still shows beside ten thousand on top of each other.
    double most = 0;
    for (std::size_t r = 0; r < e.rows; ++r)
        for (std::size_t c = 0; c < e.columns; ++c) {
            const double v = std::log1p(e.count(grid, c, r));
            map->data()->setCell(int(c), int(r), v);
            most = std::max(most, v);
        }
    map->setGradient(persistence());
    map->setDataRange({0, most > 0 ? most : 1});
    map->setInterpolate(false);
    canvas->setTitle(axes, title);
    setLabels(axes, "Time (chips)", "Amplitude (DAC full scale = 1)");
    setLimits(axes, -half, half, -top, top);
    // A grid to read the eye's opening by, over the picture rather than hidden under it.
    setGrids(axes, true);
    xAxisOf(axes)->grid()->setLayer("overlay");
    yAxisOf(axes)->grid()->setLayer("overlay");
}

}  // namespace

PlotWindow* eyediagram(const dsp::CVec& x, double n, double period, double offset) {
    const EyeDensity e = eyeDensity(x, n, period, offset, kColumns, kRows);
    auto* window = new PlotWindow;
    window->setWindowTitle("Eye Diagram");
    window->resize(560, 420);
    auto* canvas = new PlotCanvas;
    window->setCentralWidget(canvas);
    window->addZoomable(canvas);
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
    window->setDialogs(dialogs);
    addPlotMenus(window);
    placePlotWindow(window, PlotKind::EyeDiagram, hParent);
    showPlotWindow(window, PlotKind::EyeDiagram, label);
    return window;
}

}  // namespace plots
