#pragma once
// The line under the buttons that says what happened last; the window's status bar, so that
// nothing else moves when it changes.
#include <string>

#include "app/app_context.h"
#include "model/records.h"
#include "dsp/types.h"

namespace app {

// Adds the empty line to the main window, below everything else.
void addStatusLine(QWidget* mainWindow);
void showStatus(AppContext& ctx, const std::string& text);
// The status bar's text now; empty before anything happened.
std::string statusText(const AppContext& ctx);

// "Calculated 1 frame (26.6667 ms), 983040 samples at 36.864 MHz, crest factor 11.3 dB, in 9 ms".
std::string calculatedText(const dsp::CVec& waveform, double sampleRate, int frames, double milliseconds);
// The first line of a message, for the status line: the dialog has the rest.
std::string firstLine(const std::string& message);
// Where the instrument is, as the connection dialog names it: "127.0.0.1:5025", "GPIB0::19",
// "RS-232 port 1".
std::string linkAddress(const model::Configuration& configuration);

}  // namespace app
