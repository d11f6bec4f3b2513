// The Plot menu of the main window: readiness, titles, what reaches the plots, the eye and
// scatter settings dialogs, and the plot windows kept for shutdown.
#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <cmath>
#include <gmock/gmock.h>

#include "app/plot_menu.h"
#include "engine/dac.h"
#include "app_fixture.h"
#include "plots/plot_canvas.h"
#include "plots/plot_window.h"
#include "tests/support/error_text.h"

using testing::HasSubstr;
using testing::StartsWith;
using testsupport::AppTest;
using testsupport::errorOf;

namespace {

class PlotMenuTest : public AppTest {
protected:
    void calculate() { qobject_cast<QAbstractButton*>(control("pbCalculate"))->click(); }
    // The plot window of the n-th entry of appInfo.ClientWindows.
    QWidget* plotWindow(std::size_t n) {
        const auto& ids = state().appInfo.ClientWindows;
        if (n >= ids.size()) return nullptr;
        return ctx().clientWindows[ids[n]].data();
    }
    std::size_t plotCount() const { return application->context().state.appInfo.ClientWindows.size(); }
    // A click on "Plot" in the menu bar, then on the item, as a person chooses it.
    void fromThePlotMenu(const QString& label) {
        QMenuBar* bar = qobject_cast<QMainWindow*>(main)->menuBar();
        QAction* plot = nullptr;
        for (QAction* a : bar->actions())
            if (a->text() == "&Plot") plot = a;
        ASSERT_NE(plot, nullptr);
        QApplication::setActiveWindow(main);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(plot).center());
        QMenu* menu = plot->menu();
        ASSERT_TRUE(menu->isVisible());
        QAction* item = nullptr;
        for (QAction* a : menu->actions())
            if (a->text() == label) item = a;
        ASSERT_NE(item, nullptr) << label.toStdString();
        const QRect place = menu->actionGeometry(item);
        ASSERT_TRUE(item->isVisible() && !place.isEmpty()) << label.toStdString() << " is not in the menu";
        QTest::mouseClick(menu, Qt::LeftButton, {}, place.center());
    }
};

}  // namespace

TEST_F(PlotMenuTest, WaterfallEyeAndScatterDiagramsAreInThePlotMenu) {
    start();
    calculate();
    dialogs.inputs = {std::vector<std::string>{"1", "0"}, std::vector<std::string>{"1", "0"}};
    const std::vector<std::pair<QString, std::string>> items{{"&Waterfall", "Spectrum Waterfall "},
                                                             {"&Eye Diagram", "Eye Diagram "},
                                                             {"S&catter Diagram", "Scatter Diagram "}};
    for (const auto& [label, prefix] : items) {
        fromThePlotMenu(label);
        ASSERT_NE(plotWindow(plotCount() - 1), nullptr) << prefix;
        EXPECT_THAT(plotWindow(plotCount() - 1)->windowTitle().toStdString(), StartsWith(prefix));
    }
    EXPECT_EQ(plotCount(), 3u);
    // "Overlaid", as it is spelt.
    fromThePlotMenu("I(t) Q(t) Overlaid");
    EXPECT_EQ(plotCount(), 4u);
}

