// The spectrum analyser window as a test engineer uses it: opened from the Plot menu, resolution
// bandwidth, averaging and units chosen, limits typed, markers placed with the mouse.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <gmock/gmock.h>

#include "app/core/calculate.h"
#include "app_fixture.h"
#include "engine/dac.h"
#include "plots/core/channel_measurements.h"
#include "plots/core/welch.h"
#include "plots/plot_canvas.h"
#include "plots/plots.h"

using testing::HasSubstr;
using testing::StartsWith;

namespace {

dsp::CVec frame(double overSampling = 5) {
    app::Parameters p = app::InitializeParameters();
    p.OverSampling = overSampling;
    dsp::Rng rng(11);
    return engine::applyDacRes(app::Calculate(p, rng).waveform, 14);
}

class AnalyzerWindow : public testsupport::AppTest {
protected:
    plots::PlotWindow* window = nullptr;
    QMainWindow parent;

    void open(const dsp::CVec& x, double rate) {
        parent.setGeometry(100, 50, 1000, 800);
        window = plots::KV_PlotSpectrumAnalyzer(&parent, "a", rate, -30, x, dialogs);
        window->grab();
    }
    void TearDown() override {
        delete window;
        AppTest::TearDown();
    }
    template <class W>
    W* in(const char* tag) {
        auto* w = window->findChild<W*>(tag);
        EXPECT_NE(w, nullptr) << tag;
        return w;
    }
    std::string text(const char* tag) { return in<QLabel>(tag)->text().toStdString(); }
    plots::PlotCanvas* canvas() { return window->findChild<plots::PlotCanvas*>(); }
    QPoint pixelAt(double fMHz) {
        QCPAxisRect* a = canvas()->axisRect();
        return QPoint(int(std::lround(a->axis(QCPAxis::atBottom)->coordToPixel(fMHz))), a->rect().center().y());
    }
};

}  // namespace

