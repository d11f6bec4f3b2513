// The Measure window as a test engineer uses it: the summary and the slot table, a slot chosen
// with the mouse and the keyboard, the code-domain chart, the constellations, the power against
// time and the EVM per slot, what lies under the mouse in the unit chosen, the results exported,
// and the plot windows' menus.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>
#include <gmock/gmock.h>
#include <memory>

#include "app_fixture.h"
#include "host/qt/handles.h"
#include "plots/plot_canvas.h"
#include "plots/plots.h"
#include "plots/core/measure_text.h"

using testing::HasSubstr;
using testing::StartsWith;

namespace {

// Three kinds of slot: 1 with RA and the RPC channel of MAC index 5 and QPSK traffic, 2 idle,
// 3 with 16-QAM; the rest like slot 1.
analyzer::Result analysis() {
    analyzer::Result r;
    r.sampleRate = 6144000;
    r.oversampling = 5;
    r.pnOffset = 100;
    r.frameStartChips = 12.25;
    r.rho = 0.999991;
    r.rhoPilot = 0.999995;
    r.dataSource = 6;
    r.dataBitErrors = 0;
    r.dataBits = 40000;
    r.evmRmsPercent = 0.42;
    r.clockErrorPpm = 12.5;
    r.iqOffsetDbc = -41;
    // Pilot at 0 dB, MAC bursts at -2 dB, traffic at -1 dB; slot 2 idle at -10 dB.
    for (std::size_t m = 0; m < 32768; m += 16) {
        const std::size_t c = m % 1024;
        const bool idle = m / 2048 == 1;
        r.powerDb.push_back(c >= 464 && c < 560 ? 0.0 : idle ? -10.0 : c >= 400 && c < 624 ? -2.0 : -1.0);
    }
    for (std::size_t k = 0; k < r.slotResults.size(); ++k) {
        analyzer::SlotResult& s = r.slotResults[k];
        s.macCodePowerI.fill(-62);
        s.macCodePowerQ.fill(-61);
        s.trafficCodePower.fill(-65);
        s.rho = 0.99999;
        s.evmRmsPercent = 0.5 + 0.1 * double(k);
        s.pilotSymbols = {1.0, {1.01, -0.02}};
        if (k == 1) {
            s.idlePowerDb = -10;
            continue;
        }
        s.macActive = true;
        s.ra = analyzer::ChannelReading{1, -3};
        s.rpc[0] = analyzer::ChannelReading{0, -9};
        s.macCodePowerI[std::size_t(analyzer::macWalshFunction(4))] = -3;
        s.macCodeOnI[std::size_t(analyzer::macWalshFunction(4))] = true;
        s.macCodePowerQ[std::size_t(analyzer::macWalshFunction(5))] = -9;
        s.macCodeOnQ[std::size_t(analyzer::macWalshFunction(5))] = true;
        s.traffic = k == 2 ? analyzer::Modulation::Qam16 : analyzer::Modulation::Qpsk;
        s.trafficPowerDb = 0;
        s.trafficCodePower.fill(-12);
        const dsp::CVec ideal = plots::idealConstellation(s.traffic);
        for (std::size_t n = 0; n < 1600; ++n)
            s.constellation.push_back(ideal[n % ideal.size()] * (1 + 0.02 * std::sin(double(n))));
    }
    return r;
}

class MeasureWindow : public testing::Test {
protected:
    QMainWindow parent;
    plots::PlotWindow* window = nullptr;

    void SetUp() override {
        parent.setGeometry(100, 50, 1000, 800);
        window = plots::KV_PlotMeasure(&parent, "a", analysis());
        window->grab();  // laid out and drawn, as on the screen
        QApplication::setActiveWindow(window);
    }
    void TearDown() override { delete window; }

