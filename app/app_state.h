#pragma once
// The one application state every module works on.
#include <array>

#include "model/records.h"
#include "dsp/types.h"

namespace app {

// Members carry the record names; the types are the model's.
struct AppState {
    model::AppInfo appInfo = model::InitializeAppInfo();
    model::Configuration configuration = model::InitializeConfiguration();
    model::Parameters parameters = model::InitializeParameters();
    model::SigGenSettings SigGenSettings = model::InitializeSigGenSettings(parameters);

    // Results of the last calculation; meaningful only while appInfo.LastCalcTimeStamp is set.
    dsp::CVec waveform;
    std::array<dsp::Bits, 2> markers;  // marker 1 (half-slot timing), marker 2 (RF blanking)
    // The oversampling the held waveform was computed with: it plays and plots at its own rate,
    // whatever the settings say now.
    double waveformOverSampling = 0;
    double waveformRate() const { return model::samplingRate(waveformOverSampling); }
};

}  // namespace app
