#include "editors/carrier_setup.h"

#include <QLayout>
#include <QLineEdit>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <optional>

#include "editors/dialog_window.h"
#include "engine/frame.h"
#include "engine/frame_layout.h"
#include "host/core/number_text.h"
#include "host/core/text.h"
#include "host/qt/control.h"
#include "host/qt/layout.h"
#include "host/qt/numeric_entry.h"
#include "model/settings_source.h"

namespace editors {

using host::Call;
using host::ctl;
using host::Handles;

namespace {

constexpr int kRows = static_cast<int>(model::kMaxCarriers);
constexpr int kWindowMostOverSampling = 30;  // the main window's oversampling field goes no higher
constexpr double kCarrierSpacingHz = 1.25e6;  // a new carrier goes this far above the last

const std::vector<host::EntryUnit> kFrequencyUnits{{"Hz", 1}, {"kHz", 1e3}, {"MHz", 1e6}};
const std::vector<host::EntryUnit> kDbUnits{{"dB", 1}};
const char* const kRowStems[] = {"lblCarrier",  "txtCarrierOffset", "txtCarrierGain", "pdCarrierSettings",
                                 "txtCarrierPN", "txtCarrierFile",   "pbRemoveCarrier"};

std::string tag(const char* stem, int row) { return stem + std::to_string(row); }
std::size_t at(int row) { return static_cast<std::size_t>(row - 1); }

// The number a field holds as typed so far, in its stored unit; nothing while it holds none.
std::optional<double> typedValue(QObject* field, const std::vector<host::EntryUnit>& units) {
    const auto typed = host::readTypedNumber(ctl(field).string());
    if (!typed) return std::nullopt;
    if (typed->unit.empty()) return typed->value;
    for (const host::EntryUnit& u : units)
        if (host::toLower(u.name) == host::toLower(typed->unit)) return typed->value * u.factor;
    return std::nullopt;
}

std::optional<double> readDb(QObject* field, const std::string& label, double kept) {
    return host::readField(field, {label, kDbUnits}, host::numberText(kept) + " dB");
}

}  // namespace

int planFrames(const model::Parameters& main, const model::CarrierPlan& plan) {
    model::checkPlan(main, plan);
    std::vector<double> offsets;
    for (const model::Carrier& c : plan.carriers)
        offsets.push_back(plan.quantizeOffsets ? std::round(c.offsetHz / model::kFrameRateHz) * model::kFrameRateHz
                                               : c.offsetHz);
    if (offsets.empty()) offsets.push_back(0);
    return model::seamlessFrames(offsets).value_or(1);
}

std::string lengthText(int frames, std::uint64_t samples) {
    char text[96];
    std::snprintf(text, sizeof text, "%d frame%s (%.6g ms), %llu samples", frames, frames == 1 ? "" : "s",
                  frames * 1000 / model::kFrameRateHz, static_cast<unsigned long long>(samples));
    return text;
}

CarrierSetup::CarrierSetup(host::Registry& registry, host::Dialogs& dialogs) : registry_(registry), dialogs_(dialogs) {
    rows_.push_back({});
    registerOperations();
}

CarrierSetup::~CarrierSetup() { registry_.remove(kCarrierSetupModule); }

void CarrierSetup::registerOperations() {
    host::Module& m = registry_.add(kCarrierSetupModule);
    m.add("InitializeFigure", [this](const Call& c) { InitializeFigure(c.handles); });
    m.add("redraw", [this](const Call& c) { redraw(c.handles); });

    // Per-row controls: the carrier is the number at the end of the control's tag.
    auto row = [this, &m](const char* name, auto f) {
        m.add(name, [this, f](const Call& c) {
            const int r = rowOf(c.source, kRows);
            if (at(r) < rows_.size()) f(c.source, c.handles, r, rows_[at(r)].carrier);
            redraw(c.handles);
        });
    };
    row("CarrierOffset_Callback", [](QObject* h, const Handles&, int r, model::Carrier& c) {
        const std::string label = "Carrier " + std::to_string(r) + " offset";
        if (auto v = host::readField(h, {label, kFrequencyUnits}, host::numberText(c.offsetHz) + " Hz")) c.offsetHz = *v;
    });
    row("CarrierGain_Callback", [](QObject* h, const Handles&, int r, model::Carrier& c) {
        if (auto v = readDb(h, "Carrier " + std::to_string(r) + " gain", c.gainDb)) c.gainDb = *v;
    });
    row("CarrierPN_Callback", [](QObject* h, const Handles&, int r, model::Carrier& c) {
        // Empty: the main settings' own PN offset.
        if (ctl(h).string().find_first_not_of(" \t") == std::string::npos) {
            c.pnOffset.reset();
            return;
        }
        const std::string kept = c.pnOffset ? std::to_string(*c.pnOffset) : std::string("none");
        if (auto v = host::readField(h, {"Carrier " + std::to_string(r) + " PN offset", {}}, kept))
            c.pnOffset = static_cast<int>(std::clamp(std::round(*v), 0.0, 511.0));
    });
    row("CarrierSettings_Callback", [this](QObject* h, const Handles& hs, int r, model::Carrier& c) {
        if (ctl(h).value() == 2) {
            chooseFile(hs, r);
        } else {
            c.parameters.reset();
            rows_[at(r)].file.clear();
        }
    });
    row("RemoveCarrier_Callback", [this](QObject*, const Handles&, int r, model::Carrier&) {
        if (rows_.size() > 1) rows_.erase(rows_.begin() + (r - 1));
    });
    m.add("AddCarrier_Callback", [this](const Call& c) {
        if (rows_.size() >= model::kMaxCarriers) return;
        Row next;
        next.carrier.offsetHz = rows_.back().carrier.offsetHz + kCarrierSpacingHz;
        rows_.push_back(next);
        redraw(c.handles);
        // Straight on to typing the new carrier's offset.
        if (auto* e = qobject_cast<QLineEdit*>(c.handles[tag("txtCarrierOffset", int(rows_.size()))])) {
            e->setFocus(Qt::TabFocusReason);
            e->selectAll();
        }
    });

    auto setting = [this, &m](const char* name, auto f) {
        m.add(name, [this, f](const Call& c) {
            f(c.source);
            redraw(c.handles);
        });
    };
    setting("chkNoise_Callback", [this](QObject* h) { noiseOn_ = ctl(h).value() != 0; });
    setting("chkCrest_Callback", [this](QObject* h) { crestOn_ = ctl(h).value() != 0; });
    setting("chkQuantizeOffsets_Callback", [this](QObject* h) { quantize_ = ctl(h).value() != 0; });
    setting("txtNoiseCN_Callback", [this](QObject* h) {
        if (auto v = readDb(h, "C/N", noiseDb_)) noiseDb_ = *v;
    });
    setting("txtCrest_Callback", [this](QObject* h) {
        if (auto v = readDb(h, "Crest factor target", crestDb_)) crestDb_ = *v;
    });

    m.add("pbOK_Callback", [this](const Call& c) { accept(c.handles); });
    m.add("pbCancel_Callback", [](const Call& c) { finish(c.handles, "Cancel"); });
    m.add("close_Callback", [](const Call& c) { finish(c.handles, "Cancel"); });
}

model::CarrierPlan CarrierSetup::plan() const {
    model::CarrierPlan p;
    for (const Row& r : rows_) p.carriers.push_back(r.carrier);
    if (noiseOn_) p.noiseCnDb = noiseDb_;
    if (crestOn_) p.crestDb = crestDb_;
    p.quantizeOffsets = quantize_;
    return p;
}

std::pair<std::string, model::CarrierPlan> CarrierSetup::open(QWidget* fig, const model::Parameters& main,
                                                              const model::CarrierPlan& plan) {
    main_ = main;
    rows_.clear();
    for (const model::Carrier& c : plan.carriers) {
        // A file's settings arrive without their file's name.
        rows_.push_back({c, c.parameters ? "(own settings)" : ""});
        if (rows_.size() == model::kMaxCarriers) break;
    }
    if (rows_.empty()) rows_.push_back({});
    noiseOn_ = plan.noiseCnDb.has_value();
    crestOn_ = plan.crestDb.has_value();
    noiseDb_ = plan.noiseCnDb.value_or(20);
    crestDb_ = plan.crestDb.value_or(8);
    quantize_ = plan.quantizeOffsets;
    if (fig) redraw(Handles(fig));
    const std::string answer = runModal(fig);
    return {answer, answer == "OK" ? this->plan() : plan};
}

void CarrierSetup::InitializeFigure(const Handles& h) {
    for (int r = 1; r <= kRows; ++r) {
        ctl(h[tag("txtCarrierOffset", r)])
            .setTooltip("The carrier's frequency offset from the centre,\nin Hz (or with kHz or MHz).");
        ctl(h[tag("txtCarrierGain", r)]).setTooltip("The carrier's power relative to the others, in dB.\nValid Range: -40 to 40");
        ctl(h[tag("pdCarrierSettings", r)])
            .setTooltip("The carrier's frame: the main settings,\nor those of a parameter file.");
        ctl(h[tag("txtCarrierPN", r)])
            .setTooltip("The carrier's pilot PN offset on the main settings.\nEmpty: the main settings' own.\nValid Range: 0 to 511");
        h.get<QLineEdit>(tag("txtCarrierPN", r))->setPlaceholderText("main");
    }
    ctl(h["txtNoiseCN"]).setTooltip("The power of each carrier over the noise within 1.2288 MHz around it.\nValid Range: -20 to 60 dB");
    ctl(h["txtCrest"]).setTooltip("The crest factor (peak over RMS) the waveform is clipped and filtered to.\nValid Range: 3 to 20 dB");
    ctl(h["chkQuantizeOffsets"])
        .setTooltip("Moves each offset to the nearest multiple of 37.5 Hz,\nso that the waveform loops in one frame.");
    // The length follows every key typed, before the field's value is taken.
    QWidget* window = h.window();
    for (QLineEdit* e : window->findChildren<QLineEdit*>())
        QObject::connect(e, &QLineEdit::textEdited, window, [this, window] { preview(Handles(window)); });
    host::resizeAllFonts(h);
}

void CarrierSetup::redraw(const Handles& h) const {
    const int shown = static_cast<int>(rows_.size());
    for (int r = 1; r <= kRows; ++r) {
        for (const char* stem : kRowStems) ctl(h[tag(stem, r)]).setVisible(r <= shown);
        if (r > shown) continue;
        const Row& row = rows_[at(r)];
        const model::Carrier& c = row.carrier;
        ctl(h[tag("txtCarrierOffset", r)]).setString(host::numberText(c.offsetHz));
        ctl(h[tag("txtCarrierGain", r)]).setString(host::numberText(c.gainDb));
        ctl(h[tag("pdCarrierSettings", r)]).setValue(c.parameters ? 2 : 1);
        ctl(h[tag("txtCarrierPN", r)]).setString(c.pnOffset ? std::to_string(*c.pnOffset) : std::string());
        ctl(h[tag("txtCarrierPN", r)]).setEnabled(!c.parameters);
        ctl(h[tag("txtCarrierFile", r)]).setString(row.file);
        ctl(h[tag("pbRemoveCarrier", r)]).setEnabled(shown > 1);
    }
    ctl(h["pbAddCarrier"]).setEnabled(shown < kRows);
    ctl(h["chkNoise"]).setValue(noiseOn_ ? 1 : 0);
    ctl(h["txtNoiseCN"]).setString(host::numberText(noiseDb_));
    ctl(h["txtNoiseCN"]).setEnabled(noiseOn_);
    ctl(h["chkCrest"]).setValue(crestOn_ ? 1 : 0);
    ctl(h["txtCrest"]).setString(host::numberText(crestDb_));
    ctl(h["txtCrest"]).setEnabled(crestOn_);
    ctl(h["chkQuantizeOffsets"]).setValue(quantize_ ? 1 : 0);
    preview(h);
    // As tall as its rows, once their number changed.
    if (shownRows_ != shown) {
        shownRows_ = shown;
        if (QWidget* w = h.window()) {
            w->layout()->activate();
            w->adjustSize();
        }
    }
}

void CarrierSetup::preview(const Handles& h) const {
    model::CarrierPlan p = plan();
    for (std::size_t i = 0; i < p.carriers.size(); ++i) {
        const int r = static_cast<int>(i) + 1;
        if (auto v = typedValue(h[tag("txtCarrierOffset", r)], kFrequencyUnits)) p.carriers[i].offsetHz = *v;
        if (auto v = typedValue(h[tag("txtCarrierGain", r)], kDbUnits)) p.carriers[i].gainDb = *v;
    }
    if (p.noiseCnDb)
        if (auto v = typedValue(h["txtNoiseCN"], kDbUnits)) p.noiseCnDb = *v;
    if (p.crestDb)
        if (auto v = typedValue(h["txtCrest"], kDbUnits)) p.crestDb = *v;
    auto* length = qobject_cast<QWidget*>(h["txtLength"]);
    try {
        const int frames = planFrames(main_, p);
        const auto samples = static_cast<std::uint64_t>(frames) * engine::kChipsPerFrame *
                             static_cast<std::uint64_t>(main_.OverSampling);
        ctl(length).setString(lengthText(frames, samples));
        length->setStyleSheet({});
    } catch (const std::exception& e) {
        ctl(length).setString(e.what());
        length->setStyleSheet("color: #b00000");
    }
}

void CarrierSetup::accept(const Handles& h) {
    const model::CarrierPlan p = plan();
    model::Parameters check = main_;
    std::vector<double> offsets;
    for (const model::Carrier& c : p.carriers) offsets.push_back(c.offsetHz);
    const int r = static_cast<int>(main_.OverSampling);
    const int smallest = model::smallestOverSampling(offsets);
    if (smallest > r) check.OverSampling = std::max(r, std::min(kWindowMostOverSampling, smallest));
    try {
        model::checkPlan(check, p);
    } catch (const std::exception& e) {
        host::showWindowStatus(h.window(), e.what());
        dialogs_.error("Carriers and Noise", e.what());
        return;
    }
    finish(h, "OK");
}

void CarrierSetup::chooseFile(const Handles& h, int r) {
    const auto choice = dialogs_.openFile("*.mat");
    if (!choice) return;
    const std::string path = choice->directory + choice->name;
    try {
        rows_[at(r)].carrier.parameters = model::parametersFrom(path);
    } catch (const std::exception& e) {
        host::showWindowStatus(h.window(), "Not opened: " + path);
        dialogs_.error("Error Loading File", e.what());
        return;
    }
    rows_[at(r)].carrier.pnOffset.reset();
    rows_[at(r)].file = choice->name;
}

}  // namespace editors
