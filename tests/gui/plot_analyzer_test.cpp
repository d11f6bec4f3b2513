// The spectrum analyser window as a test engineer uses it: opened from the Plot menu; centre, span
// and reference level typed; resolution bandwidth, averaging, max hold and units chosen; the
// adjacent-channel table edited; markers placed with the mouse and from their table.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <gmock/gmock.h>

#include "model/calculate.h"
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
    model::Parameters p = model::InitializeParameters();
    p.OverSampling = overSampling;
    dsp::Rng rng(11);
    return engine::applyDacRes(model::Calculate(p, rng).waveform, 14);
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
    QCPRange xRange() { return canvas()->axisRect()->axis(QCPAxis::atBottom)->range(); }
    QCPRange yRange() { return canvas()->axisRect()->axis(QCPAxis::atLeft)->range(); }
    QString at(const char* tableTag, int row, int column) { return in<QTableWidget>(tableTag)->item(row, column)->text(); }
    // Double-clicks the cell, types over what it holds and presses Enter, as a person edits a table.
    void editCell(const char* tableTag, int row, int column, const QString& text) {
        auto* t = in<QTableWidget>(tableTag);
        QApplication::setActiveWindow(window);
        const QPoint centre = t->visualItemRect(t->item(row, column)).center();
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(t->viewport(), Qt::LeftButton, {}, centre);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr) << "no editor in " << tableTag;
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();  // the view takes the text over once Enter is handled
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
    const plots::ChannelMeasurements m = plots::measureChannel(s, plots::kChannelBandwidth, plots::kDefaultAclrRows);
    const double dBm = plots::powerLevel(m.channelPower, s, plots::LevelUnit::DbmPerHz, state().SigGenSettings.Amplitude);
    EXPECT_EQ(w->findChild<QLabel*>("analyzerChannelPower")->text(), QString::number(dBm, 'f', 2) + " dBm");
    EXPECT_NEAR(dBm, state().SigGenSettings.Amplitude, 0.5);  // nearly all of the power is in the channel
    // The calculated frame meets the emission limits at both offsets.
    auto* aclr = w->findChild<QTableWidget*>("analyzerAclr");
    ASSERT_EQ(aclr->rowCount(), 2);
    for (int r = 0; r < 2; ++r) EXPECT_EQ(aclr->item(r, 5)->text(), "PASS") << r;
    EXPECT_EQ(aclr->item(0, 0)->text(), "0.75");
    EXPECT_EQ(aclr->item(1, 0)->text(), "1.98");
    EXPECT_EQ(aclr->item(1, 3)->text(), QString::number(m.aclr[1].lower, 'f', 2));
}

