#pragma once
// Equiripple linear-phase FIR design by the Parks–McClellan (Remez exchange) method.
#include <vector>

namespace dsp {

struct RemezDesign {
    std::vector<double> h;          // order + 1 symmetric coefficients
    std::vector<double> extremals;  // final extremal frequencies, normalised to Nyquist (0..1)
    double deviation = 0.0;         // weighted equiripple error |delta|
    int iterations = 0;
};

// order: filter order (order + 1 taps, odd or even length, even-symmetric response).
// edges: band edges in pairs, normalised so that 1 is the Nyquist frequency.
// desired: amplitude at each edge; within a band the response is the straight line between them.
// weights: one per band. gridDensity: grid points per extremal (16 is the usual value).
// Throws std::invalid_argument on malformed input and std::runtime_error when the exchange
// does not converge.
RemezDesign remezDesign(int order, const std::vector<double>& edges, const std::vector<double>& desired,
                        const std::vector<double>& weights, int gridDensity = 16);

// Coefficients only.
std::vector<double> remez2(int order, const std::vector<double>& edges, const std::vector<double>& desired,
                           const std::vector<double>& weights, int gridDensity = 16);

}  // namespace dsp
