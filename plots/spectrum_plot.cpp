#include "plots/core/spectrum.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

PlotWindow* KV_PlotSpectrum(QWidget* hParent, const std::string& label, double sampleRate, const dsp::CVec& iqWave) {
    const SpectrumData s = computeSpectrum(sampleRate, iqWave);

    auto [window, canvas] = openCanvasWindow(PlotKind::Spectrum, hParent);

    QCPAxisRect* axes = canvas->addAxes(placeAxes(kDefaultAxes), "spectrumAxes");
    canvas->addLine(axes, s.freq, s.magSignal, kLineColour);
    setLabels(axes, QString::fromStdString("Frequency (" + s.fUnits + ")"), "LogMag (dB)");
    canvas->setTitle(axes, "Spectrum");
    setLimits(axes, s.fMin, s.fMax, s.mMin, s.mMax);
    setGrids(axes, true);

    showPlotWindow(window, PlotKind::Spectrum, label);
    return window;
}

}  // namespace plots
