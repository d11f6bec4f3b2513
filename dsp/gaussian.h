#pragma once
// Standard normal numbers for noise of millions of samples: Marsaglia and Tsang's ziggurat over
// xoshiro256+, several times faster than std::normal_distribution. The same seed gives the same
// numbers on every machine.
#include <array>
#include <cstdint>
#include <cstdlib>

#include "dsp/types.h"

namespace dsp {

namespace detail {
// The ziggurat's 128 layers: a draw below k[i] in magnitude lies inside layer i's rectangle and
// is the value draw x w[i]; f holds the density at each layer's edge.
struct ZigguratTables {
    ZigguratTables();
    std::array<std::int64_t, 128> k{};
    std::array<double, 128> w{};
    std::array<double, 128> f{};
};
extern const ZigguratTables kZiggurat;
}  // namespace detail

class GaussianSource {
public:
    explicit GaussianSource(std::uint64_t seed);

    double operator()() { return fromBits(static_cast<std::uint32_t>(next() >> 32)); }

    // to = keep to + complex samples of mean power `power`, sqrt(power / 2) (x + j y).
    void mixComplexNoise(CVec& to, double keep, double power);
    // Such samples on their own.
    CVec complexNoise(std::size_t n, double power);

private:
    std::uint64_t next() {
        const std::uint64_t result = s_[0] + s_[3];
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = (s_[3] << 45) | (s_[3] >> 19);
        return result;
    }
    // One number from 32 random bits: the low 7 choose the layer, all 32 the signed value (the
    // layer's bits weigh 2^-24 of it at most).
    double fromBits(std::uint32_t bits) {
        const unsigned iz = bits & 127;
        const auto hz = static_cast<std::int64_t>(static_cast<std::int32_t>(bits));
        if (std::llabs(hz) < detail::kZiggurat.k[iz]) return static_cast<double>(hz) * detail::kZiggurat.w[iz];
        return tail(hz, iz);
    }
    double uniform();  // in (0, 1)
    double tail(std::int64_t hz, unsigned iz);
    std::uint64_t s_[4];
};

}  // namespace dsp