    template <class W>
    W* in(const char* tag) {
        auto* w = window->findChild<W*>(tag);
        EXPECT_NE(w, nullptr) << tag;
        return w;
    }
    std::string text(const char* tag) { return in<QLabel>(tag)->text().toStdString(); }
    QTableWidget* table() { return in<QTableWidget>("measureSlots"); }
    plots::PlotCanvas* codes() { return in<plots::PlotCanvas>("measureCodeDomain"); }
    plots::PlotCanvas* points() { return in<plots::PlotCanvas>("measureConstellation"); }
    QString codesTitle() { return titleOf(codes()); }
    QString pointsTitle() { return titleOf(points()); }
    static QString titleOf(plots::PlotCanvas* c) {
        for (int k = 0; k < c->itemCount(); ++k)
            if (auto* t = qobject_cast<QCPItemText*>(c->item(k)); t && t->font().bold()) return t->text();
        return {};
    }
    // The bars drawn as "channel on" (or the others), by position.
    std::vector<double> bars(bool on) {
        std::vector<double> keys;
        for (int k = 0; k < codes()->plottableCount(); ++k)
            if (auto* b = qobject_cast<QCPBars*>(codes()->plottable(k)); b && (b->name() == "channel on") == on)
                for (auto it = b->data()->constBegin(); it != b->data()->constEnd(); ++it) keys.push_back(it->key);
        return keys;
    }
    QPoint pixelOfBar(double position) {
        QCPAxisRect* a = codes()->axisRect();
        return {int(std::lround(a->axis(QCPAxis::atBottom)->coordToPixel(position))), a->rect().center().y()};
    }
    QAction* menuItem(const QString& text) {
        for (QAction* item : window->findChildren<QAction*>())
            if (item->text() == text) return item;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        static QAction none;
        return &none;
    }
    // Brings a page of the views below the summary forward, with a click on its tab.
    void showPage(const QString& name) {
        auto* tabs = in<QTabWidget>("measureViews");
        for (int k = 0; k < tabs->count(); ++k)
            if (tabs->tabText(k) == name) {
                QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(k).center());
                window->grab();
                return;
            }
        ADD_FAILURE() << "no page " << name.toStdString();
    }
    static QPoint pixelAt(plots::PlotCanvas* c, double x, double y) {
        QCPAxisRect* a = c->axisRect();
        return {int(std::lround(a->axis(QCPAxis::atBottom)->coordToPixel(x))), int(std::lround(a->axis(QCPAxis::atLeft)->coordToPixel(y)))};
    }
    QPoint cellCentre(int row, int column) {
        return table()->visualRect(table()->model()->index(row, column)).center();
    }
};

}  // namespace

TEST_F(MeasureWindow, SummaryAndTableOfEverySlot) {
    EXPECT_EQ(window->windowTitle(), "Measure a");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(text("measureRho"), "0.999991");
    EXPECT_EQ(text("measurePnOffset"), "100");
    EXPECT_EQ(text("measureDataSource"), "PN15 sequence, 0 bit errors in 40000");
    EXPECT_EQ(text("measureReference"), "IS-95 ACP-optimised, equalizer on");
    // The receiver's own figures beside the quality, in a second column.
    EXPECT_EQ(text("measureClockError"), "12.50 ppm");
    EXPECT_THAT(text("measureIqErrors"), StartsWith("origin offset -41.0 dBc"));
    const auto x = [this](const char* tag) { return window->findChild<QLabel*>(tag)->mapTo(window, QPoint()).x(); };
    EXPECT_GT(x("measureClockError"), x("measureRho") + 100);

    QTableWidget* t = table();
    ASSERT_EQ(t->rowCount(), 16);
    QStringList headings;
    for (int c = 0; c < t->columnCount(); ++c) headings << t->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headings.join("|"), "Slot|MAC|RA|RPC on|Traffic|Traffic (dB)|Idle (dB)|rho|EVM (%)");
    QStringList second;
    for (int c = 0; c < t->columnCount(); ++c) second << t->item(1, c)->text();
    EXPECT_EQ(second.join("|").toStdString(), "2|idle|off|0|idle|\u2014|-10.00|0.999990|0.60");
    EXPECT_EQ(t->item(2, 4)->text(), "16-QAM");
    EXPECT_EQ(t->item(0, 3)->toolTip(), "MAC index 5: bit 0, -9.00 dB");
    // Every slot in sight without scrolling.
    EXPECT_GE(t->viewport()->height(), t->rowViewportPosition(15) + t->rowHeight(15));
}

