#pragma once
// The one application state every module works on.
#include <array>

#include "app/core/records.h"
#include "dsp/types.h"

namespace app {

// Members carry the record names. `SigGenSettings` shares its name with its type, so the type
// is named with its namespace here and wherever a member function of AppState would need it.
struct AppState {
    AppInfo appInfo = InitializeAppInfo();
    Configuration configuration = InitializeConfiguration();
    Parameters parameters = InitializeParameters();
    app::SigGenSettings SigGenSettings = InitializeSigGenSettings(parameters);

    // Results of the last calculation; meaningful only while appInfo.LastCalcTimeStamp is set.
    dsp::CVec waveform;
    std::array<dsp::Bits, 2> markers;  // marker 1 (half-slot timing), marker 2 (RF blanking)
    // The oversampling the held waveform was computed with: it plays and plots at its own rate,
    // whatever the settings say now.
    double waveformOverSampling = 0;
    double waveformRate() const { return samplingRate(waveformOverSampling); }
};

}  // namespace app