TEST_F(AnalyzerWindow, CentreSpanAndReferenceLevelUpToTheWholeSampledBand) {
    // Oversampling 30: 36.864 MHz sampled, far more than the 5 MHz shown at first.
    const dsp::CVec x = frame(30);
    open(x, 36864000);
    EXPECT_EQ(xRange(), QCPRange(-2.5, 2.5));
    EXPECT_EQ(in<QLineEdit>("analyzerSpan")->text(), "5");
    testsupport::press(in<QPushButton>("analyzerFullSpan"));
    EXPECT_EQ(xRange(), QCPRange(-18.432, 18.432));
    EXPECT_EQ(in<QLineEdit>("analyzerSpan")->text(), "36.864");

    // A band of the user's choosing: 2 MHz around +1 MHz, typed with or without a unit.
    testsupport::type(in<QLineEdit>("analyzerSpan"), "2000 kHz");
    testsupport::type(in<QLineEdit>("analyzerCentre"), "1");
    EXPECT_EQ(xRange(), QCPRange(0, 2));
    EXPECT_EQ(in<QLineEdit>("analyzerSpan")->text(), "2");
    // Beyond the sampled band the view stops at its edge; a span larger than it is all of it.
    testsupport::type(in<QLineEdit>("analyzerCentre"), "30");
    EXPECT_EQ(xRange(), QCPRange(16.432, 18.432));
    testsupport::type(in<QLineEdit>("analyzerSpan"), "100");
    EXPECT_EQ(xRange(), QCPRange(-18.432, 18.432));
    // Text that is no number keeps the value and says why.
    testsupport::type(in<QLineEdit>("analyzerCentre"), "abc");
    EXPECT_EQ(in<QLineEdit>("analyzerCentre")->text(), "0");
    EXPECT_EQ(window->readout(), "Centre: \"abc\" is not a number; kept 0 MHz");

    // The reference level tops the plot, 100 dB below it the bottom; by default the next ten
    // above the highest point.
    const double top = yRange().upper;
    EXPECT_EQ(std::fmod(top, 10), 0);
    double highest = -1e300;
    for (auto it = canvas()->graph(0)->data()->constBegin(); it != canvas()->graph(0)->data()->constEnd(); ++it)
        highest = std::max(highest, it->value);
    EXPECT_GE(top, highest);
    EXPECT_LT(top - 10, highest);
    testsupport::type(in<QLineEdit>("analyzerRefLevel"), "-50 dBm/Hz");
    EXPECT_EQ(yRange(), QCPRange(-150, -50));
    // Zoom Reset goes back to the view the fields set.
    canvas()->axisRect()->axis(QCPAxis::atBottom)->setRange(1, 2);
    qobject_cast<QAction*>(host::Handles(window)["KV_ZoomReset"])->trigger();
    EXPECT_EQ(xRange(), QCPRange(-18.432, 18.432));
    EXPECT_EQ(yRange(), QCPRange(-150, -50));
    // Another unit: the reference level follows the trace again.
    testsupport::choose(in<QComboBox>("analyzerUnit"), 2);
    EXPECT_NE(yRange().upper, -50);
}

TEST_F(AnalyzerWindow, BandwidthAveragingMaxHoldAndUnits) {
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

    // Max hold: a second trace, the loudest of the ten segments in each bin.
    EXPECT_FALSE(canvas()->graph(1)->visible());
    testsupport::press(in<QCheckBox>("analyzerMaxHold"));
    ASSERT_TRUE(canvas()->graph(1)->visible());
    EXPECT_EQ(canvas()->graph(1)->name(), "Max hold");
    const auto held = canvas()->graph(1)->data();
    ASSERT_EQ(held->size(), int(length));
    bool above = true;
    for (int k = 0; k < held->size(); ++k) {
        EXPECT_NEAR(held->at(k)->value, plots::densityLevel(ten.maxHold[std::size_t(k)], ten, plots::LevelUnit::DbmPerHz, -30), 1e-9);
        above = above && held->at(k)->value >= canvas()->graph(0)->data()->at(k)->value - 1e-9;
    }
    EXPECT_TRUE(above);
    // One segment: nothing to hold but itself.
    testsupport::type(averages->findChild<QLineEdit*>(), "1");
    EXPECT_NEAR(canvas()->graph(1)->data()->at(7)->value, canvas()->graph(0)->data()->at(7)->value, 1e-9);
    testsupport::type(averages->findChild<QLineEdit*>(), "10");

    // In dB re total power the trace shows the power in one resolution bandwidth.
    testsupport::choose(in<QComboBox>("analyzerUnit"), 2);
    EXPECT_EQ(canvas()->axisRect()->axis(QCPAxis::atLeft)->label(), "Power in RBW (dB re total power)");
    EXPECT_NEAR(canvas()->graph(0)->data()->at(3)->value,
                plots::densityLevel(ten.density[3], ten, plots::LevelUnit::DbReTotal, -30), 1e-9);
    const plots::ChannelMeasurements m = plots::measureChannel(ten, plots::kChannelBandwidth, plots::kDefaultAclrRows);
    EXPECT_EQ(text("analyzerChannelPower"),
              QString::number(plots::powerLevel(m.channelPower, ten, plots::LevelUnit::DbReTotal, -30), 'f', 2).toStdString() +
                  " dB re total");

    // Back to 30 kHz: the ten averages stay.
    testsupport::choose(rbw, 4);
    EXPECT_EQ(averages->value(), 10);
}