// A reading with doubts says so in red across the window, above its figures; one without has
// no such line. Other sectors' pilots are listed with the figures.
TEST_F(MeasureWindow, WarningsLeadTheSummaryInRed) {
    EXPECT_EQ(window->findChild<QLabel*>("measureWarnings"), nullptr);
    EXPECT_EQ(window->findChild<QLabel*>("measureOtherPilots"), nullptr);

    analyzer::Result r = analysis();
    r.warnings = {"slots 3, 7 called idle, but the data positions hold power that fits no constellation",
                  "traffic in 14 slots but no data source found: the slot numbering and PN offset are uncertain"};
    r.otherPilots = {{37, -6.04, 2.3}};
    std::unique_ptr<plots::PlotWindow> doubtful(plots::KV_PlotMeasure(&parent, "b", r));
    doubtful->grab();
    auto* warnings = doubtful->findChild<QLabel*>("measureWarnings");
    ASSERT_NE(warnings, nullptr);
    EXPECT_EQ(warnings->text().toStdString(), "Read with doubts:\n" + r.warnings[0] + "\n" + r.warnings[1]);
    EXPECT_THAT(warnings->styleSheet().toStdString(), HasSubstr("#c00000"));
    EXPECT_LT(warnings->mapTo(doubtful.get(), QPoint()).y(),
              doubtful->findChild<QLabel*>("measureRho")->mapTo(doubtful.get(), QPoint()).y());
    EXPECT_EQ(doubtful->findChild<QLabel*>("measureOtherPilots")->text(), "PN 37 at -6.04 dB, delay 2.30 chips");
    if (const char* shot = std::getenv("ZUNO_MEASURE_SHOT")) doubtful->grab().save(shot);
}

TEST_F(MeasureWindow, EachFrameOfALongCaptureInItsOwnView) {
    auto* tabs = in<QTabWidget>("measureViews");
    for (int k = 0; k < tabs->count(); ++k) EXPECT_NE(tabs->tabText(k), "Frames") << "one frame needs no list of frames";

    analyzer::Result r = analysis();
    r.channel.assign(33, {});
    r.channel[16] = 1;
    r.channel[21] = std::polar(0.7, 0.7);
    r.rhoEqualized = 0.99995;
    r.frames = {{12.25, 100, 3.2, 12.4, 0.99999, 0.999995, 0.42, "acquired", {}},
                {32780.5, 100, 3.1, 12.6, 0.99998, 0.999994, 0.45, "kept", {}},
                {65548.75, 0, 0, 0, 0, 0, 0, "none", {"no pilot within +-25 kHz"}}};
    delete window;
    window = plots::KV_PlotMeasure(&parent, "frames", r);
    window->grab();
    EXPECT_THAT(text("measureFrames"), StartsWith("3, the figures averaged"));
    showPage("Frames");
    auto* frames = in<QTableWidget>("measureFrames");
    ASSERT_TRUE(frames->isVisible());
    ASSERT_EQ(frames->rowCount(), 3);
    EXPECT_EQ(frames->item(1, 1)->text(), "32780.500");
    EXPECT_EQ(frames->item(2, 5)->text(), "\u2014");
    EXPECT_EQ(frames->item(2, 8)->toolTip(), "no pilot within +-25 kHz");
    // Arrows walk the frames, as they do the slots.
    QTest::mouseClick(frames->viewport(), Qt::LeftButton, {}, frames->visualItemRect(frames->item(0, 0)).center());
    QTest::keyClick(frames, Qt::Key_Down);
    EXPECT_EQ(frames->currentRow(), 1);
    if (const char* shot = std::getenv("ZUNO_FRAMES_SHOT")) window->grab().save(shot);
}

