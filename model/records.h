#pragma once
// The application records with their defaults. A default-constructed record holds the defaults;
// the Initialize functions also recompute the fields derived from others.
//
// Numeric arrays: per-slot values are SlotVector (16 values, a 16x1 column in a record), the
// RPC matrices are dsp::Matrix (16x59, row = slot, column j = MAC index j + 4), free-length
// rows are std::vector<double>.
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "model/record_fields.h"
#include "dsp/types.h"
#include "engine/frame.h"
#include "zuno_version.h"

namespace model {

using engine::kRpcChannels;
constexpr double kDefaultOverSampling = 5;

constexpr SlotVector slotFill(double v) {
    SlotVector s{};
    s.fill(v);
    return s;
}

// Samples of one frame at the given oversampling.
constexpr double projectedLength(double overSampling) {
    return static_cast<double>(engine::kChipsPerFrame) * overSampling;
}

constexpr double samplingRate(double overSampling) {
    return engine::kChipRate * overSampling;
}

struct Parameters {
    struct Slot {
        SlotVector DATAslotActive = slotFill(1);
        SlotVector DATAslotMod = slotFill(1);
        SlotVector RAslotActive = slotFill(1);
        SlotVector RAslotValue = slotFill(1);
        SlotVector RAslotGain = slotFill(-3);
        SlotVector RPCslotActiveChn = slotFill(1);
        dsp::Matrix RPCslotActive = firstRpcChannelOnly();  // MAC index 5 in every slot
        dsp::Matrix RPCslotValue = dsp::Matrix(engine::kSlots, kRpcChannels, 1.0);
        dsp::Matrix RPCslotGain = dsp::Matrix(engine::kSlots, kRpcChannels, -3.0);

        static dsp::Matrix firstRpcChannelOnly();
        bool operator==(const Slot&) const = default;
    };

    std::string ParameterFileFormat_ID = "Zuno-Fwd - Format 1.2";
    double Mode = 1;
    double PilotOffsetIndex = 0;
    double MACchnActive = 0;
    double DATAchnActive = 0;
    double DATAsourceType = 6;
    Nothing DATAsourceName;
    double IdleSlotGainActive = 1;
    double IdleSlotGain = -10;
    Slot slot;
    double OverSampling = kDefaultOverSampling;
    double FilterType = 3;
    double PhaseEq = 1;
    double MirrorSpectrum = 0;
    double ProjectedLength = projectedLength(OverSampling);

    bool operator==(const Parameters&) const = default;
};

struct AppInfo {
    std::string Name = "1xEV Forward Link";
    std::string Platform = "c";
    std::string Rev{zuno::kVersion};  // the one version every program reports
    std::string Date = "03-Dec-2001";
    std::string Notes = "Release Notes:";
    std::string NotesLine2 = "1xEV Forward Link Signal Generation Applet for";
    std::string NotesLine3 = "the vector signal generator series with the arbitrary-waveform player option.";
    std::string NotesLine4 = "This applet supports all modulation parameters";
    std::string NotesLine5 = "of the 1xEV Forward Link standard.";
    std::string NotesLine6 = "Waveforms are downloaded over GPIB, RS-232 or TCP/IP (LAN)";
    std::string NotesLine7 = "and played back with the carrier and playback settings shown.";
    std::string ApplicationFunction = "Zuno_Fwd_GUI_c";
    std::string ParameterFileExtension = ".mat";
    std::vector<double> ClientWindows;  // ids of open plot windows
    std::optional<Parameters> LastCaluclatedParameterSet;
    std::vector<double> LastCalcTimeStamp;  // empty, or [year month day hour minute seconds]

    bool operator==(const AppInfo&) const = default;
};

struct Configuration {
    struct Gpib {
        double board = 0;
        double primary = 19;
        double secondary = -1;
        bool operator==(const Gpib&) const = default;
    };
    struct Rs232 {
        double port = 1;
        double baudrate = 9600;
        std::string handshake = "Xon/Xoff";
        bool operator==(const Rs232&) const = default;
    };
    struct Tcpip {
        std::string address = "0.0.0.0";
        double board = 0;
        bool operator==(const Tcpip&) const = default;
    };

    std::string type = "GPIB";
    Gpib GPIB;
    Rs232 RS232;
    Tcpip TCPIP;
    std::string BBGtype = "002";
    std::string LastParameterFilename;

    bool operator==(const Configuration&) const = default;
};

struct SigGenSettings {
    std::string Title = "Zuno-Fwd";
    double Frequency = 2200000000;
    double Amplitude = -30;
    double SamplingRate = samplingRate(kDefaultOverSampling);
    double BBfilter = 1;
    double Scaling = 95;
    double ModAtten = 0;
    double RFblanking = 0;
    double ALC = 0;
    double ArbRefSource = 0;
    double MarkerPolarity = 0;

