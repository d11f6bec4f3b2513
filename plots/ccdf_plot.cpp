#include <QCheckBox>
#include <algorithm>

#include "plots/core/ccdf.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

// Every 2 dB over the whole curve, finer when zoomed in.
class CcdfTicker : public QCPAxisTicker {
protected:
    double getTickStep(const QCPRange& range) override { return ccdfTickStep(range.size()); }
};

void draw(PlotCanvas* canvas, QCPAxisRect* axes, const CcdfData& c, bool gated) {
    canvas->graph(0)->setData(QVector<double>(c.X.begin(), c.X.end()), QVector<double>(c.Y.begin(), c.Y.end()), true);
    canvas->graph(1)->setData(QVector<double>(c.X.begin(), c.X.end()), QVector<double>(c.Y1.begin(), c.Y1.end()), true);
    canvas->graph(0)->setName(gated ? "Waveform where marker 2 is high" : "Waveform");
    canvas->graph(1)->setName(c.realWave ? "Real Gaussian noise" : "Complex Gaussian noise");
    setLimits(axes, 0, c.maxX, c.yMin, 100);
}

}  // namespace

PlotWindow* KV_PlotCCDF(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave, const dsp::Bits& gate) {
    const CcdfData c = computeCcdf(iqWave);

    auto [window, canvas] = openCanvasWindow(PlotKind::CCDF, hParent);

    QCPAxisRect* axes = canvas->addAxes(placeAxes(kDefaultAxes), "KV_CCDF");
    canvas->addLine(axes, {}, {}, kLineColour);
    canvas->addLine(axes, {}, {}, QColor::fromRgbF(0.7, 0.7, 0.7));
    draw(canvas, axes, c, false);
    canvas->showLegend();

    QCPAxis* y = yAxisOf(axes);
    y->setScaleType(QCPAxis::stLogarithmic);
    auto logTicks = QSharedPointer<QCPAxisTickerLog>::create();
    y->setTicker(logTicks);
    // Percentages read better as decimals than as powers of ten.
    y->setNumberFormat("g");
    y->setNumberPrecision(6);
    xAxisOf(axes)->setTicker(QSharedPointer<CcdfTicker>::create());

    setGrids(axes, true);
    canvas->setTitle(axes, "CCDF");
    setLabels(axes, "dB above Average", "Frequency of occurence (%)");

    // Idle stretches with the carrier blanked pull the average down; counting only where the
    // blanking marker is high shows the bursts' own statistics.
    auto* gateBox = new QCheckBox("Count only where marker 2 (RF blanking) is high");
    gateBox->setObjectName("ccdfGate");
    const bool anyHigh = std::any_of(gate.begin(), gate.end(), [](auto b) { return b != 0; });
    gateBox->setEnabled(anyHigh && !iqWave.empty());
    if (gateBox->isEnabled())
        QObject::connect(gateBox, &QCheckBox::toggled, canvas, [canvas, axes, iqWave, gate](bool on) {
            draw(canvas, axes, computeCcdf(on ? gatedSamples(iqWave, gate) : iqWave), on);
            canvas->rememberHome();
            canvas->replot();
        });
    addControls(window, gateBox);

    showPlotWindow(window, PlotKind::CCDF, label);
    return window;
}

}  // namespace plots
