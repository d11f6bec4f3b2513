#include "app/measure_menu.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "app/busy_pointer.h"
#include "app/common_controller.h"
#include "model/calculate.h"
#include "model/capture_file.h"
#include "app/plot_menu.h"
#include "app/status_line.h"
#include "host/core/number_text.h"
#include "host/core/text.h"
#include "engine/frame.h"
#include "plots/plots.h"
#include "analyzer/analysis.h"
#include "analyzer/frames.h"

namespace app {

namespace {

constexpr const char* kErrorTitle = "Analysis Error";
constexpr const char* kRequestTitle = "Analyze I/Q File";
const std::vector<std::string> kPrompts{"Sample rate (Hz):", "PN offset (0-511, empty to search):",
                                        "Reference filter:", "Phase equalizer:"};
constexpr const char* kFindIt = "Find it (best fit)";
// The lists' entries and the answers they give analyzeRequest, in the lists' order.
const std::vector<std::pair<const char*, const char*>> kFilterChoices{
    {kFindIt, "find"}, {"IS-95 ACP-optimised", "acp"}, {"IS-95 standard", "std"}, {"Rectangular", "rect"}};
const std::vector<std::pair<const char*, const char*>> kEqualizerChoices{{kFindIt, "find"}, {"On", "1"}, {"Off", "0"}};

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A capture of exactly one frame tells its own rate.
std::optional<double> oneFrameRate(std::size_t samples) {
    const std::size_t r = samples / engine::kChipsPerFrame;
    if (samples % engine::kChipsPerFrame != 0 || r < 1 || r > 64) return std::nullopt;
    return double(r) * engine::kChipRate;
}

// Every file zuno-ana reads.
constexpr const char* kCaptureFilter = "*.cf64 *.cf32 *.ci16be *.ci16le *.ci16 *.bin *.iq *.sigmf-meta *.sigmf-data *.mat";

[[noreturn]] void refuse(std::size_t k, const std::string& answer, const std::string& wanted) {
    throw std::invalid_argument("'" + kPrompts[k] + "' needs " + wanted + ", not '" + answer + "'");
}

}  // namespace

analyzer::Options analyzeRequest(const std::vector<std::string>& answers) {
    auto answer = [&](std::size_t k) { return k < answers.size() ? trim(answers[k]) : std::string(); };
    analyzer::Options o;
    o.sampleRate = answerNumber(answers, 0, kPrompts[0]);
    if (!(o.sampleRate > 0) || !std::isfinite(o.sampleRate)) refuse(0, answer(0), "a rate above 0 Hz");
    if (const std::string pn = answer(1); !pn.empty()) {
        const std::vector<double> v = host::textToNumbers(pn);
        if (v.size() != 1 || v[0] != std::round(v[0]) || v[0] < 0 || v[0] > 511)
            refuse(1, pn, "a whole number from 0 to 511 or nothing");
        o.pnOffset = int(v[0]);
    }
    const std::string filter = host::toLower(answer(2));
    if (filter == "std") o.filter = analyzer::ReferenceFilter::Standard;
    else if (filter == "acp") o.filter = analyzer::ReferenceFilter::Acp;
    else if (filter == "rect") o.filter = analyzer::ReferenceFilter::Rectangular;
    else if (filter == "find") o.filter.reset();
    else refuse(2, answer(2), "std, acp, rect or find");
    if (answer(3) == "find") {
        o.phaseEqualizer.reset();
        return o;
    }
    const std::vector<double> eq = host::textToNumbers(answer(3));
    if (eq.size() != 1 || (eq[0] != 0 && eq[0] != 1)) refuse(3, answer(3), "0, 1 or find");
    o.phaseEqualizer = eq[0] == 1;
    return o;
}

std::optional<std::vector<std::string>> askAnalyzeRequest(QWidget* parent, double rate) {
    QDialog dialog(parent);
    dialog.setObjectName("analyzeRequest");
    dialog.setWindowTitle(kRequestTitle);
    auto* form = new QFormLayout(&dialog);
    auto* rateField = new QLineEdit(QString::fromStdString(host::numberText(rate)));
    rateField->setObjectName("analyzeRate");
    rateField->setMinimumWidth(220);
    auto* pnField = new QLineEdit;
    pnField->setObjectName("analyzePnOffset");
    auto list = [](const char* tag, const std::vector<std::pair<const char*, const char*>>& choices, const char* tip) {
        auto* c = new QComboBox;
        c->setObjectName(tag);
        for (const auto& [text, answer] : choices) c->addItem(text, answer);
        c->setToolTip(tip);
        return c;
    };
    // The capture need not come from these settings: by default every reference is tried.
    auto* filterList = list("analyzeFilter", kFilterChoices,
                            "The transmitter's baseband filter; \"Find it\" tries each and keeps the best fit");
    auto* eqList = list("analyzeEqualizer", kEqualizerChoices,
                        "The transmitter's phase equalizer; \"Find it\" tries with and without it");
    QWidget* fields[] = {rateField, pnField, filterList, eqList};
    for (std::size_t k = 0; k < kPrompts.size(); ++k) form->addRow(QString::fromStdString(kPrompts[k]), fields[k]);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(box);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return std::vector<std::string>{rateField->text().toStdString(), pnField->text().toStdString(),
                                    filterList->currentData().toString().toStdString(),
                                    eqList->currentData().toString().toStdString()};
}

MeasureMenu::MeasureMenu(AppContext& ctx, CommonController& common) : ctx_(ctx), common_(common) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("menuPlotMeasure_Callback", [this](const host::Call& c) { menuPlotMeasure(c.handles); });
    m.add("menuFileAnalyzeIQ_Callback", [this](const host::Call& c) { menuFileAnalyzeIQ(c.handles); });
}

