#include "analyzer/frame_layout.h"

#include "engine/pn_codes.h"

namespace analyzer {

const dsp::CVec& shortCode() {
    static const dsp::CVec code = [] {
        const auto& i = engine::shortCodeI();
        const auto& q = engine::shortCodeQ();
        dsp::CVec c(kChipsPerFrame);
        for (std::size_t t = 0; t < kChipsPerFrame; ++t) c[t] = {1.0 - 2.0 * i[t], 1.0 - 2.0 * q[t]};
        return c;
    }();
    return code;
}

}  // namespace analyzer
