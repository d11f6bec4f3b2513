#include "engine/pn_codes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

#include "dsp/number_text.h"
#include "engine/circular_shift.h"
#include "engine/walsh.h"

namespace engine {

namespace {

constexpr std::size_t kShortCodeLength = kChipsPerFrame;  // one period per frame
constexpr double kMaxPnLength = 4294967296.0;  // 2^32

// Coefficients of x^0 .. x^15.
const std::vector<double> kTapsI{1, 0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 0, 0, 1, 0, 1};
const std::vector<double> kTapsQ{1, 0, 0, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1};

Bits buildShortCode(const std::vector<double>& taps) {
    Bits seed(15, 0);
    seed.back() = 1;
    Bits code = lfsr(15, taps, kShortCodeLength - 1, seed);
    code.insert(code.begin(), 0);
    std::reverse(code.begin(), code.end());
    return CircularShiftRight(code, 15);
}

// The spreading code pnI + j pnQ at offset 0.
const CVec& complexShortCode() {
    static const CVec code = [] {
        const Bits& i = shortCodeI();
        const Bits& q = shortCodeQ();
        CVec out(kShortCodeLength);
        for (std::size_t t = 0; t < kShortCodeLength; ++t)
            out[t] = {1.0 - 2.0 * i[t], 1.0 - 2.0 * q[t]};
        return out;
    }();
    return code;
}

struct TapEntry {
    std::array<int, 4> positions;
    int count;
    int invert;
};

// Tap positions p of s(i) = xor of s(i - p), by degree; the degree-20 entry without zero suppression.
constexpr std::array<TapEntry, 32> kTapTable{{
    {{0}, 0, 0},            {{0}, 0, 0},            {{0}, 0, 0},            {{3, 1}, 2, 0},
    {{4, 1}, 2, 0},         {{5, 2}, 2, 0},         {{6, 1}, 2, 0},         {{7, 1}, 2, 0},
    {{8, 4, 3, 2}, 4, 0},   {{9, 5}, 2, 0},         {{10, 3}, 2, 0},        {{11, 9}, 2, 0},
    {{12, 6, 4, 1}, 4, 0},  {{13, 4, 3, 1}, 4, 0},  {{14, 12, 2, 1}, 4, 0}, {{15, 14}, 2, 1},
    {{16, 12, 3, 1}, 4, 0}, {{17, 3}, 2, 0},        {{18, 7}, 2, 0},        {{19, 5, 2, 1}, 4, 0},
    {{20, 3}, 2, 0},        {{21, 2}, 2, 0},        {{22, 1}, 2, 0},        {{23, 18}, 2, 1},
    {{24, 7, 2}, 3, 0},     {{25, 3}, 2, 0},        {{26, 6, 2, 1}, 4, 0},  {{27, 5, 2, 1}, 4, 0},
    {{28, 3}, 2, 0},        {{29, 27}, 2, 1},       {{30, 23, 2, 1}, 4, 0}, {{31, 28}, 2, 1},
}};

std::optional<double> scalarOf(const std::optional<std::vector<double>>& v) {
    if (v && v->size() == 1) return v->front();
    return std::nullopt;
}

Bits pnSeed(const std::optional<std::vector<double>>& seed, int n) {
    const auto size = static_cast<std::size_t>(n);
    if (!seed || seed->size() < size) {
        if (seed && seed->size() == 1 && seed->front() != 0) {
            Bits s(size, 0);
            s.back() = 1;
            return s;
        }
        return Bits(size, 1);
    }
    Bits s(size);
    for (std::size_t i = 0; i < size; ++i) {
        const double b = (*seed)[i];
        if (b != 0 && b != 1)
            throw std::invalid_argument("PN generator seed bit " + std::to_string(i + 1) + " is " + dsp::generalText(b) +
                                        "; seed bits must be 0 or 1");
        s[i] = static_cast<std::uint8_t>(b);
    }
    if (std::all_of(s.begin(), s.end(), [](std::uint8_t b) { return b == 0; })) s.back() = 1;
    return s;
}

// No run of more than fourteen zeros: the fifteenth zero of a run becomes a one.
void suppressZeroRuns(Bits& bits) {
    int run = 0;
    for (auto& b : bits) {
        if (b != 0) {
            run = 0;
        } else if (++run == 15) {
            b = 1;
            run = 0;
        }
    }
}

}  // namespace

Bits lfsr(int order, const std::vector<double>& taps, std::size_t m, const Bits& seed) {
    if (order < 1) throw std::invalid_argument("LFSR order " + std::to_string(order) + " must be at least 1");
    const auto n = static_cast<std::size_t>(order);
    if (taps.size() < n)
        throw std::invalid_argument("LFSR of order " + std::to_string(order) + " needs " + std::to_string(order) +
                                    " taps, got " + std::to_string(taps.size()));
    if (seed.size() != n)
        throw std::invalid_argument("LFSR of order " + std::to_string(order) + " needs a seed of " +
                                    std::to_string(order) + " bits, got " + std::to_string(seed.size()));

    // taps(k) weighs a(i - order + k - 1); keep the lags of the odd weights.
    std::vector<std::size_t> lags;
    for (std::size_t k = 0; k < n; ++k) {
        const double t = taps[k];
        if (!std::isfinite(t) || t != std::floor(t))
            throw std::invalid_argument("LFSR tap " + std::to_string(k + 1) + " is " + dsp::generalText(t) +
                                        "; taps must be whole numbers");
        if (std::fmod(std::fabs(t), 2.0) == 1.0) lags.push_back(n - k);
    }

    Bits a(std::max(m, n), 0);
    for (std::size_t i = 0; i < n; ++i) a[i] = seed[i] & 1u;
    for (std::size_t i = n; i < a.size(); ++i) {
        std::uint8_t v = 0;
        for (std::size_t lag : lags) v ^= a[i - lag];
        a[i] = v;
    }
    return a;
}

const Bits& shortCodeI() {
    static const Bits code = buildShortCode(kTapsI);
    return code;
}

const Bits& shortCodeQ() {
    static const Bits code = buildShortCode(kTapsQ);
    return code;
}

// Tiling the one period first gives the same row as tiling, reversing and rotating the whole.
Bits Zuno_PNiSequence(std::size_t reps) { return Zuno_Repeat(shortCodeI(), reps); }
Bits Zuno_PNqSequence(std::size_t reps) { return Zuno_Repeat(shortCodeQ(), reps); }

CVec Zuno_FwdQuadSpreading(const CVec& frame, double offsetIndex) {
    if (frame.size() != kShortCodeLength)
        throw std::invalid_argument("Quadrature spreading needs a frame of " + std::to_string(kShortCodeLength) +
                                    " chips, got " + std::to_string(frame.size()));
    if (!(offsetIndex >= 0 && offsetIndex <= kMaxPilotOffset) || offsetIndex != std::floor(offsetIndex))
        throw std::invalid_argument("PilotOffsetIndex = " + dsp::generalText(offsetIndex) +
                                    " is not a whole number in 0..511");

    const CVec& pn = complexShortCode();
    const std::size_t shift = kPilotOffsetChips * static_cast<std::size_t>(offsetIndex);
    CVec out(kShortCodeLength);
    for (std::size_t t = 0; t < kShortCodeLength; ++t) out[t] = frame[t] * pn[(t + shift) % kShortCodeLength];
    return out;
}

Bits PNgenerator(const PNgeneratorArgs& args) {
    double nValue = scalarOf(args.n).value_or(9);
    if (std::isnan(nValue)) nValue = 9;
    const int n = static_cast<int>(std::clamp(std::round(nValue), 3.0, 31.0));

    double length = std::pow(2.0, n) - 1;
    if (const auto given = scalarOf(args.dataLength)) {
        if (std::isnan(*given)) throw std::invalid_argument("PN generator dataLength is not a number");
        length = std::floor(*given);
    }
    length = std::max(length, 1.0);
    if (length > kMaxPnLength)
        throw std::invalid_argument("PN generator dataLength = " + dsp::generalText(length) + " exceeds the limit of " +
                                    dsp::generalText(kMaxPnLength) + " bits");
    const auto dataLength = static_cast<std::size_t>(length);

    const int userInvert = args.userInvert && *args.userInvert == 1 ? 1 : 0;
    const bool zeroSuppression = args.zeroSuppresion && *args.zeroSuppresion == 1;
    const Bits seed = pnSeed(args.seed, n);

    TapEntry entry = kTapTable[static_cast<std::size_t>(n)];
    if (n == 20 && zeroSuppression) entry.positions = {20, 17};

    // Position p becomes coefficient n + 1 - p once the tap row is reversed; the appended 1 is unused.
    std::vector<double> taps(static_cast<std::size_t>(n) + 1, 0.0);
    for (int k = 0; k < entry.count; ++k) taps[static_cast<std::size_t>(n - entry.positions[k])] = 1;
    taps.back() = 1;

    Bits sequence = lfsr(n, taps, dataLength, seed);
    if (n == 20 && zeroSuppression) suppressZeroRuns(sequence);
    if ((entry.invert + userInvert) % 2 == 1)
        for (auto& b : sequence) b ^= 1u;
    sequence.resize(dataLength);
    return sequence;
}

Bits PNgenerator(double n, double dataLength) {
    return PNgenerator(PNgeneratorArgs{.n = std::vector<double>{n}, .dataLength = std::vector<double>{dataLength}});
}

}  // namespace engine
