#include "instrument/siggen_panel.h"

#include <algorithm>

#include "host/core/number_text.h"
#include "host/qt/control.h"
#include "host/qt/numeric_entry.h"
#include "instrument/entry_rules.h"
#include "model/settings_table.h"

namespace instrument {

using host::Call;
using host::ctl;
using host::Handles;

SigGenPanel::SigGenPanel(host::Registry& registry, model::SigGenSettings& settings, AdvancedSettings& advanced,
                         std::function<QWidget*()> advancedWindow)
    : registry_(registry), settings_(settings), advanced_(advanced), advancedWindow_(std::move(advancedWindow)) {
    host::Module& m = registry_.module(kPanelModule);
    m.add("InitializeSigGenScreenObjects", [this](const Call& c) { InitializeSigGenScreenObjects(c.handles); });
    m.add("redrawSigGenSettings", [this](const Call& c) { redrawSigGenSettings(c.handles); });
    m.add("updateFrequency", [this](const Call& c) { updateFrequency(c.handles); });
    m.add("txtFrequency_Callback", [this](const Call& c) { updateFrequency(c.handles); });
    m.add("pdFrequencyUnits_Callback", [this](const Call& c) { updateFrequency(c.handles); });
    m.add("txtAmplitude_Callback", [this](const Call& c) { txtAmplitude(c.source); });
    m.add("txtWaveformTitle_Callback", [this](const Call& c) { txtWaveformTitle(c.source, c.handles); });
    m.add("pbAdvancedSettings_Callback", [this](const Call&) { pbAdvancedSettings(); });
}

SigGenPanel::~SigGenPanel() { registry_.remove(kPanelModule); }

void SigGenPanel::InitializeSigGenScreenObjects(const Handles& h) {
    ctl(h["txtFrequency"])
        .setTooltip("Sets the carrier frequency.\nValid Range: 100 kHz - 6 GHz\n(Note: VSK option determines the\nmaximum "
                    "frequency.)");
    ctl(h["txtAmplitude"])
        .setTooltip("Sets the output power.\nValid Range: -136 dBm to +20 dBm\n(Note: VSK option determines the\nmaximum "
                    "amplitude.)");
    ctl(h["txtWaveformTitle"]).setTooltip("Enter the title used to store the \nwaveform in the VSK.");
    ctl(h["pbAdvancedSettings"]).setTooltip("Configures advanced Signal Generator options.");
}

void SigGenPanel::redrawSigGenSettings(const Handles& h) {
    const Scaled f = withUnit(settings_.Frequency, 4);
    ctl(h["pdFrequencyUnits"]).setValue(f.unitItem);
    ctl(h["txtFrequency"]).setString(host::numberText(f.shown));
    ctl(h["txtAmplitude"]).setString(host::numberText(settings_.Amplitude));
    ctl(h["txtWaveformTitle"]).setString(settings_.Title);
}

void SigGenPanel::updateFrequency(const Handles& h) {
    const model::SettingRow& r = model::settingRow("SigGenSettings", "Frequency");
    if (auto x = readScaled(h["txtFrequency"], h["pdFrequencyUnits"], "Carrier frequency", settings_.Frequency, r.lo, r.hi))
        settings_.Frequency = *x;
    redrawSigGenSettings(h);
}

void SigGenPanel::txtAmplitude(QObject* control) {
    static const host::NumericField how{"Output power", {{"dBm", 1}}};
    static const model::SettingRow& kAmplitude = model::settingRow("SigGenSettings", "Amplitude");
    if (auto x = host::readField(control, how, host::numberText(settings_.Amplitude) + " dBm"))
        settings_.Amplitude = std::clamp(roundWhole(*x), kAmplitude.lo, kAmplitude.hi);
    ctl(control).setString(host::numberText(settings_.Amplitude));
}

void SigGenPanel::txtWaveformTitle(QObject* control, const Handles& h) {
    settings_.Title = filterTitle(ctl(control).string());
    redrawSigGenSettings(h);
}

void SigGenPanel::pbAdvancedSettings() {
    auto [answer, edited] = advanced_.run(advancedWindow_ ? advancedWindow_() : nullptr, settings_);
    if (answer == "OK") settings_ = edited;
}

}  // namespace instrument