TEST_F(AnalyzerWindow, AdjacentChannelTableWithEditableOffsetsBandwidthsAndLimits) {
    const dsp::CVec x = frame();
    open(x, 6144000);
    const plots::PowerSpectrum s = plots::welch(x, 6144000, plots::welchLength(6144000, 30e3), 0);
    auto expected = [&](std::vector<plots::AclrRow> rows, double channel = plots::kChannelBandwidth) {
        return plots::measureChannel(s, channel, rows).aclr;
    };
    EXPECT_EQ(at("analyzerAclr", 0, 4), QString::number(expected(plots::kDefaultAclrRows)[0].upper, 'f', 2));

    // The first row moved out to 1 MHz and widened to 100 kHz, typed with units.
    editCell("analyzerAclr", 0, 0, "1000 kHz");
    editCell("analyzerAclr", 0, 1, "100");
    std::vector<plots::AclrRow> rows{{1e6, 100e3, -45}, {1.98e6, 30e3, -60}};
    EXPECT_EQ(at("analyzerAclr", 0, 0), "1");
    EXPECT_EQ(at("analyzerAclr", 0, 3), QString::number(expected(rows)[0].lower, 'f', 2));
    EXPECT_EQ(at("analyzerAclr", 0, 4), QString::number(expected(rows)[0].upper, 'f', 2));
    EXPECT_EQ(at("analyzerAclr", 0, 5), "PASS");

    // A limit tighter than the measured leakage fails; text that is no number keeps the limit.
    const double leak = std::max(expected(rows)[0].lower, expected(rows)[0].upper);
    editCell("analyzerAclr", 0, 2, QString::number(std::floor(leak) - 1));
    EXPECT_EQ(at("analyzerAclr", 0, 5), "FAIL");
    EXPECT_EQ(at("analyzerAclr", 1, 5), "PASS");  // the other row keeps its own limit
    editCell("analyzerAclr", 0, 2, "abc");
    EXPECT_EQ(at("analyzerAclr", 0, 2), QString::number(std::floor(leak) - 1));
    EXPECT_EQ(window->readout(), "Limit: \"abc\" is not a number; kept " + QString::number(std::floor(leak) - 1) + " dBc");
    editCell("analyzerAclr", 0, 2, "-500");
    EXPECT_EQ(at("analyzerAclr", 0, 2), "-200");

    // A third row, further out; removed again with the row chosen.
    testsupport::press(in<QPushButton>("analyzerAclrAdd"));
    ASSERT_EQ(in<QTableWidget>("analyzerAclr")->rowCount(), 3);
    EXPECT_EQ(at("analyzerAclr", 2, 0), "2.48");
    EXPECT_EQ(at("analyzerAclr", 2, 1), "30");
    EXPECT_EQ(at("analyzerAclr", 2, 3), QString::number(expected({{2.48e6, 30e3, -60}})[0].lower, 'f', 2));
    QTest::mouseClick(in<QTableWidget>("analyzerAclr")->viewport(), Qt::LeftButton, {},
                      in<QTableWidget>("analyzerAclr")->visualItemRect(in<QTableWidget>("analyzerAclr")->item(1, 5)).center());
    testsupport::press(in<QPushButton>("analyzerAclrRemove"));
    ASSERT_EQ(in<QTableWidget>("analyzerAclr")->rowCount(), 2);
    EXPECT_EQ(at("analyzerAclr", 1, 0), "2.48");

    // The channel bandwidth the ratios refer to.
    testsupport::type(in<QLineEdit>("analyzerChannelBandwidth"), "1 MHz");
    rows = {{1e6, 100e3, -200}, {2.48e6, 30e3, -60}};
    EXPECT_EQ(at("analyzerAclr", 0, 4), QString::number(expected(rows, 1e6)[0].upper, 'f', 2));
}

