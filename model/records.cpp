#include "model/records.h"

namespace model {

dsp::Matrix Parameters::Slot::firstRpcChannelOnly() {
    dsp::Matrix m(engine::kSlots, kRpcChannels, 0.0);
    for (std::size_t r = 0; r < m.rows; ++r) m(r, 0) = 1.0;
    return m;
}

AppInfo InitializeAppInfo() {
    return AppInfo{};
}

Configuration InitializeConfiguration() {
    return Configuration{};
}

Parameters InitializeParameters() {
    Parameters p;
    p.ProjectedLength = projectedLength(p.OverSampling);
    return p;
}

SigGenSettings InitializeSigGenSettings(const Parameters& parameters) {
    SigGenSettings s;
    s.SamplingRate = samplingRate(parameters.OverSampling);
    return s;
}

}  // namespace model
