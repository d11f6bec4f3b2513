#pragma once
// The Plot menu of the main window (module rfCommonUI): each item checks that a current waveform
// exists, opens its plot of the waveform at the converters' 14-bit resolution next to the main
// window, and lists the window among the client windows closed at shutdown.
#include <optional>
#include <string>
#include <vector>

#include "app/app_context.h"
#include "host/qt/handles.h"
#include "plots/core/ccdf.h"

namespace app {

class CommonController;

// The first number of dialog answer k; throws std::invalid_argument quoting the prompt and the
// answer when there is none.
double answerNumber(const std::vector<std::string>& answers, std::size_t k, const std::string& prompt);

// The last calculated waveform at the converters' 14-bit resolution, as the instrument plays it.
dsp::CVec playedWaveform(const AppContext& ctx);

// What follows a plot window's name: appInfo.Name and the time of the plot, in whole seconds.
std::string plotLabel(AppContext& ctx);

// The eye diagram's dialog answers as sample counts: S symbols (at least 1, at most the symbols
// the waveform holds) and the symbol delay D in samples. Throws std::invalid_argument naming the
// field when an answer is not a number.
struct EyeRequest {
    double symbols = 1;
    double delay = 0;
};
EyeRequest eyeRequest(const std::vector<std::string>& answers, double samples, double overSampling);

// The scatter diagram's answers: the trace switch T (0 or 1) and the delay D in samples.
struct ScatterRequest {
    double trace = 1;
    double delay = 0;
};
ScatterRequest scatterRequest(const std::vector<std::string>& answers, double overSampling);

class PlotMenu {
public:
    // Registers the menuPlot..._Callback operations in rfCommonUI.
    PlotMenu(AppContext& ctx, CommonController& common);

    void menuPlotSpectrum(const host::Handles& handles);
    void menuPlotSpectrumAnalyzer(const host::Handles& handles);
    void menuPlotWaterfall(const host::Handles& handles);
    void menuPlotIQTime(const host::Handles& handles, double overlay);
    void menuPlotEyeDiagram(const host::Handles& handles);
    void menuPlotScatterDiagram(const host::Handles& handles);
    void menuPlotCCDF(const host::Handles& handles);

private:
    void keep(QWidget* window);

    AppContext& ctx_;
    CommonController& common_;
    // The CCDF stored for comparison, kept while the application runs.
    std::optional<plots::CcdfReference> ccdfReference_;
};

}  // namespace app