TEST_F(MeasureWindow, SlotChosenWithMouseAndKeyboard) {
    // Slot 1 first: RA on I, the RPC channel on Q, the 16 traffic codes.
    EXPECT_EQ(codesTitle(), "Code-domain power, slot 1");
    EXPECT_EQ(pointsTitle(), "Traffic, slot 1: QPSK");
    const double ra = analyzer::macWalshFunction(4), rpc = plots::kMacQFirstBar + analyzer::macWalshFunction(5);
    std::vector<double> on{ra, rpc};
    for (int c = 0; c < 16; ++c) on.push_back(plots::kTrafficFirstBar + c);
    EXPECT_EQ(bars(true), on);
    EXPECT_EQ(bars(false).size(), 144 - on.size());

    // The window opens with the keyboard on the table: Down arrow, slot 2, with nothing on and
    // no traffic points.
    testsupport::key(Qt::Key_Down);
    EXPECT_EQ(in<QSpinBox>("measureSlot")->value(), 2);
    EXPECT_EQ(codesTitle(), "Code-domain power, slot 2");
    EXPECT_TRUE(bars(true).empty());
    EXPECT_EQ(pointsTitle(), "Traffic, slot 2: idle");
    EXPECT_EQ(points()->plottable(1)->interface1D()->dataCount(), 0);

    // A click on slot 3's row: its 16-QAM points and the 16 ideal ones.
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, cellCentre(2, 4));
    EXPECT_EQ(in<QSpinBox>("measureSlot")->value(), 3);
    EXPECT_EQ(pointsTitle(), "Traffic, slot 3: 16-QAM");
    EXPECT_EQ(points()->plottable(1)->interface1D()->dataCount(), 1600);
    EXPECT_EQ(points()->plottable(0)->interface1D()->dataCount(), 16);  // the ideal ones, drawn first

    // Tab to the slot box and type a slot: the table follows.
    testsupport::key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), in<QSpinBox>("measureSlot"));
    testsupport::key(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "16");
    testsupport::key(Qt::Key_Return);
    EXPECT_EQ(table()->currentRow(), 15);
    EXPECT_EQ(codesTitle(), "Code-domain power, slot 16");
    // The arrows in the box: up stops at the last slot, down goes one back.
    testsupport::key(Qt::Key_Up);
    EXPECT_EQ(in<QSpinBox>("measureSlot")->value(), 16);
    testsupport::key(Qt::Key_Down);
    EXPECT_EQ(table()->currentRow(), 14);

    // Back in the table, Enter on a slot brings its code channels forward.
    auto* views = in<QTabWidget>("measureViews");
    EXPECT_EQ(views->tabText(views->currentIndex()), "Slots");
    table()->setFocus();
    testsupport::key(Qt::Key_Up);
    testsupport::key(Qt::Key_Return);
    EXPECT_EQ(views->tabText(views->currentIndex()), "Code domain");
    EXPECT_EQ(codesTitle(), "Code-domain power, slot 14");
}

// Power against time: the chip under the mouse, its slot and what it carries, in the unit chosen.
TEST_F(MeasureWindow, PowerAgainstTimeReadsOutInTheChosenUnit) {
    showPage("Power vs time");
    auto* power = in<plots::PlotCanvas>("measurePowerTime");
    QTest::mouseMove(power, pixelAt(power, 2048 + 512, -5));
    EXPECT_THAT(window->readout().toStdString(), StartsWith("t = 25")) << window->readout().toStdString();
    QTest::mouseMove(power, pixelAt(power, 512, -5));
    // A pixel spans some 40 chips: within the pilot burst (chips 464 to 559) either way.
    EXPECT_THAT(window->readout().toStdString(),
                testing::MatchesRegex("t = (4[6-9][0-9]|5[0-5][0-9]) chips, slot 1, Pilot: 0\\.00 dB"));

    // Microseconds, chosen from the keyboard: the axis and the read-out follow.
    auto* unit = in<QComboBox>("measureTimeUnit");
    unit->setFocus();
    testsupport::key(Qt::Key_End);
    EXPECT_EQ(unit->currentText(), "\u00b5s");
    EXPECT_EQ(power->axisRect()->axis(QCPAxis::atBottom)->label(), "Time (\u00b5s)");
    QTest::mouseMove(power, pixelAt(power, 2048.0 / 1.2288 + 10, -5));
    EXPECT_THAT(window->readout().toStdString(), testing::MatchesRegex("t = 16[78][0-9]\\.[0-9]+ µs, slot 2, Idle: -10\\.00 dB"));
    testsupport::key(Qt::Key_Up);
    EXPECT_EQ(unit->currentText(), "slots");
    QTest::mouseMove(power, pixelAt(power, 2.2, -5));
    EXPECT_THAT(window->readout().toStdString(), testing::MatchesRegex("t = 2\\.[0-9]+ slots, slot 3, (Traffic: -1|MAC: -2)\\.00 dB"));
    EXPECT_GT(power->axisRect()->axis(QCPAxis::atBottom)->range().upper, 15.9);
}

