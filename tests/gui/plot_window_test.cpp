// The plot windows as a user meets them: names, places, menus, the zoom and rotate switches,
// what each window shows, and the eye and scatter diagrams' failures.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <gmock/gmock.h>
#include <numbers>
#include <sstream>

#include "app/core/calculate.h"
#include "engine/dac.h"
#include "host/qt/control.h"
#include "host/qt/dialogs.h"
#include "host/qt/handles.h"
#include "plots/drawing_components.h"
#include "plots/plot_canvas.h"
#include "plots/plots.h"
#include "plots/waterfall_view.h"

using testing::HasSubstr;

namespace {

// A QPSK-like waveform with a little of everything: n samples, complex, peak 1.
dsp::CVec waveform(std::size_t n = 4000) {
    dsp::CVec x(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double a = 2 * std::numbers::pi * double(k) / 40.0;
        x[k] = {0.7 * std::cos(a) + 0.2 * std::cos(7.3 * a), 0.6 * std::sin(a) - 0.3 * std::sin(2.1 * a)};
    }
    return x;
}

class PlotWindows : public testing::Test {
protected:
    host::ScriptedDialogs dialogs;
    QMainWindow parent;
    std::vector<QPointer<QWidget>> opened;

    void SetUp() override { parent.setGeometry(100, 50, 1000, 800); }
    void TearDown() override {
        for (auto& w : opened) delete w.data();
    }
    template <class W>
    W* keep(W* w) {
        opened.emplace_back(w);
        return w;
    }
    static QCPAxisRect* axes(QWidget* w, const char* tag) { return w->findChild<QCPAxisRect*>(tag); }
    static plots::PlotCanvas* canvas(QWidget* w) { return w->findChild<plots::PlotCanvas*>(); }
    static QString menuOutline(QMainWindow* w) {
        QStringList out;
        for (QAction* top : w->menuBar()->actions()) {
            out << top->text() + ":";
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator()) {
                    out << "---";
                    continue;
                }
                QString line = a->text();
                if (!a->objectName().isEmpty()) line += " " + a->objectName();
                if (!a->isEnabled()) line += " (off)";
                out << line;
            }
        }
        return out.join("|");
    }
    static QImage shot(QWidget* w) {
        const QImage img = qobject_cast<plots::PlotWindow*>(w)->image().convertToFormat(QImage::Format_RGB32);
        if (const char* dir = std::getenv("ZUNO_PLOT_SHOTS"))
            img.save(QString(dir) + "/" + w->windowTitle().replace(QRegularExpression("[^A-Za-z0-9]+"), "_") + ".png");
        return img;
    }
    // Pixels of the plot area that match: a grey within `tolerance`, or a colour's hue (lines
    // are smoothed, so their pixels blend into the background).
    static int pixelsLike(QWidget* w, QColor c, int tolerance = -1) {
        const QImage img = shot(w);
        int count = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor p = img.pixelColor(x, y);
                if (tolerance >= 0)
                    count += std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                                 std::abs(p.blue() - c.blue()) <=
                             tolerance;
                else
                    count += p.hsvSaturationF() > 0.3 && std::abs(p.hsvHue() - c.hsvHue()) < 15;
            }
        return count;
    }
};

}  // namespace