TEST_F(PlotMenuTest, EachItemPlotsTheCalculatedWaveformAndKeepsItsWindow) {
    start();

    // Nothing calculated yet: the question, then the calculation (closed by its frame) and the plot.
    trigger("menuPlotSpectrum");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Waveform Not Calculated");
    EXPECT_EQ(dialogs.shown[0].buttons, (std::vector<std::string>{"Calculate & Plot", "Cancel"}));
    ASSERT_EQ(plotCount(), 1u);
    QWidget* spectrum = plotWindow(0);
    ASSERT_NE(spectrum, nullptr);
    // The clock reads 9:05:03.7; the title keeps whole seconds.
    EXPECT_EQ(spectrum->windowTitle(), "Magnitude Spectrum 1xEV Forward Link (03DEC2001 9:05:03)");
    EXPECT_TRUE(spectrum->isVisible());
    const QCPAxisRect* axes = spectrum->findChild<plots::PlotCanvas*>()->axisRect();
    EXPECT_EQ(axes->axis(QCPAxis::atBottom)->label(), "Frequency (MHz)");  // 6144000 samples/s
    EXPECT_DOUBLE_EQ(axes->axis(QCPAxis::atBottom)->range().upper, 3.072);
    EXPECT_EQ(c("main").pointer(), "arrow");

    const std::vector<std::pair<const char*, const char*>> items{{"menuPlotWaterfall", "Spectrum Waterfall "},
                                                                 {"menuPlotIQTime", "I(t) Q(t) "},
                                                                 {"menuPlotIQTimeSameAxes", "I(t) Q(t) "},
                                                                 {"menuPlotCCDF", "CCDF "}};
    for (const auto& [tag, prefix] : items) {
        trigger(tag);
        ASSERT_NE(plotWindow(plotCount() - 1), nullptr) << tag;
        EXPECT_THAT(plotWindow(plotCount() - 1)->windowTitle().toStdString(), StartsWith(prefix)) << tag;
    }
    EXPECT_EQ(plotCount(), 5u);
    EXPECT_EQ(dialogs.shown.size(), 1u);  // the waveform stayed current
    EXPECT_NE(plotWindow(2)->findChild<QCPAxisRect*>("KV_Qwave"), nullptr);
    EXPECT_NE(plotWindow(3)->findChild<QCPAxisRect*>("KV_IQwave"), nullptr);

    // The samples are the waveform at 14-bit resolution, shown against the full scale.
    double peak = 0;
    for (const auto& v : state().waveform) peak = std::max({peak, std::abs(v.real()), std::abs(v.imag())});
    const auto data = plotWindow(3)->findChild<plots::PlotCanvas*>()->graph(0)->data();
    ASSERT_EQ(data->size(), int(state().waveform.size()));
    bool onGrid = true, changed = false;
    for (int k = 0; k < data->size(); k += 97) {
        const double steps = data->at(k)->value * 8191;
        onGrid = onGrid && std::abs(steps - std::round(steps)) < 1e-6;
        changed = changed || std::abs(data->at(k)->value * peak - state().waveform[std::size_t(k)].real()) > 1e-12;
    }
    EXPECT_TRUE(onGrid);
    EXPECT_TRUE(changed);

    // File Exit closes every plot window that is still open.
    QPointer<QWidget> first(plotWindow(0)), last(plotWindow(4));
    first->close();
    trigger("menuFileExit");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(last.isNull());
    EXPECT_TRUE(state().appInfo.ClientWindows.empty());
}

TEST_F(PlotMenuTest, CancelledQuestionsAndDialogsPlotNothing) {
    start();
    dialogs.answers = {"Cancel"};
    trigger("menuPlotCCDF");
    EXPECT_EQ(plotCount(), 0u);
    EXPECT_TRUE(state().appInfo.LastCalcTimeStamp.empty());

    calculate();
    trigger("menuPlotEyeDiagram");  // no answer queued: the dialog was cancelled
    EXPECT_EQ(plotCount(), 0u);
    const auto& eye = dialogs.shown.back();
    EXPECT_EQ(eye.kind, "input");
    EXPECT_EQ(eye.title, "Eye Diagram Configuration");
    EXPECT_EQ(eye.buttons, (std::vector<std::string>{"Enter number of symbols:", "Enter symbol delay (0-1):"}));
    EXPECT_EQ(eye.defaults, (std::vector<std::string>{"1", "0"}));
    trigger("menuPlotScatterDiagram");
    EXPECT_EQ(plotCount(), 0u);
    const auto& scatter = dialogs.shown.back();
    EXPECT_EQ(scatter.title, "Scatter Diagram Configuration");
    EXPECT_EQ(scatter.buttons, (std::vector<std::string>{"Trace On (0|1):", "Enter symbol delay (0-1):"}));
    EXPECT_EQ(scatter.defaults, (std::vector<std::string>{"1", "0"}));

    // An answer that is no number ends in the console, with nothing opened.
    dialogs.inputs = {std::vector<std::string>{"two", "0"}};
    trigger("menuPlotEyeDiagram");
    EXPECT_EQ(plotCount(), 0u);
    EXPECT_THAT(console.str(), HasSubstr("Enter number of symbols:"));
    EXPECT_EQ(c("main").pointer(), "arrow");
}