TEST_F(AnalyzerWindow, OpensFromThePlotMenuWithTheOutputPower) {
    start();
    auto* item = qobject_cast<QAction*>(control("menuPlotSpectrumAnalyzer"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Spectrum Analyzer...");
    dialogs.answers.push_back("Calculate & Plot");
    item->trigger();
    ASSERT_EQ(state().appInfo.ClientWindows.size(), 1u);
    QWidget* w = ctx().clientWindows[state().appInfo.ClientWindows[0]].data();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Spectrum Analyzer 1xEV Forward Link (03DEC2001 9:05:03)");

    // The default 30 kHz over every segment of the frame, levels from the output power setting.
    const dsp::CVec x = engine::applyDacRes(state().waveform, 14);
    const double rate = state().SigGenSettings.SamplingRate;
    const plots::PowerSpectrum s = plots::welch(x, rate, plots::welchLength(rate, 30e3), 0);
    EXPECT_EQ(w->findChild<QComboBox*>("analyzerRbw")->currentText(), "30 kHz");
    EXPECT_EQ(w->findChild<QSpinBox*>("analyzerAverages")->value(), int(s.segments));
    EXPECT_EQ(w->findChild<plots::PlotCanvas*>()->axisRect()->axis(QCPAxis::atLeft)->label(), "PSD (dBm/Hz)");
    const plots::ChannelMeasurements m = plots::measureChannel(s, -45, -60);
    const double dBm = plots::powerLevel(m.channelPower, s, plots::LevelUnit::DbmPerHz, state().SigGenSettings.Amplitude);
    EXPECT_EQ(w->findChild<QLabel*>("analyzerChannelPower")->text(), QString::number(dBm, 'f', 2) + " dBm");
    EXPECT_NEAR(dBm, state().SigGenSettings.Amplitude, 0.5);  // nearly all of the power is in the channel
    // The calculated frame meets the emission limits.
    for (const char* tag : {"analyzerLeakage1", "analyzerLeakage2", "analyzerLeakage3", "analyzerLeakage4"})
        EXPECT_THAT(w->findChild<QLabel*>(tag)->text().toStdString(), HasSubstr("PASS")) << tag;
}

TEST_F(AnalyzerWindow, BandwidthAveragingUnitsAndLimits) {
    const dsp::CVec x = frame();
    open(x, 6144000);
    EXPECT_EQ(window->windowTitle(), "Spectrum Analyzer a");
    auto* rbw = in<QComboBox>("analyzerRbw");
    QStringList choices;
    for (int k = 0; k < rbw->count(); ++k) choices << rbw->itemText(k);
    EXPECT_EQ(choices.join(","), "1 kHz,3 kHz,10 kHz,30 kHz,100 kHz,300 kHz,1 MHz");

    // 100 kHz: shorter segments, and still every one of them averaged.
    testsupport::choose(rbw, 5);
    const std::size_t length = plots::welchLength(6144000, 100e3);
    EXPECT_EQ(canvas()->graph(0)->dataCount(), int(length));
    auto* averages = in<QSpinBox>("analyzerAverages");
    EXPECT_EQ(averages->value(), int(plots::welchSegments(x.size(), length)));
    EXPECT_EQ(averages->maximum(), averages->value());

    // Ten averages from the start of the frame, as the estimate of those samples alone.
    testsupport::type(averages->findChild<QLineEdit*>(), "10");
    EXPECT_EQ(averages->value(), 10);
    const plots::PowerSpectrum ten = plots::welch(x, 6144000, length, 10);
    const plots::ChannelMeasurements m = plots::measureChannel(ten, -45, -60);

    // In dB re total power the trace shows the power in one resolution bandwidth.
    testsupport::choose(in<QComboBox>("analyzerUnit"), 2);
    EXPECT_EQ(canvas()->axisRect()->axis(QCPAxis::atLeft)->label(), "Power in RBW (dB re total power)");
    EXPECT_NEAR(canvas()->graph(0)->data()->at(3)->value,
                plots::densityLevel(ten.density[3], ten, plots::LevelUnit::DbReTotal, -30), 1e-9);
    EXPECT_EQ(text("analyzerChannelPower"),
              QString::number(plots::powerLevel(m.channelPower, ten, plots::LevelUnit::DbReTotal, -30), 'f', 2).toStdString() +
                  " dB re total");

    // Back to 30 kHz: the ten averages stay.
    testsupport::choose(rbw, 4);
    EXPECT_EQ(averages->value(), 10);

    // A limit tighter than the measured leakage fails; text that is no number leaves the limit.
    const plots::ChannelMeasurements at30 = plots::measureChannel(
        plots::welch(x, 6144000, plots::welchLength(6144000, 30e3), 10), -45, -60);
    const double leak = at30.leakage[2].dBc;
    EXPECT_THAT(text("analyzerLeakage3"), StartsWith("+750 kHz:  " + QString::number(leak, 'f', 2).toStdString() + " dBc"));
    EXPECT_THAT(text("analyzerLeakage3"), HasSubstr("PASS"));
    auto* nearLimit = in<QLineEdit>("analyzerNearLimit");
    EXPECT_EQ(nearLimit->text(), "-45");
    testsupport::type(nearLimit, QString::number(std::floor(leak) - 1));
    EXPECT_THAT(text("analyzerLeakage3"), HasSubstr("FAIL"));
    EXPECT_THAT(text("analyzerLeakage4"), HasSubstr("PASS"));  // the far limit is its own
    testsupport::type(nearLimit, "abc");
    EXPECT_EQ(nearLimit->text(), QString::number(std::floor(leak) - 1));
    testsupport::type(nearLimit, "-500");
    EXPECT_EQ(nearLimit->text(), "-200");
}

TEST_F(AnalyzerWindow, MarkersFromTheMouse) {
    open(frame(), 6144000);
    plots::PlotCanvas* c = canvas();
    const auto* trace = c->graph(0);

    // Marker 1 where the user clicks, on the nearest point of the trace.
    QTest::mouseClick(c, Qt::LeftButton, {}, pixelAt(0.5));
    EXPECT_THAT(text("analyzerMarkers"), StartsWith("M1  0.50"));

    // Shift+click: the delta marker, read against marker 1.
    QTest::mouseClick(c, Qt::LeftButton, Qt::ShiftModifier, pixelAt(-1.5));
    const QStringList lines = in<QLabel>("analyzerMarkers")->text().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_THAT(lines[1].toStdString(), StartsWith("\u0394  -2.0"));

    // Peak: marker 1 on the highest point of the trace.
    testsupport::press(in<QPushButton>("analyzerPeak"));
    double peakF = 0, peak = -1e300;
    for (auto it = trace->data()->constBegin(); it != trace->data()->constEnd(); ++it)
        if (it->value > peak) peak = it->value, peakF = it->key;
    EXPECT_THAT(text("analyzerMarkers"),
                StartsWith(("M1  " + QString::number(peakF, 'f', 4) + " MHz  " + QString::number(peak, 'f', 2)).toStdString()));

    // A drag is not a click: with zoom on it zooms and leaves the markers where they are.
    const std::string before = text("analyzerMarkers");
    qobject_cast<QAction*>(host::Handles(window)["KV_Zoom"])->trigger();
    testsupport::drag(c, pixelAt(-1), pixelAt(1) + QPoint(0, 40));
    EXPECT_EQ(text("analyzerMarkers"), before);
    EXPECT_NEAR(c->axisRect()->axis(QCPAxis::atBottom)->range().size(), 2, 0.05);

    // Under the mouse: the frequency and level there.
    QTest::mouseMove(c, pixelAt(0.3));
    EXPECT_THAT(window->readout().toStdString(), StartsWith("f = 0.3"));
}

TEST_F(AnalyzerWindow, LowOversamplingCannotReachTheFarOffsets) {
    // Oversampling 3: 3.6864 MHz of spectrum, +-1.84 MHz, short of the 1.98 MHz offsets.
    open(frame(3), 3686400);
    EXPECT_EQ(text("analyzerLeakage1"), "-1.98 MHz:  beyond the sampled band");
    EXPECT_EQ(text("analyzerLeakage4"), "+1.98 MHz:  beyond the sampled band");
    EXPECT_THAT(text("analyzerLeakage2"), HasSubstr("dBc"));
}