TEST_F(MeasureWindow, EvmPerSlotAndThePilotMacAndTrafficConstellations) {
    showPage("EVM per slot");
    auto* evm = in<plots::PlotCanvas>("measureSlotEvm");
    QTest::mouseMove(evm, pixelAt(evm, 3, 0.1));
    EXPECT_EQ(window->readout(), "Slot 3: EVM 0.70 % rms, rho 0.999990");

    showPage("Constellations");
    auto* pilot = in<plots::PlotCanvas>("measurePilotConstellation");
    auto* mac = in<plots::PlotCanvas>("measureMacConstellation");
    EXPECT_EQ(titleOf(pilot), "Pilot, slot 1");
    EXPECT_EQ(titleOf(mac), "MAC, slot 1");
    EXPECT_EQ(pointsTitle(), "Traffic, slot 1: QPSK");
    // The ideal MAC points: RA (bit 1, -3 dB) on I, the RPC channel (bit 0, -9 dB) on Q.
    auto* idealMac = qobject_cast<QCPCurve*>(mac->plottable(0));
    ASSERT_NE(idealMac, nullptr);
    ASSERT_EQ(idealMac->data()->size(), 2);
    EXPECT_NEAR(idealMac->data()->at(0)->key, -std::pow(10, -3 / 20.0), 1e-9);
    EXPECT_NEAR(idealMac->data()->at(1)->value, std::pow(10, -9 / 20.0), 1e-9);
    QTest::mouseMove(pilot, pixelAt(pilot, 1, 0));
    EXPECT_THAT(window->readout().toStdString(), StartsWith("I = 1.0"));
    // The idle slot says so.
    table()->setFocus();
    testsupport::key(Qt::Key_Down);
    EXPECT_EQ(titleOf(mac), "MAC, slot 2: idle");
}

TEST_F(MeasureWindow, ResultsExportedAsCsvAndJson) {
    testsupport::ScriptedDialogs dialogs;
    window->setDialogs(dialogs);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("zuno-export-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    auto slurp = [](const std::filesystem::path& p) {
        std::ostringstream s;
        s << std::ifstream(p).rdbuf();
        return s.str();
    };
    dialogs.files.push_back(host::FileChoice{folder.string() + "/", "m.csv"});
    menuItem("Export Results (CSV/JSON)...")->trigger();
    const std::string csv = slurp(folder / "m.csv");
    EXPECT_THAT(csv, StartsWith("quantity,value\n\"rho (active channels)\",\"0.999991\"\n"));
    EXPECT_THAT(csv, HasSubstr("\n\"Slot\",\"MAC\",\"RA\",\"RPC on\",\"Traffic\",\"Traffic (dB)\",\"Idle (dB)\",\"rho\",\"EVM (%)\"\n"
                                "\"1\",\"active\",\"bit 1, -3.00 dB\",\"1\",\"QPSK\",\"0.00\",\"\u2014\",\"0.999990\",\"0.50\"\n"));
    dialogs.files.push_back(host::FileChoice{folder.string() + "/", "m.json"});
    menuItem("Export Results (CSV/JSON)...")->trigger();
    const auto j = nlohmann::json::parse(slurp(folder / "m.json"));
    EXPECT_EQ(j["rho"].get<double>(), 0.999991);
    EXPECT_EQ(j["slots"][2]["evm_rms_percent"].get<double>(), 0.7);
    // Cancelled: nothing written.
    menuItem("Export Results (CSV/JSON)...")->trigger();
    EXPECT_EQ(dialogs.shown.size(), 3u);
    std::filesystem::remove_all(folder);
}