TEST_F(PlotMenuTest, EyeAndScatterFromTheMenu) {
    start();
    calculate();
    dialogs.inputs = {std::vector<std::string>{"2", "0.5"}, std::vector<std::string>{"1", "1"}};
    trigger("menuPlotEyeDiagram");
    ASSERT_EQ(plotCount(), 1u);
    QWidget* eye = plotWindow(0);
    EXPECT_EQ(eye->windowTitle(), "Eye Diagram 1xEV Forward Link (03DEC2001 9:05:03)");
    // Two symbols of five samples: traces two chips wide.
    const QCPAxisRect* eyeAxes = eye->findChild<QCPAxisRect*>("eyeInPhase");
    EXPECT_NEAR(eyeAxes->axis(QCPAxis::atBottom)->range().lower, -1, 1e-9);
    EXPECT_NEAR(eyeAxes->axis(QCPAxis::atBottom)->range().upper, 1, 1e-9);
    EXPECT_NE(qobject_cast<QCPColorMap*>(eye->findChild<plots::PlotCanvas*>()->plottable(0)), nullptr);

    trigger("menuPlotScatterDiagram");
    ASSERT_EQ(plotCount(), 2u);
    QWidget* scatter = plotWindow(1);
    EXPECT_THAT(scatter->windowTitle().toStdString(), StartsWith("Scatter Diagram 1xEV Forward Link ("));
    // Trace on: the path from the sample after the delay (5 samples, reduced to 4) to the last,
    // through the samples it cannot do without, against the full scale; and one point per symbol.
    auto* canvas = scatter->findChild<plots::PlotCanvas*>();
    ASSERT_EQ(canvas->plottableCount(), 2);
    const dsp::CVec played = engine::applyDacRes(state().waveform, 14);
    double fullScale = 0;
    for (const auto& v : played) fullScale = std::max({fullScale, std::abs(v.real()), std::abs(v.imag())});
    const auto* path = canvas->plottable(0)->interface1D();
    EXPECT_LE(path->dataCount(), int(played.size()) - 4);
    EXPECT_GT(path->dataCount(), int(played.size()) / 20);
    EXPECT_DOUBLE_EQ(path->dataMainKey(0), played[4].real() / fullScale);
    EXPECT_DOUBLE_EQ(path->dataMainValue(path->dataCount() - 1), played.back().imag() / fullScale);
    EXPECT_EQ(canvas->plottable(1)->interface1D()->dataCount(), int(state().waveform.size()) / 5);

    // A frame held at oversampling 1 makes an eye trace one sample long: the Plot Error, and
    // nothing kept. (The frame's own oversampling counts, not the setting's.)
    state().waveformOverSampling = 1;
    dialogs.inputs = {std::vector<std::string>{"1", "0"}};
    trigger("menuPlotEyeDiagram");
    EXPECT_EQ(plotCount(), 2u);
    EXPECT_EQ(dialogs.shown.back().title, "Plot Error");
    EXPECT_EQ(dialogs.shown.back().text, "Unable to Plot Eye Diagram\nN must be an integer greater than 1.");
}

TEST(PlotMenuAnswers, EyeAndScatterSettingsFromTheDialogAnswers) {
    using V = std::vector<std::string>;
    // 163840 samples at oversampling 5 hold 32768 symbols.
    auto eye = [](V a) { return app::eyeRequest(a, 163840, 5); };
    EXPECT_EQ(eye({"1", "0"}).symbols, 1);
    EXPECT_EQ(eye({"2.6", "0"}).symbols, 3);
    EXPECT_EQ(eye({"-4", "0"}).symbols, 1);
    EXPECT_EQ(eye({"1e9", "0"}).symbols, 32768);
    EXPECT_EQ(eye({"1", "0.5"}).delay, 3);  // 2.5 rounds away from zero
    EXPECT_EQ(eye({"1", "7"}).delay, 5);
    EXPECT_EQ(eye({"1", "-1"}).delay, 0);
    EXPECT_EQ(eye({"[3 4]", "0.2"}).symbols, 3);
    EXPECT_THAT(errorOf([&] { eye({"1", ""}); }), HasSubstr("Enter symbol delay (0-1):"));

    auto scatter = [](V a) { return app::scatterRequest(a, 5); };
    EXPECT_EQ(scatter({"5", "2"}).trace, 1);
    EXPECT_EQ(scatter({"5", "2"}).delay, 5);
    EXPECT_EQ(scatter({"-3", "0.5"}).trace, 0);
    EXPECT_EQ(scatter({"-3", "0.5"}).delay, 3);
    EXPECT_EQ(scatter({"0.4", "0"}).trace, 0);
    EXPECT_THAT(errorOf([&] { scatter({"on", "0"}); }), HasSubstr("Trace On (0|1):"));
}
