#pragma once
// Walsh (Sylvester–Hadamard) matrix, Walsh cover, bit-to-sign mapping and row tiling.
#include <complex>
#include <vector>

#include "dsp/types.h"

namespace engine {

// Sylvester–Hadamard matrix of order 2^floor(log2(index)); row r+1 is Walsh function r.
dsp::Matrix Zuno_WalshMatrix(int index);

// conj(s) * code(1..N) for every symbol s, concatenated in symbol order.
dsp::RVec Zuno_WalshCover(const dsp::RVec& signal, const dsp::RVec& code);
dsp::CVec Zuno_WalshCover(const dsp::CVec& signal, const dsp::RVec& code);

// 1 - 2x, element by element.
dsp::RVec Zuno_SignalMap(const dsp::Bits& input);
dsp::RVec Zuno_SignalMap(const dsp::RVec& input);

// The whole row tiled `factor` times.
template <class T>
std::vector<T> Zuno_Repeat(const std::vector<T>& input, std::size_t factor) {
    std::vector<T> out;
    out.reserve(input.size() * factor);
    for (std::size_t i = 0; i < factor; ++i) out.insert(out.end(), input.begin(), input.end());
    return out;
}

}  // namespace engine
