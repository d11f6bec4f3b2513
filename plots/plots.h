#pragma once
// The plot windows. Each opens a new top-level window next to `hParent` (the main window, or
// none), named by its kind and `label`, draws the waveform and returns the window, which is
// deleted when the user closes it.
#include <string>

#include "dsp/types.h"
#include "plots/plot_window.h"

namespace host {
class Dialogs;
}

namespace plots {

// The distribution of instantaneous power above the average, against the Gaussian noise
// reference. An empty waveform shows an amplitude-modulated test tone.
PlotWindow* KV_PlotCCDF(QWidget* hParent = nullptr, const std::string& label = "Test Data",
                        const dsp::CVec& iqWave = {});

// The magnitude spectrum of the whole waveform, peak at 0 dB.
PlotWindow* KV_PlotSpectrum(QWidget* hParent, const std::string& label, double sampleRate, const dsp::CVec& iqWave);

// The spectra of successive slices of `period` seconds in a turnable three-dimensional view.
PlotWindow* KV_PlotWaterfall(QWidget* hParent, const std::string& label, double sampleRate, double period,
                             const dsp::CVec& iqWave);

// I and Q against time: in two stacked axes (overlay 0) or both in one.
PlotWindow* KV_PlotIQTime(QWidget* hParent, const std::string& label, double sampleRate, double overlay,
                          const dsp::CVec& iqWave);

// Traces of n samples starting after `offset` samples. When the diagram cannot be drawn the
// reason is shown in the "Plot Error" dialog and the result is null.
PlotWindow* KV_PlotEyeDiagram(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave, double n,
                              double period, double offset, host::Dialogs& dialogs);

// Every n-th sample after `offset` in the I/Q plane; with traceOn, under the path through every
// sample. Failures as for the eye diagram.
PlotWindow* KV_PlotScatterDiagram(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave, double n,
                                  double offset, double traceOn, host::Dialogs& dialogs);

}  // namespace plots
