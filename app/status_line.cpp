#include "app/status_line.h"

#include <QMainWindow>
#include <QStatusBar>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "editors/carrier_setup.h"
#include "model/waveform_stats.h"
#include "host/core/number_text.h"

namespace app {

namespace {

constexpr const char* kStatusTag = "statusLine";

QStatusBar* bar(const AppContext& ctx) {
    return ctx.mainWindow ? ctx.mainWindow->findChild<QStatusBar*>(kStatusTag) : nullptr;
}

std::string fixed(double x, int decimals) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buf, end) : host::numberText(x);
}

}  // namespace

void addStatusLine(QWidget* mainWindow) {
    auto* main = qobject_cast<QMainWindow*>(mainWindow);
    if (!main) throw std::runtime_error("the status line needs the main window");
    // There from the start, so that the first message moves nothing.
    auto* line = new QStatusBar(main);
    line->setObjectName(kStatusTag);
    line->setSizeGripEnabled(false);
    main->setStatusBar(line);
}

void showStatus(AppContext& ctx, const std::string& text) {
    if (QStatusBar* b = bar(ctx)) b->showMessage(QString::fromStdString(text));
}

std::string statusText(const AppContext& ctx) {
    const QStatusBar* b = bar(ctx);
    return b ? b->currentMessage().toStdString() : std::string();
}

std::string calculatedText(const dsp::CVec& waveform, double sampleRate, int frames, double milliseconds) {
    return "Calculated " + editors::lengthText(frames, waveform.size()) + " at " + host::numberText(sampleRate / 1e6) +
           " MHz, crest factor " + fixed(model::waveformStats(waveform).crestDb, 1) + " dB, in " +
           fixed(std::round(milliseconds), 0) + " ms";
}

std::string firstLine(const std::string& message) { return message.substr(0, message.find('\n')); }

std::string linkAddress(const model::Configuration& c) {
    if (c.type == "TCPIP") return c.TCPIP.address;
    if (c.type == "RS232") return "RS-232 port " + host::numberText(c.RS232.port);
    return "GPIB" + host::numberText(c.GPIB.board) + "::" + host::numberText(c.GPIB.primary);
}

}  // namespace app