TEST_F(PlotWindows, NamesAndPlaces) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // Without a parent: the default place, measured from the bottom of the screen.
    auto* test = keep(plots::KV_PlotCCDF());
    EXPECT_EQ(test->windowTitle(), "CCDF Test Data");
    EXPECT_TRUE(test->isVisible());
    EXPECT_EQ(test->geometry(), QRect(150, screen.height() - 150 - 340, 340, 340));

    // Next to a parent at (100, 50) of 1000 x 800: four fifths of its size, moved per kind.
    const dsp::CVec x = waveform();
    auto* ccdf = keep(plots::KV_PlotCCDF(&parent, "L1", x));
    EXPECT_EQ(ccdf->windowTitle(), "CCDF L1");
    EXPECT_EQ(ccdf->geometry(), QRect(180, 274, 800, 640));
    auto* spectrum = keep(plots::KV_PlotSpectrum(&parent, "L2", 1e6, x));
    EXPECT_EQ(spectrum->windowTitle(), "Magnitude Spectrum L2");
    EXPECT_EQ(spectrum->geometry(), QRect(200, 66, 800, 640));
    auto* waterfall = keep(plots::KV_PlotWaterfall(&parent, "L3", 1e6, 0, x));
    EXPECT_EQ(waterfall->windowTitle(), "Spectrum Waterfall L3");
    EXPECT_EQ(waterfall->geometry(), QRect(260, 338, 800, 640));
    auto* iq = keep(plots::KV_PlotIQTime(&parent, "L4", 1e6, 0, x));
    EXPECT_EQ(iq->windowTitle(), "I(t) Q(t) L4");
    EXPECT_EQ(iq->geometry(), QRect(180, 274, 800, 640));
    auto* eye = keep(plots::KV_PlotEyeDiagram(&parent, "L5", x, 8, 1e-6, 0, dialogs));
    EXPECT_EQ(eye->windowTitle(), "Eye Diagram L5");
    EXPECT_EQ(eye->geometry(), QRect(180, 274, 800, 640));
    auto* scatter = keep(plots::KV_PlotScatterDiagram(&parent, "L6", x, 8, 0, 0, dialogs));
    EXPECT_EQ(scatter->windowTitle(), "Scatter Diagram L6");
    EXPECT_EQ(scatter->geometry(), QRect(180, 274, 800, 640));
    EXPECT_TRUE(dialogs.shown.empty());

    // Closing deletes the window.
    QPointer<QWidget> gone(ccdf);
    ccdf->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(PlotWindows, MenusAndTheZoomAndRotateSwitches) {
    auto* w = keep(plots::KV_PlotSpectrum(&parent, "menus", 1e6, waveform()));
    EXPECT_EQ(menuOutline(w), "&File:|&Print|---|&Close|&Edit:|&Copy|&Tools:|&Zoom KV_Zoom|&Rotate KV_Rotate (off)|---|"
                              "Zoom Re&set KV_ZoomReset");
    const host::Handles h(w);
    auto* zoom = qobject_cast<QAction*>(h["KV_Zoom"]);
    plots::PlotCanvas* c = canvas(w);

    zoom->trigger();
    EXPECT_TRUE(zoom->isChecked());
    EXPECT_TRUE(w->zoomOn());
    EXPECT_TRUE(c->zoomEnabled());
    EXPECT_EQ(c->selectionRectMode(), QCP::srmZoom);
    zoom->trigger();  // twice: off again
    EXPECT_FALSE(zoom->isChecked());
    EXPECT_FALSE(c->zoomEnabled());
    EXPECT_EQ(c->selectionRectMode(), QCP::srmNone);

    // Rotate (its item is disabled, the switch still works) and zoom exclude each other.
    plots::KV_Rotate(w);
    EXPECT_TRUE(host::ctl(h["KV_Rotate"]).checked());
    EXPECT_TRUE(w->rotateOn());
    plots::KV_Zoom(w);
    EXPECT_TRUE(w->zoomOn());
    EXPECT_FALSE(w->rotateOn());
    EXPECT_FALSE(host::ctl(h["KV_Rotate"]).checked());
    plots::KV_Rotate(w);
    EXPECT_FALSE(w->zoomOn());
    EXPECT_FALSE(zoom->isChecked());
    plots::KV_Rotate(w);
    EXPECT_FALSE(w->rotateOn());
    EXPECT_FALSE(w->zoomOn());

    // Zoom Reset goes back to the ranges the plot was drawn with.
    QCPAxisRect* a = c->axisRect();
    const QCPRange x = a->axis(QCPAxis::atBottom)->range(), y = a->axis(QCPAxis::atLeft)->range();
    a->axis(QCPAxis::atBottom)->setRange(0.1, 0.2);
    a->axis(QCPAxis::atLeft)->setRange(-5, -4);
    qobject_cast<QAction*>(h["KV_ZoomReset"])->trigger();
    EXPECT_EQ(a->axis(QCPAxis::atBottom)->range(), x);
    EXPECT_EQ(a->axis(QCPAxis::atLeft)->range(), y);

    // Copy puts the plot on the clipboard as a picture.
    QGuiApplication::clipboard()->clear();
    for (QAction* top : w->menuBar()->actions())
        for (QAction* item : top->menu()->actions())
            if (item->text() == "&Copy") item->trigger();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), w->centralWidget()->size() * w->devicePixelRatio());

    // Close from the File menu.
    QPointer<QWidget> gone(w);
    for (QAction* item : w->menuBar()->actions().front()->menu()->actions())
        if (item->text() == "&Close") item->trigger();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(PlotWindows, CcdfWindow) {
    auto* w = keep(plots::KV_PlotCCDF(&parent, "x", waveform()));
    QCPAxisRect* a = axes(w, "KV_CCDF");
    ASSERT_NE(a, nullptr);
    QCPAxis* x = a->axis(QCPAxis::atBottom);
    QCPAxis* y = a->axis(QCPAxis::atLeft);
    EXPECT_EQ(x->label(), "dB above Average");
    EXPECT_EQ(y->label(), "Frequency of occurence (%)");
    EXPECT_EQ(y->scaleType(), QCPAxis::stLogarithmic);
    EXPECT_EQ(x->range(), QCPRange(0, 20));
    EXPECT_EQ(y->range().upper, 100);
    EXPECT_LE(y->range().lower, 0.001);
    EXPECT_TRUE(x->grid()->visible());
    EXPECT_TRUE(y->grid()->visible());
    EXPECT_EQ(x->grid()->pen().style(), Qt::DotLine);
    auto* c = canvas(w);
    EXPECT_EQ(qobject_cast<QCPItemText*>(c->item(0))->text(), "CCDF");
    // Ticks every 2 dB.
    QVector<double> ticks;
    QVector<QString> labels;
    x->ticker()->generate(x->range(), QLocale(), 'g', 6, ticks, nullptr, &labels);
    EXPECT_EQ(ticks.front(), 0);
    EXPECT_EQ(ticks[1], 2);
    EXPECT_EQ(ticks.back(), 20);

    // The axes sit at the moved-in place: 15.6 % from the left, 15.4 % from the bottom.
    c->replot();
    const QRect inner = a->rect();
    const QSize size = c->size();
    EXPECT_NEAR(inner.left(), 0.156 * size.width(), 1.5);
    EXPECT_NEAR(size.height() - (inner.top() + inner.height()), 0.154 * size.height(), 1.5);
    EXPECT_NEAR(inner.width(), 0.775 * size.width(), 1.5);
    EXPECT_NEAR(inner.height(), 0.815 / 1.1 * size.height(), 1.5);
}

