#pragma once
// The Measure window's two ways in (module rfCommonUI): Plot > Measure... analyses the calculated
// frame against the settings it was calculated with; File > Analyze I/Q File... analyses a
// capture against the reference the user confirms. A failure shows the reason in the
// "Analysis Error" box.
#include <optional>
#include <string>
#include <vector>

#include "dsp/types.h"

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace analyzer {
struct Options;
}

namespace app {

class CommonController;

// The answers of the "Analyze I/Q File" dialog: sample rate in Hz, PN offset (empty: searched),
// reference filter (std, acp or rect) and phase equalizer (0 or 1). Throws std::invalid_argument
// naming the field and the answer that does not fit.
analyzer::Options analyzeRequest(const std::vector<std::string>& answers);

class MeasureMenu {
public:
    // Registers menuPlotMeasure_Callback and menuFileAnalyzeIQ_Callback in rfCommonUI.
    MeasureMenu(AppContext& ctx, CommonController& common);

    void menuPlotMeasure(const host::Handles& handles);
    void menuFileAnalyzeIQ(const host::Handles& handles);

private:
    // Analyses under the busy pointer and opens the window named by `label`.
    void measure(const dsp::CVec& samples, const analyzer::Options& options, const std::string& label);

    AppContext& ctx_;
    CommonController& common_;
};

}  // namespace app
