#pragma once
// The carriers and noise dialog (module Zuno_Fwd_GUI_Carriers): up to four carriers, each with
// its offset, gain and settings, the noise as C/N, the crest-factor target and the quantizing of
// the offsets, with the length of the waveform they make.
#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/qt/dialogs.h"
#include "host/qt/handles.h"
#include "host/qt/registry.h"
#include "model/carriers.h"

namespace editors {

inline constexpr const char* kCarrierSetupModule = "Zuno_Fwd_GUI_Carriers";

// The frames the waveform of `plan` holds at the main settings' oversampling; throws the
// model's refusal (std::invalid_argument) when the plan cannot be calculated.
int planFrames(const model::Parameters& main, const model::CarrierPlan& plan);
// "3 frames (80 ms), 2949120 samples".
std::string lengthText(int frames, std::uint64_t samples);

class CarrierSetup {
public:
    CarrierSetup(host::Registry& registry, host::Dialogs& dialogs);
    ~CarrierSetup();
    CarrierSetup(const CarrierSetup&) = delete;
    CarrierSetup& operator=(const CarrierSetup&) = delete;

    // Shows the window for carriers over the `main` settings and waits for OK, Cancel or its
    // close box; returns the answer and the plan (as edited on OK, `plan` otherwise).
    std::pair<std::string, model::CarrierPlan> open(QWidget* fig, const model::Parameters& main,
                                                    const model::CarrierPlan& plan);

    void InitializeFigure(const host::Handles& handles);
    void redraw(const host::Handles& handles) const;
    // The plan as the window's settings make it.
    model::CarrierPlan plan() const;

private:
    struct Row {
        model::Carrier carrier;
        std::string file;  // the parameter file the carrier's settings came from, as shown
    };

    void registerOperations();
    // The length line, from the settings as typed so far (taken or not).
    void preview(const host::Handles& handles) const;
    // OK: the plan unless the model refuses it (an oversampling too small is left for the
    // calculation to refuse: the user may change it after).
    void accept(const host::Handles& handles);
    void chooseFile(const host::Handles& handles, int row);

    host::Registry& registry_;
    host::Dialogs& dialogs_;
    model::Parameters main_ = model::InitializeParameters();
    std::vector<Row> rows_;  // one at least
    bool noiseOn_ = false, crestOn_ = false, quantize_ = false;
    double noiseDb_ = 20, crestDb_ = 8;  // kept while switched off
    mutable int shownRows_ = 0;
};

}  // namespace editors
