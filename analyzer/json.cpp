#include "analyzer/json.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "analyzer/channel.h"

namespace analyzer {

namespace {

using Json = nlohmann::ordered_json;

template <class T>
Json orNull(const std::optional<T>& v) {
    return v ? Json(*v) : Json(nullptr);
}

}  // namespace

std::string channelText(const Result& r) {
    std::string echoes;
    for (const Echo& e : echoesOf(r.channel)) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "%s%+.1f chips %.2f dB %.1f deg", echoes.empty() ? "" : "; ", e.delayChips, e.levelDb,
                      e.phaseDeg);
        echoes += buf;
    }
    char rho[64];
    std::snprintf(rho, sizeof rho, "rho equalized %.6f", r.rhoEqualized);
    if (echoes.empty()) return std::string("channel: the main ray alone; ") + rho;
    return "channel (taps at chip/2 relative to the main ray, above -30 dB): " + echoes + "; " + rho;
}

const char* modulationName(Modulation m) {
    switch (m) {
        case Modulation::Qpsk: return "QPSK";
        case Modulation::Psk8: return "8-PSK";
        case Modulation::Qam16: return "16-QAM";
        case Modulation::Idle: break;
    }
    return "idle";
}

const char* referenceFilterName(const engine::FrameArgs& reference) {
    switch (reference.filterType) {
        case engine::FilterKind::Rectangular: return "rect";
        case engine::FilterKind::Is95Std: return "std";
        case engine::FilterKind::Is95Acp: break;
    }
    return "acp";
}

Json toJson(const Result& r) {
    Json j;
    j["sample_rate"] = r.sampleRate;
    j["oversampling"] = r.oversampling;
    j["pn_offset"] = r.pnOffset;
    j["frame_start_chips"] = r.frameStartChips;
    j["offset_hz"] = r.carrierOffsetHz;
    j["frequency_error_hz"] = r.frequencyErrorHz;
    j["phase_rad"] = r.phaseRad;
    j["clock_error_ppm"] = r.clockErrorPpm;
    j["iq_offset_dbc"] = r.iqOffsetDbc;
    j["iq_gain_imbalance_db"] = r.iqGainImbalanceDb;
    j["iq_quadrature_error_deg"] = r.iqQuadratureErrorDeg;
    j["mirror_spectrum"] = r.mirrorSpectrum ? 1 : 0;
    j["reference_filter"] = referenceFilterName(r.reference);
    j["reference_equalizer"] = r.reference.phaseEqActive != 0 ? 1 : 0;
    j["reference_found"] = r.referenceFound;
    j["channel_filter"] = r.channelFilter;
    j["rho"] = r.rho;
    j["rho_pilot"] = r.rhoPilot;
    j["rho_equalized"] = r.rhoEqualized;
    Json channel = Json::array();
    for (const dsp::cplx& t : r.channel) channel.push_back({t.real(), t.imag()});
    j["channel"] = std::move(channel);
    j["evm_rms_percent"] = r.evmRmsPercent;
    j["evm_peak_percent"] = r.evmPeakPercent;
    j["rho_whole_frame"] = r.rhoWholeFrame;
    j["evm_rms_percent_whole_frame"] = r.evmRmsPercentWholeFrame;
    j["data_source"] = orNull(r.dataSource);
    j["data_bit_errors"] = orNull(r.dataBitErrors);
    j["data_bits"] = r.dataBits;
    Json slots = Json::array();
    for (const SlotResult& s : r.slotResults) {
        Json o;
        o["mac"] = s.macActive ? "active" : "idle";
        o["ra_bit"] = s.ra ? Json(s.ra->bit) : Json(nullptr);
        o["ra_gain_db"] = s.ra ? Json(s.ra->gainDb) : Json(nullptr);
        Json rpc = Json::array();
        for (const auto& c : s.rpc) rpc.push_back(c ? Json{{"bit", c->bit}, {"gain_db", c->gainDb}} : Json(nullptr));
        o["rpc"] = std::move(rpc);
        o["traffic"] = modulationName(s.traffic);
        o["traffic_power_db"] = orNull(s.trafficPowerDb);
        o["idle_power_db"] = orNull(s.idlePowerDb);
        o["rho"] = s.rho;
        o["evm_rms_percent"] = s.evmRmsPercent;
        slots.push_back(std::move(o));
    }
    j["slots"] = std::move(slots);
    Json alternatives = Json::array();
    for (const Reading& a : r.alternatives)
        alternatives.push_back({{"pn_offset", a.pnOffset}, {"frame_start_chips", a.frameStartChips}});
    j["alternatives"] = std::move(alternatives);
    j["cyclic"] = r.cyclic;
    Json others = Json::array();
    for (const OtherPilot& p : r.otherPilots)
        others.push_back({{"pn_offset", p.pnOffset}, {"level_db", p.levelDb}, {"delay_chips", p.delayChips}});
    j["other_pilots"] = std::move(others);
    j["warnings"] = r.warnings;
    if (!r.frames.empty()) {
        Json frames = Json::array();
        for (const FrameSummary& f : r.frames) frames.push_back(toJson(f));
        j["frames"] = std::move(frames);
    }
    return j;
}

Json toJson(const FrameSummary& f) {
    return {{"frame_start_chips", f.startChips}, {"pn_offset", f.pnOffset},   {"frequency_error_hz", f.frequencyErrorHz},
            {"clock_error_ppm", f.clockErrorPpm}, {"rho", f.rho},             {"rho_pilot", f.rhoPilot},
            {"evm_rms_percent", f.evmRmsPercent}, {"lock", f.lock},           {"warnings", f.warnings}};
}

}  // namespace analyzer
