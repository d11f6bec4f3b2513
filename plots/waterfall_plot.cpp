#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "plots/core/spectrum.h"
#include "plots/plots.h"
#include "plots/waterfall_view.h"

namespace plots {

namespace {

// The plain menu bar of a figure window: print, close, copy, and the view's rotation.
void addStandardMenus(PlotWindow* window, WaterfallView* view) {
    QMenuBar* bar = window->menuBar();
    QMenu* file = bar->addMenu("&File");
    QObject::connect(file->addAction("&Print..."), &QAction::triggered, window, [window] { window->printWindow(); });
    file->addSeparator();
    QObject::connect(file->addAction("&Close"), &QAction::triggered, window, &QWidget::close);
    QMenu* edit = bar->addMenu("&Edit");
    QObject::connect(edit->addAction("&Copy Figure"), &QAction::triggered, window,
                     [window] { window->copyToClipboard(); });
    QMenu* tools = bar->addMenu("&Tools");
    QAction* rotate = tools->addAction("&Rotate 3D");
    rotate->setObjectName("waterfallRotate");
    rotate->setCheckable(true);
    rotate->setChecked(view->rotateEnabled());
    QObject::connect(rotate, &QAction::toggled, view, [view](bool on) { view->setRotateEnabled(on); });
    QAction* reset = tools->addAction("Reset &View");
    reset->setObjectName("waterfallResetView");
    QObject::connect(reset, &QAction::triggered, view, [view] { view->resetView(); });
}

}  // namespace

PlotWindow* KV_PlotWaterfall(QWidget* hParent, const std::string& label, double sampleRate, double period,
                             const dsp::CVec& iqWave) {
    WaterfallData data = computeWaterfall(sampleRate, period, iqWave);
    const QString fUnits = QString::fromStdString(data.fUnits), tUnits = QString::fromStdString(data.tUnits);

    auto* window = new PlotWindow;
    placePlotWindow(window, PlotKind::Waterfall, hParent);
    auto* view = new WaterfallView(std::move(data));
    view->setObjectName("waterfallAxes");
    view->setLabels("Frequency (" + fUnits + ")", "Time (" + tUnits + ")", "LogMag (dB)", "Spectrum");
    window->setCentralWidget(view);
    addStandardMenus(window, view);

    showPlotWindow(window, PlotKind::Waterfall, label);
    return window;
}

}  // namespace plots