TEST_F(PlotWindows, SpectrumAndIqWindows) {
    const dsp::CVec x = waveform(163840);
    auto* s = keep(plots::KV_PlotSpectrum(&parent, "s", 6144000, x));
    QCPAxisRect* sa = canvas(s)->axisRect();
    EXPECT_EQ(sa->axis(QCPAxis::atBottom)->label(), "Frequency (MHz)");
    EXPECT_EQ(sa->axis(QCPAxis::atLeft)->label(), "LogMag (dB)");
    EXPECT_EQ(sa->axis(QCPAxis::atBottom)->range(), QCPRange(-3.072, 3.072));
    EXPECT_EQ(sa->axis(QCPAxis::atLeft)->range().upper, 0);
    EXPECT_GE(sa->axis(QCPAxis::atLeft)->range().lower, -100);
    EXPECT_EQ(canvas(s)->graph(0)->dataCount(), 163840);

    // Stacked: I above Q, both over the same symmetric range, the time label only below.
    auto* stacked = keep(plots::KV_PlotIQTime(&parent, "t", 6144000, 0, x));
    QCPAxisRect* ia = axes(stacked, "KV_Iwave");
    QCPAxisRect* qa = axes(stacked, "KV_Qwave");
    ASSERT_TRUE(ia && qa);
    EXPECT_EQ(ia->axis(QCPAxis::atBottom)->label(), "");
    EXPECT_EQ(qa->axis(QCPAxis::atBottom)->label(), "Time (mS)");
    EXPECT_EQ(ia->axis(QCPAxis::atLeft)->label(), "Amplitude (V)");
    EXPECT_EQ(ia->axis(QCPAxis::atLeft)->range(), qa->axis(QCPAxis::atLeft)->range());
    EXPECT_NEAR(qa->axis(QCPAxis::atBottom)->range().upper, 26.6667, 1e-4);
    canvas(stacked)->replot();
    EXPECT_LT(ia->rect().bottom(), qa->rect().top());

    // Overlaid: one axes, Q in magenta over I.
    auto* overlaid = keep(plots::KV_PlotIQTime(&parent, "o", 6144000, 1, x));
    ASSERT_NE(axes(overlaid, "KV_IQwave"), nullptr);
    EXPECT_EQ(axes(overlaid, "KV_Iwave"), nullptr);
    ASSERT_EQ(canvas(overlaid)->graphCount(), 2);
    EXPECT_EQ(canvas(overlaid)->graph(1)->pen().color(), QColor(Qt::magenta));

    // Nothing to show: the test signal, named so.
    auto* none = keep(plots::KV_PlotIQTime(&parent, "ignored", 0, 1, {}));
    EXPECT_EQ(none->windowTitle(), "I(t) Q(t) No Data");
    EXPECT_EQ(canvas(none)->graph(0)->dataCount(), 100);
}

