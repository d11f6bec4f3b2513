#pragma once
// The plot windows. Each opens a new top-level window next to `hParent` (the main window, or
// none), named by its kind and `label`, draws the waveform and returns the window, which is
// deleted when the user closes it.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "dsp/types.h"
#include "plots/core/ccdf.h"
#include "plots/plot_window.h"

namespace host {
class Dialogs;
}

namespace analyzer {
struct Result;
}

namespace plots {

// The distribution of instantaneous power above the average, against the Gaussian noise
// reference, with the mean and peak power (in dBm when the output power `outputDbm`, the whole
// waveform's mean, is given), the crest factor and the levels 10 % to 0.01 % of the samples reach.
// An empty waveform shows an amplitude-modulated test tone. With a gate (the RF blanking marker,
// one value per sample) the window offers to count only where it is high. A curve stored as the
// reference goes to `reference` (shared by the windows given the same one) and is drawn and read
// beside every later curve.
PlotWindow* KV_PlotCCDF(QWidget* hParent = nullptr, const std::string& label = "Test Data",
                        const dsp::CVec& iqWave = {}, const dsp::Bits& gate = {}, double outputDbm = NAN,
                        std::optional<CcdfReference>* reference = nullptr);

// The magnitude spectrum of the whole waveform, peak at 0 dB.
PlotWindow* KV_PlotSpectrum(QWidget* hParent, const std::string& label, double sampleRate, const dsp::CVec& iqWave);

// A spectrum analyser's view of the waveform: Welch's power density at a chosen resolution
// bandwidth and averaging, in dBm/Hz (the waveform's mean power being `outputDbm`) or in dB
// relative to the total power, with the channel power, occupied bandwidth and adjacent-channel
// leakage against editable limits, and markers. With several carriers (their offsets in Hz), the
// channel power of each and the leakage beside the outer ones.
PlotWindow* KV_PlotSpectrumAnalyzer(QWidget* hParent, const std::string& label, double sampleRate, double outputDbm,
                                    const dsp::CVec& iqWave, host::Dialogs& dialogs,
                                    const std::vector<double>& carriersHz = {0.0});

// The spectra of successive slices of `period` seconds, as a turnable three-dimensional view and
// as a spectrogram.
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

// An analysis of one frame: the summary, a table of the slots and, for the slot chosen in the
// table or the slot box, the code-domain power of its MAC and traffic Walsh codes and its
// traffic constellation.
PlotWindow* KV_PlotMeasure(QWidget* hParent, const std::string& label, const analyzer::Result& result);

}  // namespace plots
