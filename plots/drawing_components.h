#pragma once
// The eye diagram and scatter plot drawing components: each makes its own hidden window (or
// draws into a given one) and refuses input it cannot draw with std::invalid_argument.
#include <string>

#include "dsp/types.h"
#include "plots/plot_window.h"

namespace plots {

// Overlapping traces of the real part and, when x has any imaginary part, of the imaginary part
// in a second axes; window "Eye Diagram".
PlotWindow* eyediagram(const dsp::CVec& x, double n, double period, double offset);

// Every n-th sample after `offset` in the I/Q plane, with a style of one colour letter
// (b g r c m y k w) and a marker (. o x + * s d) and/or a line (- -- : -.); window "Scatter Plot",
// or drawn into `h` on top of what it shows.
PlotWindow* scatterplot(const dsp::CVec& x, double n, double offset, const std::string& plotstring = "b.",
                        PlotWindow* h = nullptr);

}  // namespace plots