TEST_F(PlotWindows, EyeAndScatterDiagrams) {
    dsp::CVec x = waveform(400);
    // An offset past the trace length is reduced to n - 1; period 0 counts as 1.
    auto* eye = keep(plots::KV_PlotEyeDiagram(&parent, "e", x, 8, 0, 20, dialogs));
    ASSERT_NE(eye, nullptr);
    QCPAxisRect* ei = axes(eye, "eyeInPhase");
    QCPAxisRect* eq = axes(eye, "eyeQuadrature");
    ASSERT_TRUE(ei && eq);
    EXPECT_EQ(ei->axis(QCPAxis::atBottom)->range(), QCPRange(-0.5, 0.5));
    EXPECT_EQ(ei->axis(QCPAxis::atBottom)->label(), "Time");
    EXPECT_EQ(ei->axis(QCPAxis::atLeft)->label(), "Amplitude");
    auto* traces = qobject_cast<QCPCurve*>(canvas(eye)->plottable(0));
    ASSERT_NE(traces, nullptr);
    EXPECT_EQ(traces->data()->at(0)->value, x[7].real());
    EXPECT_EQ(traces->pen().color(), QColor(0, 0, 255));
    EXPECT_NE(host::Handles(eye).find("KV_Zoom"), nullptr);

    // One sample per trace cannot make an eye: the dialog says why, no window is left.
    const int windowsBefore = int(QApplication::topLevelWidgets().size());
    EXPECT_EQ(plots::KV_PlotEyeDiagram(&parent, "e", x, 1, 1, 0, dialogs), nullptr);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "error");
    EXPECT_EQ(dialogs.shown[0].title, "Plot Error");
    EXPECT_EQ(dialogs.shown[0].text, "Unable to Plot Eye Diagram\nN must be an integer greater than 1.");
    EXPECT_EQ(plots::KV_PlotScatterDiagram(&parent, "s", {}, 4, 0, 1, dialogs), nullptr);
    EXPECT_EQ(dialogs.shown.back().title, "Plot Error");
    EXPECT_EQ(dialogs.shown.back().text, "Unable to Plot Scatter Diagram\nInput variable X is empty.");
    EXPECT_EQ(int(QApplication::topLevelWidgets().size()), windowsBefore);

    // Trace on: a cyan path through every sample under blue symbol points.
    auto* traced = keep(plots::KV_PlotScatterDiagram(&parent, "s", x, 4, 9, 1, dialogs));
    ASSERT_NE(traced, nullptr);
    plots::PlotCanvas* c = canvas(traced);
    ASSERT_EQ(c->plottableCount(), 2);
    auto* path = qobject_cast<QCPCurve*>(c->plottable(0));
    auto* points = qobject_cast<QCPCurve*>(c->plottable(1));
    EXPECT_EQ(path->pen().color(), QColor(0, 255, 255));
    EXPECT_EQ(path->lineStyle(), QCPCurve::lsLine);
    EXPECT_EQ(path->dataCount(), 400 - 3);  // offset 9 reduced to 3
    EXPECT_EQ(points->lineStyle(), QCPCurve::lsNone);
    EXPECT_EQ(points->scatterStyle().shape(), QCPScatterStyle::ssDisc);
    EXPECT_EQ(points->scatterStyle().pen().color(), QColor(0, 0, 255));
    EXPECT_EQ(points->dataCount(), 100);
    QCPAxisRect* a = c->axisRect();
    EXPECT_EQ(a->axis(QCPAxis::atBottom)->label(), "In-Phase");
    EXPECT_EQ(a->axis(QCPAxis::atLeft)->label(), "Quadrature");
    EXPECT_EQ(a->axis(QCPAxis::atBottom)->range(), a->axis(QCPAxis::atLeft)->range());
    c->replot();
    EXPECT_NEAR(a->rect().width(), a->rect().height(), 1);

    auto* plain = keep(plots::KV_PlotScatterDiagram(&parent, "s", x, 4, 0, 0, dialogs));
    EXPECT_EQ(canvas(plain)->plottableCount(), 1);
    EXPECT_THROW(plots::scatterplot(x, 4, 0, "q"), std::invalid_argument);
}