    bool operator==(const SigGenSettings&) const = default;
};

// Field lists: the order is the order records keep, compare and store.

template <>
struct RecordFields<Parameters::Slot> {
    using S = Parameters::Slot;
    static constexpr std::string_view path = "parameters.slot";
    static constexpr Shape kRpc{engine::kSlots, kRpcChannels};
    static constexpr std::tuple fields{
        field("DATAslotActive", &S::DATAslotActive),
        field("DATAslotMod", &S::DATAslotMod),
        field("RAslotActive", &S::RAslotActive),
        field("RAslotValue", &S::RAslotValue),
        field("RAslotGain", &S::RAslotGain),
        field("RPCslotActiveChn", &S::RPCslotActiveChn),
        field("RPCslotActive", &S::RPCslotActive, kRpc),
        field("RPCslotValue", &S::RPCslotValue, kRpc),
        field("RPCslotGain", &S::RPCslotGain, kRpc),
    };
};

template <>
struct RecordFields<Parameters> {
    using P = Parameters;
    static constexpr std::string_view path = "parameters";
    static constexpr std::tuple fields{
        field("ParameterFileFormat_ID", &P::ParameterFileFormat_ID),
        field("Mode", &P::Mode),
        field("PilotOffsetIndex", &P::PilotOffsetIndex),
        field("MACchnActive", &P::MACchnActive),
        field("DATAchnActive", &P::DATAchnActive),
        field("DATAsourceType", &P::DATAsourceType),
        field("DATAsourceName", &P::DATAsourceName),
        field("IdleSlotGainActive", &P::IdleSlotGainActive),
        field("IdleSlotGain", &P::IdleSlotGain),
        field("slot", &P::slot),
        field("OverSampling", &P::OverSampling),
        field("FilterType", &P::FilterType),
        field("PhaseEq", &P::PhaseEq),
        field("MirrorSpectrum", &P::MirrorSpectrum),
        field("ProjectedLength", &P::ProjectedLength),
    };
};

template <>
struct RecordFields<AppInfo> {
    using A = AppInfo;
    static constexpr std::string_view path = "appInfo";
    static constexpr std::tuple fields{
        field("Name", &A::Name),
        field("Platform", &A::Platform),
        field("Rev", &A::Rev),
        field("Date", &A::Date),
        field("Notes", &A::Notes),
        field("NotesLine2", &A::NotesLine2),
        field("NotesLine3", &A::NotesLine3),
        field("NotesLine4", &A::NotesLine4),
        field("NotesLine5", &A::NotesLine5),
        field("NotesLine6", &A::NotesLine6),
        field("NotesLine7", &A::NotesLine7),
        field("ApplicationFunction", &A::ApplicationFunction),
        field("ParameterFileExtension", &A::ParameterFileExtension),
        field("ClientWindows", &A::ClientWindows),
        field("LastCaluclatedParameterSet", &A::LastCaluclatedParameterSet),
        field("LastCalcTimeStamp", &A::LastCalcTimeStamp, Shape{1, 6}),
    };
};

template <>
struct RecordFields<Configuration::Gpib> {
    using G = Configuration::Gpib;
    static constexpr std::string_view path = "configuration.GPIB";
    static constexpr std::tuple fields{
        field("board", &G::board),
        field("primary", &G::primary),
        field("secondary", &G::secondary),
    };
};

template <>
struct RecordFields<Configuration::Rs232> {
    using R = Configuration::Rs232;
    static constexpr std::string_view path = "configuration.RS232";
    static constexpr std::tuple fields{
        field("port", &R::port),
        field("baudrate", &R::baudrate),
        field("handshake", &R::handshake),
    };
};

template <>
struct RecordFields<Configuration::Tcpip> {
    using T = Configuration::Tcpip;
    static constexpr std::string_view path = "configuration.TCPIP";
    static constexpr std::tuple fields{
        field("address", &T::address),
        field("board", &T::board),
    };
};

template <>
struct RecordFields<Configuration> {
    using C = Configuration;
    static constexpr std::string_view path = "configuration";
    static constexpr std::tuple fields{
        field("type", &C::type),
        field("GPIB", &C::GPIB),
        field("RS232", &C::RS232),
        field("TCPIP", &C::TCPIP),
        field("BBGtype", &C::BBGtype),
        field("LastParameterFilename", &C::LastParameterFilename),
    };
};

template <>
struct RecordFields<SigGenSettings> {
    using S = SigGenSettings;
    static constexpr std::string_view path = "SigGenSettings";
    static constexpr std::tuple fields{
        field("Title", &S::Title),
        field("Frequency", &S::Frequency),
        field("Amplitude", &S::Amplitude),
        field("SamplingRate", &S::SamplingRate),
        field("BBfilter", &S::BBfilter),
        field("Scaling", &S::Scaling),
        field("ModAtten", &S::ModAtten),
        field("RFblanking", &S::RFblanking),
        field("ALC", &S::ALC),
        field("ArbRefSource", &S::ArbRefSource),
        field("MarkerPolarity", &S::MarkerPolarity),
    };
};

AppInfo InitializeAppInfo();
Configuration InitializeConfiguration();
Parameters InitializeParameters();
// SamplingRate follows the oversampling of `parameters`.
SigGenSettings InitializeSigGenSettings(const Parameters& parameters);

// One-line rendering of any record, fields in order.
template <Record T>
std::ostream& operator<<(std::ostream& os, const T& x) {
    return os << toValue(x);
}

}  // namespace model
