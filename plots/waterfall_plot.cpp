#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <algorithm>

#include "plots/core/spectrum.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"
#include "plots/waterfall_view.h"

namespace plots {

namespace {

// The slices' levels as the colour map's cells.
void fillCells(QCPColorMap* map, const WaterfallData& d) {
    map->data()->setSize(int(d.n), int(d.m));
    map->data()->setRange({d.freq.front(), d.freq.back()}, {d.time.front(), d.time.back()});
    for (std::size_t i = 0; i < d.m; ++i)
        for (std::size_t k = 0; k < d.n; ++k) map->data()->setCell(int(k), int(i), std::clamp(d.at(i, k), d.mMin, d.mMax));
}

// The slices as a colour map: frequency across, time running down, level in colour. Its cells
// are filled when it is first shown: the window opens on the three-dimensional view.
PlotCanvas* spectrogram(const WaterfallView* view, const QString& fLabel, const QString& tLabel) {
    const WaterfallData& d = view->data();
    auto* canvas = new PlotCanvas;
    canvas->setObjectName("spectrogram");
    QCPAxisRect* axes = canvas->addAxes(placeAxes(kDefaultAxes), "spectrogramAxes");
    auto* map = new QCPColorMap(xAxisOf(axes), yAxisOf(axes));
    // The bar first: joining it takes over its range.
    map->setColorScale(canvas->addColourScale(axes, "LogMag (dB)"));
    map->setGradient(QCPColorGradient::gpJet);
    map->setDataRange({d.mMin, d.mMax});
    map->setInterpolate(false);
    yAxisOf(axes)->setRangeReversed(true);
    const double step = d.m > 1 ? d.time[1] - d.time[0] : 1;
    setLimits(axes, d.fMin, d.fMax, d.tMin - step / 2, d.tMax + step / 2);
    setLabels(axes, fLabel, tLabel);
    canvas->setTitle(axes, "Spectrogram");
    return canvas;
}

// The cell under the mouse in the spectrogram, with its level as computed (not as coloured).
QString spectrogramReadout(PlotCanvas* canvas, const WaterfallView* view, QPointF at) {
    const QCPAxisRect* axes = canvas->axisRect();
    if (!axes->rect().contains(at.toPoint())) return {};
    auto* map = qobject_cast<QCPColorMap*>(canvas->plottable(0));
    int k = 0, i = 0;
    map->data()->coordToCell(axes->axis(QCPAxis::atBottom)->pixelToCoord(at.x()),
                             axes->axis(QCPAxis::atLeft)->pixelToCoord(at.y()), &k, &i);
    const WaterfallData& d = view->data();
    if (k < 0 || i < 0 || std::size_t(k) >= d.n || std::size_t(i) >= d.m) return {};
    return readoutText(d.freq[k], QString::fromStdString(d.fUnits), d.time[i], QString::fromStdString(d.tUnits),
                       d.at(i, k), "dB");
}

// The plain menu bar of a figure window: print, save, close, copy, zoom and the view's rotation.
void addStandardMenus(PlotWindow* window, WaterfallView* view) {
    QMenuBar* bar = window->menuBar();
    QMenu* file = bar->addMenu("&File");
    QObject::connect(file->addAction("&Print..."), &QAction::triggered, window, [window] { window->printWindow(); });
    QObject::connect(file->addAction("Save as PDF/SVG/PNG"), &QAction::triggered, window,
                     [window] { window->saveFigureAs(); });
    file->addSeparator();
    QObject::connect(file->addAction("&Close"), &QAction::triggered, window, &QWidget::close);
    QMenu* edit = bar->addMenu("&Edit");
    QObject::connect(edit->addAction("&Copy Figure"), &QAction::triggered, window,
                     [window] { window->copyToClipboard(); });
    QMenu* tools = bar->addMenu("&Tools");
    QAction* zoom = tools->addAction("&Zoom");
    zoom->setObjectName("waterfallZoom");
    zoom->setCheckable(true);
    QAction* rotate = tools->addAction("&Rotate 3D");
    rotate->setObjectName("waterfallRotate");
    rotate->setCheckable(true);
    rotate->setChecked(view->rotateEnabled());
    // Dragging either turns the view or draws a zoom box, never both.
    QObject::connect(zoom, &QAction::toggled, window, [window, rotate](bool on) {
        window->setZoom(on);
        if (on) rotate->setChecked(false);
    });
    QObject::connect(rotate, &QAction::toggled, view, [view, zoom](bool on) {
        view->setRotateEnabled(on);
        if (on) zoom->setChecked(false);
    });
    QAction* reset = tools->addAction("Reset &View");
    reset->setObjectName("waterfallResetView");
    QObject::connect(reset, &QAction::triggered, view, [window, view] {
        view->resetView();
        window->resetZoom();
    });
}

}  // namespace

PlotWindow* KV_PlotWaterfall(QWidget* hParent, const std::string& label, double sampleRate, double period,
                             const dsp::CVec& iqWave) {
    WaterfallData data = computeWaterfall(sampleRate, period, iqWave);
    const QString fLabel = QString::fromStdString("Frequency (" + data.fUnits + ")");
    const QString tLabel = QString::fromStdString("Time (" + data.tUnits + ")");

    auto* window = new PlotWindow;
    placePlotWindow(window, PlotKind::Waterfall, hParent);
    auto* view = new WaterfallView(std::move(data));
    view->setObjectName("waterfallAxes");
    view->setLabels(fLabel, tLabel, "LogMag (dB)", "Spectrum");
    PlotCanvas* map = spectrogram(view, fLabel, tLabel);
    auto* tabs = new QTabWidget;
    tabs->setObjectName("waterfallViews");
    tabs->setDocumentMode(true);
    tabs->addTab(view, "3-D Waterfall");
    tabs->addTab(map, "Spectrogram");
    QObject::connect(tabs, &QTabWidget::currentChanged, map, [map, view](int index) {
        if (index != 1 || map->property("filled").toBool()) return;
        fillCells(qobject_cast<QCPColorMap*>(map->plottable(0)), view->data());
        map->setProperty("filled", true);
        map->replot();
    });
    window->setCentralWidget(tabs);
    window->addZoomable(view);
    window->addZoomable(map);
    QObject::connect(view, &WaterfallView::readoutChanged, window, &PlotWindow::showReadout);
    QObject::connect(map, &QCustomPlot::mouseMove, window, [window, map, view](QMouseEvent* e) {
        window->showReadout(spectrogramReadout(map, view, e->position()));
    });
    addStandardMenus(window, view);

    showPlotWindow(window, PlotKind::Waterfall, label);
    return window;
}

}  // namespace plots
