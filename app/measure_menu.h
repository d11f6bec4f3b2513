#pragma once
// The Measure window's two ways in (module rfCommonUI): Plot > Measure... analyses the calculated
// frame against the settings it was calculated with; File > Analyze I/Q File... analyses a
// capture against the reference the user chooses or leaves to be found. A failure shows the
// reason in the "Analysis Error" box.
#include <optional>
#include <string>
#include <vector>

#include "dsp/types.h"

class QWidget;

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace analyzer {
struct Options;
}

namespace app {

class CommonController;

// The answers of the "Analyze I/Q File" dialog: sample rate in Hz, PN offset (empty: searched),
// reference filter (std, acp, rect or find) and phase equalizer (0, 1 or find); "find" leaves the
// analyzer to try each and keep the best fit. Throws std::invalid_argument naming the field and
// the answer that does not fit.
analyzer::Options analyzeRequest(const std::vector<std::string>& answers);

// The "Analyze I/Q File" dialog: rate and PN offset typed, filter and equalizer chosen from lists
// (by default "Find it (best fit)"). Its answers as analyzeRequest reads them; nothing when
// cancelled.
std::optional<std::vector<std::string>> askAnalyzeRequest(QWidget* parent, double rate);

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