void MeasureMenu::menuPlotMeasure(const host::Handles& h) {
    if (!common_.checkWaveformReady(h, "Plot")) return;
    // The waveform held is the one these settings made, also when the user chose to measure it
    // after changing them.
    const AppState& s = ctx_.state;
    model::Parameters made = s.appInfo.LastCaluclatedParameterSet.value_or(s.parameters);
    // Of several carriers, the first is read: with its own settings, at its offset.
    if (!s.waveformPlan.carriers.empty()) {
        const model::Carrier& first = s.waveformPlan.carriers.front();
        if (first.parameters) {
            const double r = made.OverSampling;
            made = *first.parameters;
            made.OverSampling = r;
            made.ProjectedLength = model::projectedLength(r);
        }
        if (first.pnOffset) made.PilotOffsetIndex = *first.pnOffset;
    }
    analyzer::Options options = analyzer::optionsFor(model::frameArguments(made, {}));
    // The first carrier, filtered from the others (of one carrier at the centre, the capture as it is).
    const auto& offsets = s.waveformCarriersHz;
    if (offsets.size() > 1 || (offsets.size() == 1 && offsets.front() != 0)) options.carrierOffsetHz = offsets.front();
    measure(playedWaveform(ctx_), options, plotLabel(ctx_));
}

void MeasureMenu::menuFileAnalyzeIQ(const host::Handles&) {
    const std::optional<host::FileChoice> choice = ctx_.dialogs.openFile(kCaptureFilter);
    if (!choice) return;
    const std::string path = choice->directory + choice->name;
    model::Capture capture;
    try {
        const BusyPointer busy(ctx_.mainWindow);
        capture = model::readCapture(path, model::formatOfPath(path));
    } catch (const std::exception& e) {
        ctx_.dialogs.error(kErrorTitle, e.what());
        return;
    }
    const double rate = capture.sampleRate.value_or(oneFrameRate(capture.samples.size()).value_or(
        ctx_.state.SigGenSettings.SamplingRate));
    const auto answers = askAnalyzeRequest(ctx_.mainWindow, rate);
    if (!answers) return;
    analyzer::Options options;
    try {
        options = analyzeRequest(*answers);
    } catch (const std::exception& e) {
        ctx_.dialogs.error(kErrorTitle, e.what());
        return;
    }
    measure(capture.samples, options, choice->name);
}

void MeasureMenu::measure(const dsp::CVec& samples, const analyzer::Options& options, const std::string& label) {
    QWidget* window = nullptr;
    try {
        const BusyPointer busy(ctx_.mainWindow);
        window = plots::KV_PlotMeasure(ctx_.mainWindow, label, analyzer::analyzeFrames(samples, options));
    } catch (const std::exception& e) {
        ctx_.dialogs.error(kErrorTitle, e.what());
        return;
    }
    ctx_.addClientWindow(window);
}

}  // namespace app
