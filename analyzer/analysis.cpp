#include "analyzer/analysis.h"

#include <stdexcept>

namespace analyzer {

int macWalshFunction(int macIndex) { return macIndex / 2 + 32 * (macIndex % 2); }
bool macOnQuadrature(int macIndex) { return macIndex % 2 == 1; }

Options optionsFor(const engine::FrameArgs& args) {
    Options o;
    o.sampleRate = args.oversamplingRate * engine::kChipRate;
    switch (engine::filterKind(args.filterType)) {
        case engine::FilterKind::Rectangular: o.filter = ReferenceFilter::Rectangular; break;
        case engine::FilterKind::Is95Std: o.filter = ReferenceFilter::Standard; break;
        case engine::FilterKind::Is95Acp: o.filter = ReferenceFilter::Acp; break;
    }
    o.phaseEqualizer = args.phaseEqActive == 1.0;
    return o;
}

Result analyze(const dsp::CVec&, const Options&) { throw std::runtime_error("the analyzer is not built yet"); }

}  // namespace analyzer
