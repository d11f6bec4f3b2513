#include "plots/core/ccdf.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

PlotWindow* KV_PlotCCDF(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave) {
    const CcdfData c = computeCcdf(iqWave);

    auto [window, canvas] = openCanvasWindow(PlotKind::CCDF, hParent);

    QCPAxisRect* axes = canvas->addAxes(placeAxes(kDefaultAxes), "KV_CCDF");
    canvas->addLine(axes, c.X, c.Y, kLineColour);
    canvas->addLine(axes, c.X, c.Y1, QColor::fromRgbF(0.7, 0.7, 0.7));

    QCPAxis* y = yAxisOf(axes);
    y->setScaleType(QCPAxis::stLogarithmic);
    auto logTicks = QSharedPointer<QCPAxisTickerLog>::create();
    y->setTicker(logTicks);
    // Percentages read better as decimals than as powers of ten.
    y->setNumberFormat("g");
    y->setNumberPrecision(6);
    auto everyTwo = QSharedPointer<QCPAxisTickerFixed>::create();
    everyTwo->setTickStep(2);
    everyTwo->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    xAxisOf(axes)->setTicker(everyTwo);

    setLimits(axes, 0, c.maxX, c.yMin, 100);
    setGrids(axes, true);
    canvas->setTitle(axes, "CCDF");
    setLabels(axes, "dB above Average", "Frequency of occurence (%)");

    showPlotWindow(window, PlotKind::CCDF, label);
    return window;
}

}  // namespace plots
