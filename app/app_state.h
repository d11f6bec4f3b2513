#pragma once
// The one application state every module works on.
#include <array>

#include <string>
#include <vector>

#include "model/carriers.h"
#include "model/records.h"
#include "dsp/types.h"

namespace app {

// Members carry the record names; the types are the model's.
struct AppState {
    model::AppInfo appInfo = model::InitializeAppInfo();
    model::Configuration configuration = model::InitializeConfiguration();
    model::Parameters parameters = model::InitializeParameters();
    model::SigGenSettings SigGenSettings = model::InitializeSigGenSettings(parameters);
    // The carriers, noise and crest factor; the plain plan is the one frame as it is.
    model::CarrierPlan carrierPlan;

    // Results of the last calculation; meaningful only while appInfo.LastCalcTimeStamp is set.
    dsp::CVec waveform;
    std::array<dsp::Bits, 2> markers;  // marker 1 (half-slot timing), marker 2 (RF blanking)
    // The oversampling the held waveform was computed with: it plays and plots at its own rate,
    // whatever the settings say now.
    double waveformOverSampling = 0;
    double waveformRate() const { return model::samplingRate(waveformOverSampling); }
    // The plan it was computed with, the frames it holds and its carriers' offsets as used.
    model::CarrierPlan waveformPlan;
    int waveformFrames = 1;
    std::vector<double> waveformCarriersHz{0.0};
    // What the carriers, noise and crest-factor reduction made of it; empty for the plain frame.
    std::string waveformSummary;
};

}  // namespace app
