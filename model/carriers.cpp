#include "model/carriers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

#include "dsp/gaussian.h"
#include "dsp/number_text.h"
#include "model/calculate.h"
#include "model/settings_source.h"

namespace model {

namespace {

std::string hz(double f) { return dsp::generalText(f) + " Hz"; }

std::vector<double> offsetsOf(const CarrierPlan& plan) {
    std::vector<double> offsets;
    for (const Carrier& c : plan.carriers) offsets.push_back(c.offsetHz);
    if (offsets.empty()) offsets.push_back(0);
    return offsets;
}

double quantized(double f) { return std::round(f / kFrameRateHz) * kFrameRateHz; }

// The band an oversampling holds: each carrier's 1.25 MHz inside it with 10 % to spare.
double usableHalfBandHz(int overSampling) {
    return (1 - kBandSpare) * samplingRate(overSampling) / 2;
}

void checkRange(const char* what, double v, double lo, double hi, const char* unit) {
    if (!std::isfinite(v) || v < lo || v > hi)
        throw std::invalid_argument(std::string(what) + " must be from " + dsp::generalText(lo) + " to " +
                                    dsp::generalText(hi) + " " + unit + ", not " + dsp::generalText(v));
}

// Adds `from` (one frame, repeated) moved to `offsetHz` at amplitude `gain` to `to`. The phase
// is taken afresh from the sample index every 4096 samples, so that no rounding builds up.
void addMoved(dsp::CVec& to, const dsp::CVec& from, double offsetHz, double gain, double sampleRate) {
    const double cycles = offsetHz / sampleRate;  // per sample
    const dsp::cplx step = std::polar(1.0, 2 * std::numbers::pi * cycles);
    constexpr std::size_t kBlock = 4096;
    const std::size_t n = to.size(), period = from.size();
    for (std::size_t start = 0; start < n; start += kBlock) {
        const double turns = std::fmod(cycles * static_cast<double>(start), 1.0);
        dsp::cplx rotor = std::polar(gain, 2 * std::numbers::pi * turns);
        const std::size_t end = std::min(n, start + kBlock);
        std::size_t j = start % period;
        for (std::size_t i = start; i < end; ++i) {
            to[i] += from[j] * rotor;
            rotor *= step;
            if (++j == period) j = 0;
        }
    }
}

double meanPower(const dsp::CVec& x) {
    double p = 0;
    for (const auto& v : x) p += std::norm(v);
    return x.empty() ? 0 : p / static_cast<double>(x.size());
}

Parameters carrierSettings(const Parameters& main, const Carrier& c) {
    Parameters p = c.parameters ? *c.parameters : main;
    if (c.pnOffset) p.PilotOffsetIndex = *c.pnOffset;
    p.OverSampling = main.OverSampling;
    p.ProjectedLength = projectedLength(p.OverSampling);
    return p;
}

// White Gaussian noise over the whole band at `cnDb` below `carrierPower` within 1.2288 MHz, the
// sum scaled to the power the waveform had without noise (signal and noise being independent,
// their powers add; the noise of a frame or more holds its power to within 0.01 dB).
void addNoise(dsp::CVec& w, double carrierPower, double cnDb, double sampleRate, dsp::GaussianSource& gaussian) {
    const double before = meanPower(w);
    const double noisePower = carrierPower * std::pow(10.0, -cnDb / 10) * sampleRate / engine::kChipRate;
    const double keep = std::sqrt(before / (before + noisePower));
    gaussian.mixComplexNoise(w, keep, keep * keep * noisePower);
}

}  // namespace

namespace {

double numberIn(const std::string& text, const std::string& part, const char* what) {
    std::size_t used = 0;
    double v = 0;
    try {
        v = std::stod(part, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (part.empty() || used != part.size() || !std::isfinite(v))
        throw std::invalid_argument("carrier '" + text + "': the " + what + " '" + part + "' is not a number");
    return v;
}

}  // namespace

void overridePlan(CarrierPlan& plan, const CarrierPlan& given) {
    if (!given.carriers.empty()) plan.carriers = given.carriers;
    if (given.noiseCnDb) plan.noiseCnDb = given.noiseCnDb;
    if (given.crestDb) plan.crestDb = given.crestDb;
    if (given.quantizeOffsets) plan.quantizeOffsets = true;
}

Carrier carrierFrom(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    // The third part is a file name, which may hold commas of its own.
    while (parts.size() < 2) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) break;
        parts.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
    parts.push_back(text.substr(start));
    Carrier c;
    c.offsetHz = numberIn(text, parts[0], "offset");
    if (parts.size() > 1 && !parts[1].empty()) c.gainDb = numberIn(text, parts[1], "gain");
    if (parts.size() > 2) {
        const std::string& params = parts[2];
        if (!params.empty() && params.find_first_not_of("0123456789") == std::string::npos) {
            const double pn = numberIn(text, params, "PN offset");
            if (pn > 511) throw std::invalid_argument("carrier '" + text + "': the PN offset must be from 0 to 511");
            c.pnOffset = static_cast<int>(pn);
        } else {
            c.parameters = parametersFrom(params);
        }
    }
    return c;
}

bool CarrierPlan::plain() const {
    const bool oneAtZero = carriers.empty() || (carriers.size() == 1 && carriers[0].offsetHz == 0 &&
                                                 !carriers[0].parameters && !carriers[0].pnOffset);
    return oneAtZero && !noiseCnDb && !crestDb;
}

int smallestOverSampling(const std::vector<double>& offsetsHz) {
    double widest = 0;
    for (double f : offsetsHz) widest = std::max(widest, std::abs(f) + kCarrierBandHz / 2);
    int r = 2;  // the engine's least
    while (usableHalfBandHz(r) < widest) ++r;
    return r;
}

std::optional<int> seamlessFrames(const std::vector<double>& offsetsHz, int maxFrames) {
    for (int frames = 1; frames <= maxFrames; ++frames) {
        const bool whole = std::all_of(offsetsHz.begin(), offsetsHz.end(), [&](double f) {
            const double cycles = f * frames / kFrameRateHz;
            return std::abs(cycles - std::round(cycles)) < 1e-6;
        });
        if (whole) return frames;
    }
    return std::nullopt;
}

void checkPlan(const Parameters& main, const CarrierPlan& plan) {
    if (plan.carriers.size() > kMaxCarriers)
        throw std::invalid_argument("at most 4 carriers, not " + std::to_string(plan.carriers.size()));
    for (const Carrier& c : plan.carriers) {
        // As far out as the highest oversampling holds a carrier's band.
        const double farthest = std::floor(usableHalfBandHz(engine::kMaxOversampling) - kCarrierBandHz / 2);
        checkRange("a carrier's offset", c.offsetHz, -farthest, farthest, "Hz");
        checkRange("a carrier's gain", c.gainDb, kMinCarrierGainDb, kMaxCarrierGainDb, "dB");
        if (c.pnOffset) checkRange("a carrier's PN offset", *c.pnOffset, 0, 511, "");
    }
    if (plan.noiseCnDb) checkRange("C/N", *plan.noiseCnDb, kMinCarrierToNoiseDb, kMaxCarrierToNoiseDb, "dB");
    if (plan.crestDb) checkRange("The crest factor target", *plan.crestDb, kMinCrestDb, kMaxCrestDb, "dB");
    const std::vector<double> offsets = offsetsOf(plan);
    const int r = static_cast<int>(main.OverSampling);
    for (double f : offsets)
        if (std::abs(f) + kCarrierBandHz / 2 > usableHalfBandHz(r))
            throw std::invalid_argument("OverSampling " + std::to_string(r) + " cannot hold a carrier at " + hz(f) +
                                        ": its 1.25 MHz must lie inside the sampled band of " +
                                        hz(samplingRate(r)) + " with 10 % to spare; the smallest OverSampling that can is " +
                                        std::to_string(smallestOverSampling(offsets)));
    if (plan.quantizeOffsets) return;
    const std::uint64_t frameSamples = std::uint64_t(engine::kChipsPerFrame) * static_cast<std::uint64_t>(r);
    const int most = static_cast<int>(std::min<std::uint64_t>(kMaxLoopFrames, kMaxLoopSamples / frameSamples));
    if (!seamlessFrames(offsets, most))
        throw std::invalid_argument("the carrier offsets do not loop seamlessly within " + std::to_string(most) +
                                    " frames: give offsets in whole hertz (at most " + std::to_string(most) +
                                    " frames), or quantize them to multiples of 37.5 Hz");
}

CarrierWaveform calculateCarriers(const Parameters& main, const CarrierPlan& plan, std::optional<std::uint64_t> seed) {
    checkPlan(main, plan);
    std::vector<Carrier> carriers = plan.carriers;
    if (carriers.empty()) carriers.push_back(Carrier{});
    CarrierWaveform out;
    for (Carrier& c : carriers) {
        if (plan.quantizeOffsets && quantized(c.offsetHz) != c.offsetHz) {
            out.notes.push_back("offset " + hz(c.offsetHz) + " moved to " + hz(quantized(c.offsetHz)));
            c.offsetHz = quantized(c.offsetHz);
        }
        out.offsetsHz.push_back(c.offsetHz);
    }
    out.frames = seamlessFrames(out.offsetsHz).value_or(1);
    const double rate = samplingRate(main.OverSampling);
    double firstPower = 0;
    for (std::size_t i = 0; i < carriers.size(); ++i) {
        dsp::Rng own(seed.value_or(0));
        dsp::Rng& rng = seed ? own : dsp::defaultRng();
        engine::FrameResult f = Calculate(carrierSettings(main, carriers[i]), rng);
        const double gain = std::pow(10.0, carriers[i].gainDb / 20);
        if (i == 0) {
            out.frame.waveform.assign(f.waveform.size() * static_cast<std::size_t>(out.frames), dsp::cplx(0));
            for (std::size_t m = 0; m < 2; ++m)
                for (int k = 0; k < out.frames; ++k)
                    out.frame.events[m].insert(out.frame.events[m].end(), f.events[m].begin(), f.events[m].end());
            firstPower = gain * gain * meanPower(f.waveform);
        }
        addMoved(out.frame.waveform, f.waveform, carriers[i].offsetHz, gain, rate);
    }
    if (plan.noiseCnDb) {
        // Its own stream of the seed, apart from the frames' idle noise.
        dsp::GaussianSource gaussian(seed ? *seed ^ 0x6a09e667f3bcc909ULL : dsp::defaultRng()());
        addNoise(out.frame.waveform, firstPower, *plan.noiseCnDb, rate, gaussian);
    }
    if (plan.crestDb) out.crest = reduceCrest(out.frame.waveform, *plan.crestDb, out.offsetsHz, rate);
    return out;
}

std::string carrierSummary(const CarrierWaveform& w, const CarrierPlan& plan) {
    char text[160];
    std::snprintf(text, sizeof text, "%d frame%s (%.6g ms), carrier%s at ", w.frames, w.frames == 1 ? "" : "s",
                  w.frames * 1000 / kFrameRateHz, w.offsetsHz.size() == 1 ? "" : "s");
    std::string line = text;
    for (std::size_t i = 0; i < w.offsetsHz.size(); ++i)
        line += (i == 0 ? "" : i + 1 == w.offsetsHz.size() ? " and " : ", ") + dsp::generalText(w.offsetsHz[i]);
    line += " Hz";
    if (plan.noiseCnDb) line += "; C/N " + dsp::generalText(*plan.noiseCnDb) + " dB";
    if (w.crest) {
        std::snprintf(text, sizeof text, "; crest factor %.2f dB after %d pass%s (from %.2f dB), rho %.4f", w.crest->afterDb,
                      w.crest->iterations, w.crest->iterations == 1 ? "" : "es", w.crest->beforeDb, w.crest->rho);
        line += text;
    }
    for (const std::string& note : w.notes) line += "; " + note;
    return line;
}

}  // namespace model
