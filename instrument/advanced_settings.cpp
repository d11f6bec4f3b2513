#include "instrument/advanced_settings.h"

#include <algorithm>
#include <functional>

#include "host/core/number_text.h"
#include "host/qt/control.h"
#include "host/qt/layout.h"
#include "host/qt/numeric_entry.h"
#include "instrument/entry_rules.h"
#include "model/settings_table.h"
#include "host/qt/modal.h"

namespace instrument {

namespace {
const model::SettingRow& limits(std::string_view field) { return model::settingRow("SigGenSettings", field); }
}  // namespace

using host::Call;
using host::ctl;
using host::Handles;

AdvancedSettings::AdvancedSettings(host::Registry& registry) : registry_(registry) {
    host::Module& m = registry_.module(kAdvancedModule);
    auto op = [&m](const char* name, std::function<void(QObject*, const Handles&)> f) {
        m.add(name, [f = std::move(f)](const Call& c) { f(c.source, c.handles); });
    };
    model::SigGenSettings& s = newSettings_;
    m.add("defaultSettings", [this](const Call&) { newSettings_ = defaultSettings(); });
    op("InitializeFigure", [this](QObject*, const Handles& h) { InitializeFigure(h); });
    op("redrawAll", [this](QObject*, const Handles& h) { redrawAll(h); });
    op("pdBBfilter_Callback", [&s](QObject* c, const Handles&) { s.BBfilter = ctl(c).value(); });
    op("chkRFblanking_Callback", [&s](QObject* c, const Handles&) { s.RFblanking = ctl(c).value(); });
    op("chkALC_Callback", [&s](QObject* c, const Handles&) { s.ALC = ctl(c).value(); });
    op("chkBBrefSource_Callback", [&s](QObject* c, const Handles&) { s.ArbRefSource = ctl(c).value(); });
    op("chkMarkerPolarity_Callback", [&s](QObject* c, const Handles&) { s.MarkerPolarity = ctl(c).value(); });
    op("txtSamplingRate_Callback", [this](QObject*, const Handles& h) { updateSamplingRate(h); });
    op("pdSamplingRateUnits_Callback", [this](QObject*, const Handles& h) { updateSamplingRate(h); });
    op("updateSamplingRate", [this](QObject*, const Handles& h) { updateSamplingRate(h); });
    op("txtScaling_Callback", [this, &s](QObject* c, const Handles& h) {
        static const host::NumericField how{"I/Q scaling", {{"%", 1}}};
        if (auto x = host::readField(c, how, host::numberText(s.Scaling) + " %"))
            s.Scaling = std::clamp(roundHundredths(*x), limits("Scaling").lo, limits("Scaling").hi);
        redrawAll(h);
    });
    op("txtModAtten_Callback", [this, &s](QObject* c, const Handles& h) {
        static const host::NumericField how{"Modulator attenuation", {{"dB", 1}}};
        if (auto x = host::readField(c, how, host::numberText(s.ModAtten) + " dB"))
            s.ModAtten = std::clamp(roundWhole(*x), limits("ModAtten").lo, limits("ModAtten").hi);
        redrawAll(h);
    });
    op("pbOK_Callback", [](QObject*, const Handles& h) { host::finishWait(h.window(), "OK"); });
    op("pbCancel_Callback", [](QObject*, const Handles& h) { host::finishWait(h.window(), "Cancel"); });
    op("closeFig_Callback", [](QObject*, const Handles& h) { host::finishWait(h.window(), "Cancel"); });
}

AdvancedSettings::~AdvancedSettings() {
    registry_.remove(kAdvancedModule);
    delete ownWindow_.data();
}

model::SigGenSettings AdvancedSettings::defaultSettings() {
    model::SigGenSettings s;
    s.Title = "NoName";
    s.Frequency = 1000000000;
    s.Amplitude = -50;
    s.SamplingRate = 1000000;
    s.BBfilter = 2;
    s.Scaling = 95;
    s.ModAtten = 0;
    s.RFblanking = 1;
    s.ALC = 1;
    s.ArbRefSource = 0;
    s.MarkerPolarity = 0;
    return s;
}

void AdvancedSettings::InitializeFigure(const Handles& h) {
    host::resizeAllFonts(h);
    static const std::pair<const char*, const char*> tooltips[] = {
        {"txtSamplingRate", "Sets the baseband samping rate.\nValid Range: 1 Hz - 100 MHz\n(Configures automatically to be "
                            "consistent\nwith the selected Oversampling Ratio.)"},
        {"pdBBfilter", "Selects the VSK reconstruction filter."},
        {"txtScaling", "Sets the I & Q scaling ratio.\nValid Range: 1 - 100 %"},
        {"txtModAtten", "Sets the Modulator Attentuation.\nValid Range: 0 - 40 dB"},
        {"chkRFblanking", "Toggles the state of the\nRF Blanking feature."},
        {"chkALC", "Toggles the state of the\nAutomatic Level Control (ALC)."},
        {"chkBBrefSource", "Toggles the source of the ARB reference\nbetween internal and external.\n(Note: Ensure that an "
                           "external reference\nis connected to the VSK before setting\nthe ARB reference source to "
                           "external.)"},
        {"chkMarkerPolarity", "Toggles the Event marker polarity.\n(Note: The Event 2 Marker is used by\nthe internal RF "
                              "Blanking feature, inverting the\npolarity while RF Blanking is active may\nlead to "
                              "unexpected behaivour.)"},
        {"pbOK", "Apply all changes."},
        {"pbCancel", "Discards all changes."},
    };
    for (const auto& [tag, text] : tooltips) ctl(h[tag]).setTooltip(text);
}

void AdvancedSettings::redrawAll(const Handles& h) {
    const model::SigGenSettings& s = newSettings_;
    const Scaled rate = withUnit(s.SamplingRate, 3);
    ctl(h["pdSamplingRateUnits"]).setValue(rate.unitItem);
    ctl(h["txtSamplingRate"]).setString(host::numberText(rate.shown));
    ctl(h["pdBBfilter"]).setValue(s.BBfilter);
    ctl(h["txtScaling"]).setString(host::numberText(s.Scaling));
    ctl(h["txtModAtten"]).setString(host::numberText(s.ModAtten));
    ctl(h["chkRFblanking"]).setValue(s.RFblanking);
    ctl(h["chkALC"]).setValue(s.ALC);
    ctl(h["chkBBrefSource"]).setValue(s.ArbRefSource);
    ctl(h["chkMarkerPolarity"]).setValue(s.MarkerPolarity);
}

void AdvancedSettings::updateSamplingRate(const Handles& h) {
    if (auto x = readScaled(h["txtSamplingRate"], h["pdSamplingRateUnits"], "Sampling rate", newSettings_.SamplingRate,
                            limits("SamplingRate").lo, limits("SamplingRate").hi))
        newSettings_.SamplingRate = *x;
    redrawAll(h);
}

std::pair<std::string, model::SigGenSettings> AdvancedSettings::run(QWidget* fig,
                                                                  std::optional<model::SigGenSettings> settings) {
    if (!fig) {
        if (!ownWindow_) {
            ownWindow_ = host::loadFigure("VskConfigAdv_c", nullptr, registry_);
            InitializeFigure(Handles(ownWindow_));
        }
        fig = ownWindow_;
    }
    const Handles h(fig);
    newSettings_ = settings.value_or(defaultSettings());
    redrawAll(h);
    host::showWindowStatus(fig, "");
    const std::string answer = host::waitForAnswer(fig);
    if (h.valid()) fig->hide();
    return {answer, newSettings_};
}

}  // namespace instrument