TEST_F(AnalyzerWindow, MarkersFromTheMouseAndTheirTable) {
    open(frame(), 6144000);
    plots::PlotCanvas* c = canvas();
    const auto* trace = c->graph(0);
    auto* table = in<QTableWidget>("analyzerMarkers");

    // Marker 1 where the user clicks, on the nearest point of the trace.
    QTest::mouseClick(c, Qt::LeftButton, {}, pixelAt(0.5));
    EXPECT_THAT(at("analyzerMarkers", 0, 1).toStdString(), StartsWith("0.50"));
    EXPECT_EQ(in<QComboBox>("analyzerMarkerMode1")->currentText(), "Normal");
    EXPECT_EQ(in<QTableWidget>("analyzerMarkers")->horizontalHeaderItem(2)->text(), "Level (dBm/Hz)");

    // Shift+click: marker 2 as a delta, read against marker 1.
    QTest::mouseClick(c, Qt::LeftButton, Qt::ShiftModifier, pixelAt(-1.5));
    EXPECT_EQ(in<QComboBox>("analyzerMarkerMode2")->currentText(), "Delta");
    EXPECT_THAT(at("analyzerMarkers", 1, 3).toStdString(), StartsWith("-2.0"));
    const double d = at("analyzerMarkers", 1, 2).toDouble() - at("analyzerMarkers", 0, 2).toDouble();
    EXPECT_NEAR(at("analyzerMarkers", 1, 4).toDouble(), d, 0.011);

    // The marker chosen in the table takes the next click; a frequency typed places one.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(2, 2)).center());
    QTest::mouseClick(c, Qt::LeftButton, {}, pixelAt(1.0));
    EXPECT_THAT(at("analyzerMarkers", 2, 1).toStdString(), StartsWith("1.00"));
    editCell("analyzerMarkers", 3, 1, "-500 kHz");
    EXPECT_THAT(at("analyzerMarkers", 3, 1).toStdString(), StartsWith("-0.50"));
    EXPECT_EQ(in<QComboBox>("analyzerMarkerMode4")->currentText(), "Normal");

    // Peak: the chosen marker on the highest point of the trace.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualItemRect(table->item(0, 2)).center());
    testsupport::press(in<QPushButton>("analyzerPeak"));
    double peakF = 0, peak = -1e300;
    for (auto it = trace->data()->constBegin(); it != trace->data()->constEnd(); ++it)
        if (it->value > peak) peak = it->value, peakF = it->key;
    EXPECT_EQ(at("analyzerMarkers", 0, 1), QString::number(peakF, 'f', 4));
    EXPECT_EQ(at("analyzerMarkers", 0, 2), QString::number(peak, 'f', 2));

    // Off: the marker leaves the plot and the table.
    testsupport::choose(in<QComboBox>("analyzerMarkerMode3"), 1);
    EXPECT_EQ(at("analyzerMarkers", 2, 1), "");

    // A drag is not a click: with zoom on it zooms and leaves the markers where they are.
    const QString before = at("analyzerMarkers", 0, 1);
    qobject_cast<QAction*>(host::Handles(window)["KV_Zoom"])->trigger();
    testsupport::drag(c, pixelAt(-1), pixelAt(1) + QPoint(0, 40));
    EXPECT_EQ(at("analyzerMarkers", 0, 1), before);
    EXPECT_NEAR(c->axisRect()->axis(QCPAxis::atBottom)->range().size(), 2, 0.05);

    // Under the mouse: the frequency and level there.
    QTest::mouseMove(c, pixelAt(0.3));
    EXPECT_THAT(window->readout().toStdString(), StartsWith("f = 0.3"));
}

TEST_F(AnalyzerWindow, LowOversamplingCannotReachTheFarOffsets) {
    // Oversampling 3: 3.6864 MHz of spectrum, +-1.84 MHz, short of the 1.98 MHz offsets.
    open(frame(3), 3686400);
    EXPECT_EQ(at("analyzerAclr", 1, 5), "beyond band");
    EXPECT_EQ(in<QTableWidget>("analyzerAclr")->item(1, 5)->toolTip(), "beyond the sampled band");
    EXPECT_EQ(at("analyzerAclr", 1, 3), "\u2014");
    EXPECT_THAT(at("analyzerAclr", 0, 3).toStdString(), testing::Not(testing::HasSubstr("\u2014")));
    // Full span at this rate is all 3.6864 MHz.
    testsupport::press(in<QPushButton>("analyzerFullSpan"));
    EXPECT_EQ(xRange(), QCPRange(-1.8432, 1.8432));
}
