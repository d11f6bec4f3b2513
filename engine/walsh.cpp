#include "engine/walsh.h"

#include <stdexcept>
#include <string>

namespace engine {

namespace {

constexpr int kMaxWalshOrder = 4096;

}  // namespace

dsp::Matrix Zuno_WalshMatrix(int index) {
    if (index < 1 || index >= 2 * kMaxWalshOrder)
        throw std::invalid_argument("Walsh matrix index " + std::to_string(index) + " is outside 1.." +
                                    std::to_string(2 * kMaxWalshOrder - 1));
    std::size_t order = 1;
    while (order * 2 <= static_cast<std::size_t>(index)) order *= 2;

    dsp::Matrix h(order, order, 1.0);
    for (std::size_t size = 1; size < order; size *= 2)
        for (std::size_t r = 0; r < size; ++r)
            for (std::size_t c = 0; c < size; ++c) {
                const double v = h(r, c);
                h(r, c + size) = v;
                h(r + size, c) = v;
                h(r + size, c + size) = -v;
            }
    return h;
}

dsp::RVec Zuno_WalshCover(const dsp::RVec& signal, const dsp::RVec& code) {
    dsp::RVec out;
    out.reserve(signal.size() * code.size());
    for (double s : signal)
        for (double w : code) out.push_back(s * w);
    return out;
}

dsp::CVec Zuno_WalshCover(const dsp::CVec& signal, const dsp::RVec& code) {
    dsp::CVec out;
    out.reserve(signal.size() * code.size());
    for (const dsp::cplx& s : signal) {
        const dsp::cplx c = std::conj(s);
        for (double w : code) out.push_back(c * w);
    }
    return out;
}

dsp::RVec Zuno_SignalMap(const dsp::Bits& input) {
    dsp::RVec out(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) out[i] = 1.0 - 2.0 * input[i];
    return out;
}

dsp::RVec Zuno_SignalMap(const dsp::RVec& input) {
    dsp::RVec out(input.size());
    for (std::size_t i = 0; i < input.size(); ++i) out[i] = 1.0 - 2.0 * input[i];
    return out;
}

}  // namespace engine
