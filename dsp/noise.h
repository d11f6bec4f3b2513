#pragma once
// White Gaussian noise and the process-wide random source.
#include <cstddef>
#include <random>

#include "dsp/types.h"

namespace dsp {

using Rng = std::mt19937_64;

// Seeded once from the system's entropy source and never reseeded.
Rng& defaultRng();

// n complex samples of total power `power`: sqrt(power/2) * (x + j y), x and y standard normal.
CVec complexNoise(std::size_t n, double power, Rng& rng);

}  // namespace dsp
