#include "analyzer/content.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "analyzer/decisions.h"
#include "analyzer/frame_layout.h"
#include "engine/bit_stream.h"
#include "engine/traffic.h"

namespace analyzer {

namespace {

constexpr double kTrafficGain = 0.25;  // each traffic Walsh channel's amplitude
constexpr std::size_t kMaxTrafficBits = engine::kSlots * 4 * engine::kTrafficChips;
constexpr double kOnThreshold = 1e-4;     // -40 dB
constexpr double kAboveUnused = 10.0;     // 10 dB over the unused codes' mean power
constexpr double kAboveNoise = 31.6;      // 15 dB over the noise of one code

double db(double power) { return 10.0 * std::log10(std::max(power, 1e-30)); }

// In-place natural-order Walsh-Hadamard transform.
template <class T>
void walshTransform(T* x, std::size_t n) {
    for (std::size_t h = 1; h < n; h *= 2)
        for (std::size_t i = 0; i < n; i += 2 * h)
            for (std::size_t j = i; j < i + h; ++j) {
                const T a = x[j], b = x[j + h];
                x[j] = a + b;
                x[j + h] = a - b;
            }
}

bool unusedOnI(std::size_t w) { return w < 2 || w >= 32; }
bool unusedOnQ(std::size_t w) { return w < 34; }

std::size_t nearest(const Constellation& c, dsp::cplx s) {
    std::size_t best = 0;
    double d = 1e300;
    for (std::size_t i = 0; i < c.points.size(); ++i)
        if (const double e = std::norm(s - c.points[i]); e < d) d = e, best = i;
    return best;
}

template <class F>
void forEachDataChip(std::size_t firstHalf, F&& f) {
    for (std::size_t half = 0; half < 2; ++half) {
        const std::size_t base = ((firstHalf + half) % kHalfSlots) * kHalfSlotChips;
        for (const auto& run : kDataRuns)
            for (std::size_t c = run[0]; c < run[1]; ++c) f(base + c);
    }
}

template <class F>
void forEachMacBurst(std::size_t firstHalf, F&& f) {
    for (std::size_t half = 0; half < 2; ++half)
        for (std::size_t start : kMacStarts) f(((firstHalf + half) % kHalfSlots) * kHalfSlotChips + start);
}

void readMac(const dsp::CVec& content, std::size_t firstHalf, SlotReading& out) {
    dsp::CVec row(kMacBurstChips);
    forEachMacBurst(firstHalf, [&](std::size_t at) {
        for (std::size_t c = 0; c < kMacBurstChips; ++c) row[c] += content[at + c] / 4.0;
    });
    std::array<double, kMacCodes> pi{}, pq{};
    for (std::size_t c = 0; c < kMacBurstChips; ++c) pi[c] = row[c].real(), pq[c] = row[c].imag();
    walshTransform(pi.data(), kMacCodes);
    walshTransform(pq.data(), kMacCodes);
    // Noise differs between the four bursts, channels do not: their spread gives the noise of
    // one code's four-burst mean on one branch, (sigma^2 / 2) / 4 / 64.
    double spread = 0;
    forEachMacBurst(firstHalf, [&](std::size_t at) {
        for (std::size_t c = 0; c < kMacBurstChips; ++c) spread += std::norm(content[at + c] - row[c]);
    });
    const double codeNoise = spread / (3.0 * kMacBurstChips) / 512.0;
    double unused = 0;
    std::size_t unusedCount = 0;
    SlotResult& r = out.result;
    for (std::size_t w = 0; w < kMacCodes; ++w) {
        pi[w] /= kMacCodes, pq[w] /= kMacCodes;
        r.macCodePowerI[w] = db(pi[w] * pi[w]);
        r.macCodePowerQ[w] = db(pq[w] * pq[w]);
        if (unusedOnI(w)) unused += pi[w] * pi[w], ++unusedCount;
        if (unusedOnQ(w)) unused += pq[w] * pq[w], ++unusedCount;
    }
    unused /= static_cast<double>(unusedCount);

    std::array<double, kMacCodes> fitI{}, fitQ{};
    for (int mac = kRaMacIndex; mac < static_cast<int>(kMacCodes); ++mac) {
        const auto w = static_cast<std::size_t>(macWalshFunction(mac));
        const bool q = macOnQuadrature(mac);
        const double value = q ? pq[w] : pi[w];
        const double power = value * value;
        // Noise reaches 10 dB over its mean in one code of 600: a channel must also stand 15 dB
        // over the noise the bursts' spread shows, or noise-filled bursts would show channels.
        if (!(power > kOnThreshold && power >= kAboveUnused * unused && power >= kAboveNoise * codeNoise))
            continue;
        (q ? r.macCodeOnQ : r.macCodeOnI)[w] = true;
        (q ? fitQ : fitI)[w] = value;
        const ChannelReading reading{value < 0 ? 1 : 0, db(power)};
        if (mac == kRaMacIndex) r.ra = reading;
        else r.rpc[static_cast<std::size_t>(mac - kFirstRpcMacIndex)] = reading;
        r.macActive = true;
    }
    // Each burst's own symbol of every channel found on: its Walsh code carries one branch only,
    // so the other branch of the despread value shows the noise.
    forEachMacBurst(firstHalf, [&](std::size_t at) {
        std::array<dsp::cplx, kMacCodes> burst;
        for (std::size_t c = 0; c < kMacBurstChips; ++c) burst[c] = content[at + c];
        walshTransform(burst.data(), kMacCodes);
        for (std::size_t w = 0; w < kMacCodes; ++w)
            if (r.macCodeOnI[w] || r.macCodeOnQ[w]) r.macSymbols.push_back(burst[w] / static_cast<double>(kMacCodes));
    });
    // What the channels found on leave unexplained in the four bursts.
    walshTransform(fitI.data(), kMacCodes);
    walshTransform(fitQ.data(), kMacCodes);
    forEachMacBurst(firstHalf, [&](std::size_t at) {
        for (std::size_t c = 0; c < kMacBurstChips; ++c) out.misfit += std::norm(content[at + c] - dsp::cplx(fitI[c], fitQ[c]));
    });
}

void readTraffic(const dsp::CVec& content, std::size_t firstHalf, SlotReading& out) {
    dsp::CVec chips;
    chips.reserve(engine::kTrafficChips);
    forEachDataChip(firstHalf, [&](std::size_t at) { chips.push_back(content[at]); });
    double chipPower = 0;
    for (const auto& c : chips) chipPower += std::norm(c);
    chipPower /= static_cast<double>(chips.size());

    // Each group of 16 chips is the Walsh transform of 16 conjugated symbols times the gain.
    dsp::CVec symbols(chips.size());
    std::array<double, kTrafficCodes> codePower{};
    const std::size_t groups = chips.size() / kTrafficCodes;
    for (std::size_t g = 0; g < groups; ++g) {
        dsp::cplx* x = chips.data() + g * kTrafficCodes;
        walshTransform(x, kTrafficCodes);
        for (std::size_t i = 0; i < kTrafficCodes; ++i) {
            const dsp::cplx v = x[i] / static_cast<double>(kTrafficCodes);
            codePower[i] += std::norm(v) / static_cast<double>(groups);
            symbols[g * kTrafficCodes + i] = std::conj(v / kTrafficGain);
        }
    }
    SlotResult& r = out.result;
    for (std::size_t i = 0; i < kTrafficCodes; ++i) r.trafficCodePower[i] = db(codePower[i]);

    const TrafficDecision decision = decideTraffic(symbols, out.noise);
    out.trafficDoubt = decision.doubt;
    if (decision.format == 0) {
        for (const auto& s : symbols) out.misfit += std::norm(s);
        return;
    }
    const int bestFormat = decision.format;
    out.format = bestFormat;
    r.traffic = static_cast<Modulation>(bestFormat);
    r.trafficPowerDb = db(chipPower);
    const auto& c = constellations()[static_cast<std::size_t>(bestFormat - 1)];
    out.bits.reserve(symbols.size() * static_cast<std::size_t>(c.bitsPerSymbol));
    for (const auto& s : symbols) {
        const std::size_t v = nearest(c, s);
        out.misfit += std::norm(s - c.points[v]);
        for (int b = c.bitsPerSymbol - 1; b >= 0; --b) out.bits.push_back(static_cast<std::uint8_t>((v >> b) & 1u));
    }
    r.constellation = std::move(symbols);
}

}  // namespace

dsp::CVec pilotRelativeContent(const dsp::CVec& chips, int pnOffset) {
    const dsp::CVec& code = shortCode();
    const std::size_t shift = kPilotOffsetChips * static_cast<std::size_t>(pnOffset);
    dsp::CVec a(kChipsPerFrame);
    for (std::size_t m = 0; m < kChipsPerFrame; ++m) a[m] = chips[m] * std::conj(code[(m + shift) % kChipsPerFrame]) / 2.0;
    std::array<dsp::cplx, kHalfSlots> pilot{};
    double amplitude = 0;
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        for (std::size_t c = 0; c < kPilotChips; ++c) pilot[h] += a[h * kHalfSlotChips + kPilotStart + c];
        pilot[h] /= static_cast<double>(kPilotChips);
        amplitude += std::abs(pilot[h]) / kHalfSlots;
    }
    for (std::size_t h = 0; h < kHalfSlots; ++h) {
        const double m = std::abs(pilot[h]);
        const dsp::cplx unit = m > 0 ? std::conj(pilot[h]) / m : 1.0;
        for (std::size_t c = 0; c < kHalfSlotChips; ++c) a[h * kHalfSlotChips + c] *= unit / amplitude;
    }
    return a;
}

