#include "plots/core/time_plots.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

// Samples are numbers, not volts: read against the full scale the instrument plays them at.
const QString kAmplitudeLabel = "Amplitude (DAC full scale = 1)";

}  // namespace

PlotWindow* KV_PlotIQTime(QWidget* hParent, const std::string& label, double sampleRate, double overlay,
                          const dsp::CVec& iqWave) {
    const IqTimeData d = computeIqTime(sampleRate, iqWave);
    const QString timeLabel = QString::fromStdString("Time (" + d.tUnits + ")");

    auto [window, canvas] = openCanvasWindow(PlotKind::IQTime, hParent);

    if (overlay == 0) {
        QCPAxisRect* axesI = canvas->addAxes(placeUpperAxes(kUpperAxes), "KV_Iwave");
        canvas->addLine(axesI, d.t, d.i, kLineColour);
        canvas->setTitle(axesI, "I(t)");
        setLabels(axesI, "", kAmplitudeLabel);
        setLimits(axesI, 0, d.tMax, -d.iMax, d.iMax);

        QCPAxisRect* axesQ = canvas->addAxes(placeLowerAxes(kLowerAxes), "KV_Qwave");
        canvas->addLine(axesQ, d.t, d.q, kLineColour);
        canvas->setTitle(axesQ, "Q(t)");
        setLabels(axesQ, timeLabel, kAmplitudeLabel);
        setLimits(axesQ, 0, d.tMax, -d.iMax, d.iMax);
        // I and Q at the same moment stay one above the other however either is zoomed.
        PlotCanvas::linkX(axesI, axesQ);
    } else {
        QCPAxisRect* axes = canvas->addAxes(placeAxes(kDefaultAxes), "KV_IQwave");
        canvas->addLine(axes, d.t, d.i, kLineColour)->setName("I(t)");
        canvas->addLine(axes, d.t, d.q, Qt::magenta)->setName("Q(t)");
        canvas->showLegend();
        canvas->setTitle(axes, "I(t) Q(t)");
        setLabels(axes, timeLabel, kAmplitudeLabel);
        setLimits(axes, 0, d.tMax, -d.iMax, d.iMax);
    }

    showPlotWindow(window, PlotKind::IQTime, d.noData ? "No Data" : label);
    return window;
}

}  // namespace plots