TEST_F(PlotWindows, WaterfallTurnsByDragging) {
    auto* w = keep(plots::KV_PlotWaterfall(&parent, "w", 1e6, 40e-6, waveform()));
    auto* view = w->findChild<plots::WaterfallView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->data().n, 40u);
    EXPECT_EQ(view->data().m, 100u);
    EXPECT_EQ(view->xLabel(), "Frequency (MHz)");
    EXPECT_EQ(view->yLabel(), "Time (mS)");
    EXPECT_EQ(view->zLabel(), "LogMag (dB)");
    EXPECT_EQ(view->title(), "Spectrum");
    // The standard menu bar, not the plot menus.
    EXPECT_EQ(host::Handles(w).find("KV_Zoom"), nullptr);

    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(view, QPoint(140, 90));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(140, 90));
    EXPECT_NE(view->azimuth(), plots::WaterfallView::kAzimuth);
    EXPECT_NE(view->elevation(), plots::WaterfallView::kElevation);
    qobject_cast<QAction*>(host::Handles(w)["waterfallResetView"])->trigger();
    EXPECT_EQ(view->azimuth(), plots::WaterfallView::kAzimuth);
    qobject_cast<QAction*>(host::Handles(w)["waterfallRotate"])->trigger();
    EXPECT_FALSE(view->rotateEnabled());
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(view, QPoint(160, 100));
    EXPECT_EQ(view->azimuth(), plots::WaterfallView::kAzimuth);

    // A single slice still gets a time axis to stand on.
    auto* one = keep(plots::KV_PlotWaterfall(&parent, "one", 1e6, 1, waveform(100)));
    auto* oneView = one->findChild<plots::WaterfallView*>();
    EXPECT_EQ(oneView->data().m, 1u);
    EXPECT_LT(oneView->yMin(), oneView->yMax());
}

TEST_F(PlotWindows, EveryPlotDrawsSomething) {
    // A calculated frame with the default settings (oversampling 5), as the menu passes it.
    dsp::Rng rng(3);
    const dsp::CVec x = engine::applyDacRes(app::Calculate(app::InitializeParameters(), rng).waveform, 14);
    const QColor blue(0, 0, 255);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotCCDF(&parent, "(ccdf)", x)), blue), 200);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotCCDF(&parent, "(ccdfgrey)", x)), QColor::fromRgbF(0.7, 0.7, 0.7), 10), 50);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotSpectrum(&parent, "(spectrum)", 6144000, x)), blue), 200);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotIQTime(&parent, "(iq)", 6144000, 0, x)), blue), 500);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotIQTime(&parent, "(iqoverlay)", 6144000, 1, x)), QColor(Qt::magenta)), 500);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotEyeDiagram(&parent, "(eye)", x, 10, 10 / 6144000.0, 3, dialogs)), blue), 500);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotScatterDiagram(&parent, "(scatter)", x, 5, 0, 1, dialogs)), QColor(0, 255, 255)),
              200);
    // The waterfall: many coloured slice lines on white.
    auto* waterfall = keep(plots::KV_PlotWaterfall(&parent, "(waterfall)", 6144000, (x.size() / 6144000.0) / 200, x));
    const QImage img = shot(waterfall);
    int coloured = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x0 = 0; x0 < img.width(); ++x0)
            coloured += img.pixelColor(x0, y).hsvSaturationF() > 0.5;
    EXPECT_GT(coloured, 2000);
}