SlotReading readSlot(const dsp::CVec& content, std::size_t firstHalf) {
    SlotReading out;
    for (std::size_t half = 0; half < 2; ++half) {
        const std::size_t base = ((firstHalf + half) % kHalfSlots) * kHalfSlotChips + kPilotStart;
        out.result.pilotSymbols.insert(out.result.pilotSymbols.end(), content.begin() + static_cast<std::ptrdiff_t>(base),
                                       content.begin() + static_cast<std::ptrdiff_t>(base + kPilotChips));
    }
    out.noise = pilotNoise(content, firstHalf);
    readMac(content, firstHalf, out);
    readTraffic(content, firstHalf, out);
    double idle = 0;
    std::size_t idleChips = 0;
    if (!out.result.macActive)
        forEachMacBurst(firstHalf, [&](std::size_t at) {
            for (std::size_t c = 0; c < kMacBurstChips; ++c) idle += std::norm(content[at + c]), ++idleChips;
        });
    if (out.format == 0) forEachDataChip(firstHalf, [&](std::size_t at) { idle += std::norm(content[at]), ++idleChips; });
    if (idleChips > 0) out.result.idlePowerDb = db(idle / static_cast<double>(idleChips));
    return out;
}

namespace {

// As many bits of each source as a frame can consume.
const dsp::Bits& allSourceBits(int source) {
    static const auto table = [] {
        std::array<dsp::Bits, 6> t;
        for (int s = 1; s <= 6; ++s)
            t[static_cast<std::size_t>(s - 1)] = engine::GenerateBitStream(s, static_cast<double>(kMaxTrafficBits));
        return t;
    }();
    return table.at(static_cast<std::size_t>(source - 1));
}

}  // namespace

dsp::Bits sourceBits(int source, std::size_t count) {
    const auto& all = allSourceBits(source);
    return dsp::Bits(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(count, all.size())));
}

SourceMatch matchSource(const dsp::Bits& bits) {
    SourceMatch best;
    if (bits.empty() || bits.size() > kMaxTrafficBits) return best;
    const std::size_t limit = bits.size() / 10;
    std::size_t fewest = limit + 1;
    for (int s = 1; s <= 6; ++s) {
        const dsp::Bits& ref = allSourceBits(s);
        std::size_t errors = 0;
        for (std::size_t i = 0; i < bits.size() && errors < fewest; ++i) errors += bits[i] != ref[i];
        if (errors < fewest) fewest = errors, best.source = s, best.errors = errors;
    }
    return best;
}

}  // namespace analyzer