TEST_F(MeasureWindow, UnderTheMouseTheCodeAndItsChannel) {
    showPage("Code domain");
    const int rpc = plots::kMacQFirstBar + analyzer::macWalshFunction(5);
    QTest::mouseMove(codes(), pixelOfBar(rpc));
    EXPECT_EQ(window->readout(), "MAC Q, Walsh 34 (MAC index 5): -9.00 dB, on, bit 0");
    QTest::mouseMove(codes(), pixelOfBar(plots::kTrafficFirstBar + 3));
    EXPECT_EQ(window->readout(), "Traffic, Walsh 3: -12.00 dB, on");

    showPage("Constellations");
    QCPAxisRect* a = points()->axisRect();
    const QPoint at(int(a->axis(QCPAxis::atBottom)->coordToPixel(0.5)), int(a->axis(QCPAxis::atLeft)->coordToPixel(-1)));
    QTest::mouseMove(points(), at);
    double i = 0, q = 0;
    ASSERT_EQ(std::sscanf(window->readout().toUtf8().constData(), "I = %lf   Q = %lf", &i, &q), 2) << window->readout().toStdString();
    EXPECT_NEAR(i, 0.5, 0.03);
    EXPECT_NEAR(q, -1, 0.03);
    // Off the axes, nothing.
    QTest::mouseMove(points(), QPoint(2, 2));
    EXPECT_EQ(window->readout(), "");
}

TEST_F(MeasureWindow, ZoomSaveAndCloseFromItsMenus) {
    auto* zoom = qobject_cast<QAction*>(host::Handles(window)["KV_Zoom"]);
    ASSERT_NE(zoom, nullptr);
    zoom->trigger();
    showPage("Code domain");
    EXPECT_TRUE(codes()->zoomEnabled());
    EXPECT_TRUE(points()->zoomEnabled());

    // A zoom box over the MAC I codes, then Zoom Reset brings every code back.
    testsupport::drag(codes(), pixelOfBar(2), pixelOfBar(20) + QPoint(0, 30));
    EXPECT_LT(codes()->axisRect()->axis(QCPAxis::atBottom)->range().size(), 30);
    qobject_cast<QAction*>(host::Handles(window)["KV_ZoomReset"])->trigger();
    EXPECT_GT(codes()->axisRect()->axis(QCPAxis::atBottom)->range().size(), 140);

    // The whole window, table included, saved as a PDF.
    testsupport::ScriptedDialogs dialogs;
    window->setDialogs(dialogs);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("zuno-measure-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    dialogs.files.push_back(host::FileChoice{folder.string() + "/", "measure.pdf"});
    menuItem("Save as PDF/SVG/PNG")->trigger();
    EXPECT_TRUE(dialogs.shown.size() == 1 && dialogs.shown[0].kind == "save");
    EXPECT_GT(std::filesystem::file_size(folder / "measure.pdf"), 10000u);
    std::filesystem::remove_all(folder);

    QPointer<plots::PlotWindow> alive(window);
    menuItem("&Close")->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    window = nullptr;
}

TEST_F(MeasureWindow, StaysOnTheScreenBesideAMainWindowAtItsEdge) {
    const QRect area = window->screen()->availableGeometry();
    QMainWindow edge;
    edge.setGeometry(area.right() - 300, area.bottom() - 200, 700, 500);
    std::unique_ptr<plots::PlotWindow> w(plots::KV_PlotMeasure(&edge, "b", analysis()));
    const QRect r = w->frameGeometry();
    EXPECT_TRUE(area.contains(r.topLeft())) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << " in " << area.width() << "x" << area.height();
    EXPECT_TRUE(r.right() <= area.right() || r.left() == area.left());
    EXPECT_TRUE(r.bottom() <= area.bottom() || r.top() == area.top());
}
