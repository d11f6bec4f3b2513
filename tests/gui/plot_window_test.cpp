// The plot windows as a user meets them: names, places, menus, the zoom and rotate switches,
// what each window shows, and the eye and scatter diagrams' failures.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <cstdlib>
#include <gmock/gmock.h>
#include <numbers>
#include <optional>
#include <sstream>

#include "model/calculate.h"
#include "engine/dac.h"
#include "host/qt/control.h"
#include "host/qt/handles.h"
#include "app_fixture.h"
#include "plots/core/ccdf.h"
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
    testsupport::ScriptedDialogs dialogs;
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
    // Without a parent: the default place, measured from the bottom of the screen; the CCDF
    // grows from there to make room for its read-outs.
    auto* test = keep(plots::KV_PlotCCDF());
    EXPECT_EQ(test->windowTitle(), "CCDF Test Data");
    EXPECT_TRUE(test->isVisible());
    EXPECT_EQ(test->geometry().topLeft(), QPoint(150, screen.height() - 150 - 340));
    EXPECT_EQ(test->size(), QSize(640, 480));

    // Next to a parent at (100, 50) of 500 x 400: four fifths of its size, moved per kind (the
    // CCDF 10 % of it left and down, the spectrum up 18 % of the parent, the waterfall 20 %).
    parent.setGeometry(100, 50, 500, 400);
    const dsp::CVec x = waveform();
    auto* ccdf = keep(plots::KV_PlotCCDF(&parent, "L1", x));
    EXPECT_EQ(ccdf->windowTitle(), "CCDF L1");
    EXPECT_EQ(ccdf->geometry().topLeft(), QPoint(140, 162));
    auto* spectrum = keep(plots::KV_PlotSpectrum(&parent, "L2", 1e6, x));
    EXPECT_EQ(spectrum->windowTitle(), "Magnitude Spectrum L2");
    EXPECT_EQ(spectrum->geometry(), QRect(150, 58, 400, 320));
    auto* waterfall = keep(plots::KV_PlotWaterfall(&parent, "L3", 1e6, 0, x));
    EXPECT_EQ(waterfall->windowTitle(), "Spectrum Waterfall L3");
    EXPECT_EQ(waterfall->geometry(), QRect(180, 194, 400, 320));
    const QRect besideCcdf(140, 162, 400, 320);
    auto* iq = keep(plots::KV_PlotIQTime(&parent, "L4", 1e6, 0, x));
    EXPECT_EQ(iq->windowTitle(), "I(t) Q(t) L4");
    EXPECT_EQ(iq->geometry(), besideCcdf);
    auto* eye = keep(plots::KV_PlotEyeDiagram(&parent, "L5", x, 8, 1e-6, 0, dialogs));
    EXPECT_EQ(eye->windowTitle(), "Eye Diagram L5");
    EXPECT_EQ(eye->geometry(), besideCcdf);
    auto* scatter = keep(plots::KV_PlotScatterDiagram(&parent, "L6", x, 8, 0, 0, dialogs));
    EXPECT_EQ(scatter->windowTitle(), "Scatter Diagram L6");
    EXPECT_EQ(scatter->geometry(), besideCcdf);
    EXPECT_TRUE(dialogs.shown.empty());

    // Closing deletes the window.
    QPointer<QWidget> gone(ccdf);
    ccdf->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(PlotWindows, MenusAndTheZoomAndRotateSwitches) {
    auto* w = keep(plots::KV_PlotSpectrum(&parent, "menus", 1e6, waveform()));
    EXPECT_EQ(menuOutline(w), "&File:|&Print|Save as PDF/SVG/PNG|---|&Close|&Edit:|&Copy|&Tools:|&Zoom KV_Zoom|"
                              "&Rotate KV_Rotate (off)|---|Zoom Re&set KV_ZoomReset");
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
    EXPECT_EQ(y->label(), "Frequency of occurrence (%)");
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
    // The curve and its reference are named.
    EXPECT_TRUE(c->legend->visible());
    EXPECT_EQ(c->legend->itemCount(), 2);
    EXPECT_EQ(c->graph(0)->name(), "Waveform");
    EXPECT_EQ(c->graph(1)->name(), "Complex Gaussian noise");
    // No marker row: nothing to gate by.
    EXPECT_FALSE(w->findChild<QCheckBox*>("ccdfGate")->isEnabled());

    // The axes sit at the moved-in place: 15.6 % from the left, 15.4 % from the bottom.
    c->replot();
    const QRect inner = a->rect();
    const QSize size = c->size();
    EXPECT_NEAR(inner.left(), 0.156 * size.width(), 1.5);
    EXPECT_NEAR(size.height() - (inner.top() + inner.height()), 0.154 * size.height(), 1.5);
    EXPECT_NEAR(inner.width(), 0.775 * size.width(), 1.5);
    EXPECT_NEAR(inner.height(), 0.815 / 1.1 * size.height(), 1.5);

    // Zoomed in with the wheel, the ticks follow: whole dB and finer instead of every 2 dB.
    qobject_cast<QAction*>(host::Handles(w)["KV_Zoom"])->trigger();
    testsupport::wheel(c, inner.center(), 8);
    ASSERT_LT(x->range().size(), 8);
    x->ticker()->generate(x->range(), QLocale(), 'g', 6, ticks, nullptr, &labels);
    ASSERT_GE(ticks.size(), 2);
    EXPECT_LE(ticks[1] - ticks[0], 1);
    EXPECT_GE(ticks.size(), 5);
}

TEST_F(PlotWindows, CcdfGatedByTheBlankingMarker) {
    // Bursts of noise-like samples with the carrier blanked in between, as idle slots are.
    dsp::CVec x = waveform(4000);
    dsp::Bits gate(x.size(), 1);
    for (std::size_t k = 1000; k < 2000; ++k) x[k] = 0, gate[k] = 0;
    auto* w = keep(plots::KV_PlotCCDF(&parent, "gated", x, gate));
    plots::PlotCanvas* c = canvas(w);
    const double ungated = c->graph(0)->data()->at(0)->value;
    auto* box = w->findChild<QCheckBox*>("ccdfGate");
    ASSERT_TRUE(box->isEnabled());
    EXPECT_EQ(box->text(), "Count only where marker 2 (RF blanking) is high");
    testsupport::press(box);
    ASSERT_TRUE(box->isChecked());
    // Only the bursts count: the same curve as the bursts alone would give.
    const plots::CcdfData bursts = plots::computeCcdf(plots::gatedSamples(x, gate));
    EXPECT_EQ(c->graph(0)->data()->at(0)->value, bursts.Y[0]);
    EXPECT_NE(bursts.Y[0], ungated);
    EXPECT_EQ(c->graph(0)->name(), "Waveform where marker 2 is high");
    testsupport::press(box);
    EXPECT_EQ(c->graph(0)->data()->at(0)->value, ungated);
}

TEST_F(PlotWindows, CcdfReadOutsAndAStoredReference) {
    // A waveform of 4000 samples: too few to tell 0.01 % from nothing.
    const dsp::CVec x = waveform(4000);
    std::optional<plots::CcdfReference> reference;
    auto* first = keep(plots::KV_PlotCCDF(&parent, "first", x, {}, -30, &reference));
    auto* table = first->findChild<QTableWidget*>("ccdfReadouts");
    ASSERT_NE(table, nullptr);
    QStringList columns;
    for (int c = 0; c < table->columnCount(); ++c) columns << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(columns.join(","), "Mean power,Peak power,Crest factor,10 %,1 %,0.1 %,0.01 %");
    auto shown = [](QTableWidget* t, int row) {
        QStringList cells;
        for (int c = 0; c < t->columnCount(); ++c) cells << t->item(row, c)->text();
        return cells.join(" | ").toStdString();
    };
    const plots::CcdfData c = plots::computeCcdf(x);
    auto dB = [](double v, const char* unit = " dB") { return QString::number(v, 'f', 2).toStdString() + unit; };
    // The mean is the output power; the peak lies the crest factor above it.
    EXPECT_EQ(shown(table, 0), "-30.00 dBm | " + dB(-30 + c.crestDb, " dBm") + " | " + dB(c.crestDb) + " | " +
                                   dB(c.aboveMean[0]) + " | " + dB(c.aboveMean[1]) + " | " + dB(c.aboveMean[2]) +
                                   " | \u2014");
    EXPECT_EQ(shown(table, 1), " |  |  |  |  |  | ");
    EXPECT_EQ(first->findChild<QLabel*>("ccdfReferenceName")->text(), "No reference stored");
    EXPECT_EQ(canvas(first)->legend->itemCount(), 2);

    // Stored as the reference with a click; a second waveform, clipped and 10 dB louder, is read
    // against it.
    testsupport::press(first->findChild<QPushButton*>("ccdfStoreReference"));
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(reference->name, "CCDF first");
    dsp::CVec clipped = x;
    for (auto& v : clipped)
        if (std::abs(v) > 0.6) v *= 0.6 / std::abs(v);
    auto* second = keep(plots::KV_PlotCCDF(&parent, "second", clipped, {}, -20, &reference));
    auto* t2 = second->findChild<QTableWidget*>("ccdfReadouts");
    const plots::CcdfData d = plots::computeCcdf(clipped);
    EXPECT_EQ(t2->item(0, 0)->text(), "-20.00 dBm");
    EXPECT_EQ(t2->item(1, 0)->text(), "-30.00 dBm");
    EXPECT_EQ(t2->item(2, 0)->text(), "10.00 dB");
    EXPECT_EQ(t2->item(1, 2)->text().toStdString(), dB(c.crestDb));
    EXPECT_EQ(t2->item(2, 2)->text().toStdString(), dB(d.crestDb - c.crestDb));
    EXPECT_LT(d.crestDb, c.crestDb);
    EXPECT_EQ(second->findChild<QLabel*>("ccdfReferenceName")->text(), "Reference: CCDF first");
    // The reference curve is drawn beside the waveform's and named.
    plots::PlotCanvas* c2 = canvas(second);
    ASSERT_TRUE(c2->graph(2)->visible());
    EXPECT_EQ(c2->graph(2)->name(), "Reference: CCDF first");
    EXPECT_EQ(c2->legend->itemCount(), 3);
    EXPECT_EQ(c2->graph(2)->dataCount(), 201);
    EXPECT_EQ(c2->graph(2)->data()->at(0)->value, c.Y[0]);
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
    EXPECT_EQ(qa->axis(QCPAxis::atBottom)->label(), "Time (ms)");
    EXPECT_EQ(ia->axis(QCPAxis::atLeft)->label(), "Amplitude (DAC full scale = 1)");
    EXPECT_EQ(ia->axis(QCPAxis::atLeft)->range(), QCPRange(-1, 1));
    EXPECT_EQ(ia->axis(QCPAxis::atLeft)->range(), qa->axis(QCPAxis::atLeft)->range());
    EXPECT_NEAR(qa->axis(QCPAxis::atBottom)->range().upper, 26.6667, 1e-4);
    canvas(stacked)->replot();
    EXPECT_LT(ia->rect().bottom(), qa->rect().top());
    // A box dragged over I zooms Q's time axis with it; the wheel over Q zooms I's.
    qobject_cast<QAction*>(host::Handles(stacked)["KV_Zoom"])->trigger();
    const QRect ir = ia->rect();
    testsupport::drag(canvas(stacked), ir.topLeft() + QPoint(ir.width() / 4, 10),
                      ir.bottomLeft() + QPoint(ir.width() / 2, -10));
    const QCPRange zoomed = ia->axis(QCPAxis::atBottom)->range();
    EXPECT_NEAR(zoomed.size(), 26.6667 / 4, 0.5);
    EXPECT_EQ(qa->axis(QCPAxis::atBottom)->range(), zoomed);
    testsupport::wheel(canvas(stacked), qa->rect().center(), -2);
    EXPECT_GT(ia->axis(QCPAxis::atBottom)->range().size(), zoomed.size());
    EXPECT_EQ(ia->axis(QCPAxis::atBottom)->range(), qa->axis(QCPAxis::atBottom)->range());

    // Overlaid: one axes, Q in magenta over I.
    auto* overlaid = keep(plots::KV_PlotIQTime(&parent, "o", 6144000, 1, x));
    ASSERT_NE(axes(overlaid, "KV_IQwave"), nullptr);
    EXPECT_EQ(axes(overlaid, "KV_Iwave"), nullptr);
    ASSERT_EQ(canvas(overlaid)->graphCount(), 2);
    EXPECT_EQ(canvas(overlaid)->graph(1)->pen().color(), QColor(Qt::magenta));
    EXPECT_TRUE(canvas(overlaid)->legend->visible());
    EXPECT_EQ(canvas(overlaid)->graph(0)->name(), "I(t)");
    EXPECT_EQ(canvas(overlaid)->graph(1)->name(), "Q(t)");

    // Nothing to show: the test signal, named so.
    auto* none = keep(plots::KV_PlotIQTime(&parent, "ignored", 0, 1, {}));
    EXPECT_EQ(none->windowTitle(), "I(t) Q(t) No Data");
    EXPECT_EQ(canvas(none)->graph(0)->dataCount(), 100);
}

TEST_F(PlotWindows, EyeAndScatterDiagrams) {
    dsp::CVec x = waveform(400);
    // One chip of 8 samples per trace; an offset past the trace length is reduced to n - 1.
    auto* eye = keep(plots::KV_PlotEyeDiagram(&parent, "e", x, 8, 1 / 1228800.0, 20, dialogs));
    ASSERT_NE(eye, nullptr);
    QCPAxisRect* ei = axes(eye, "eyeInPhase");
    QCPAxisRect* eq = axes(eye, "eyeQuadrature");
    ASSERT_TRUE(ei && eq);
    EXPECT_NEAR(ei->axis(QCPAxis::atBottom)->range().lower, -0.5, 1e-9);
    EXPECT_NEAR(ei->axis(QCPAxis::atBottom)->range().upper, 0.5, 1e-9);
    EXPECT_EQ(ei->axis(QCPAxis::atBottom)->label(), "Time (chips)");
    EXPECT_EQ(ei->axis(QCPAxis::atLeft)->label(), "Amplitude (DAC full scale = 1)");
    // A persistence picture: the first trace starts at sample 7, so its cell at the left edge
    // is hit, and the picture is no solid block.
    auto* map = qobject_cast<QCPColorMap*>(canvas(eye)->plottable(0));
    ASSERT_NE(map, nullptr);
    int column = 0, row = 0;
    double fullScale = 0;
    for (const auto& v : x) fullScale = std::max({fullScale, std::abs(v.real()), std::abs(v.imag())});
    map->data()->coordToCell(-0.499, x[7].real() / fullScale, &column, &row);
    EXPECT_GT(map->data()->cell(column, row), 0);
    int empty = 0;
    for (int r = 0; r < map->data()->valueSize(); ++r) empty += map->data()->cell(column, r) == 0;
    EXPECT_GT(empty, map->data()->valueSize() / 2);
    EXPECT_NE(host::Handles(eye).find("KV_Zoom"), nullptr);
    // Period 0 counts as 1 second.
    auto* slow = keep(plots::KV_PlotEyeDiagram(&parent, "e", x, 8, 0, 0, dialogs));
    EXPECT_NEAR(axes(slow, "eyeInPhase")->axis(QCPAxis::atBottom)->range().upper, 614400, 1e-6);

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
    // From sample 3 (offset 9 reduced to 3) to the last, through the samples it cannot do without.
    EXPECT_LE(path->dataCount(), 400 - 3);
    EXPECT_GT(path->dataCount(), 100);
    EXPECT_DOUBLE_EQ(path->data()->at(0)->key, x[3].real() / fullScale);
    EXPECT_DOUBLE_EQ(path->data()->at(path->dataCount() - 1)->value, x.back().imag() / fullScale);
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

TEST_F(PlotWindows, WaterfallTurnsByDraggingBesideItsSpectrogram) {
    auto* w = keep(plots::KV_PlotWaterfall(&parent, "w", 1e6, 40e-6, waveform()));
    auto* view = w->findChild<plots::WaterfallView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->data().n, 40u);
    EXPECT_EQ(view->data().m, 100u);
    EXPECT_EQ(view->xLabel(), "Frequency (MHz)");
    EXPECT_EQ(view->yLabel(), "Time (ms)");
    EXPECT_EQ(view->zLabel(), "LogMag (dB)");
    EXPECT_EQ(view->title(), "Spectrum");
    // The standard menu bar, not the plot menus.
    EXPECT_EQ(host::Handles(w).find("KV_Zoom"), nullptr);
    EXPECT_EQ(menuOutline(w), "&File:|&Print...|Save as PDF/SVG/PNG|---|&Close|&Edit:|&Copy Figure|&Tools:|"
                              "&Zoom waterfallZoom|&Rotate 3D waterfallRotate|Reset &View waterfallResetView");

    testsupport::drag(view, QPoint(100, 100), QPoint(140, 90));
    EXPECT_NE(view->azimuth(), plots::WaterfallView::kAzimuth);
    EXPECT_NE(view->elevation(), plots::WaterfallView::kElevation);
    qobject_cast<QAction*>(host::Handles(w)["waterfallResetView"])->trigger();
    EXPECT_EQ(view->azimuth(), plots::WaterfallView::kAzimuth);
    qobject_cast<QAction*>(host::Handles(w)["waterfallRotate"])->trigger();
    EXPECT_FALSE(view->rotateEnabled());
    testsupport::drag(view, QPoint(100, 100), QPoint(160, 100));
    EXPECT_EQ(view->azimuth(), plots::WaterfallView::kAzimuth);

    // The same slices as a colour map beside it: frequency across, time running down.
    auto* tabs = w->findChild<QTabWidget*>("waterfallViews");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), "3-D Waterfall");
    EXPECT_EQ(tabs->tabText(1), "Spectrogram");
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    ASSERT_EQ(tabs->currentIndex(), 1);
    auto* map = w->findChild<plots::PlotCanvas*>("spectrogram");
    ASSERT_NE(map, nullptr);
    auto* cells = qobject_cast<QCPColorMap*>(map->plottable(0));
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->data()->keySize(), 40);
    EXPECT_EQ(cells->data()->valueSize(), 100);
    EXPECT_EQ(cells->data()->cell(7, 3), std::clamp(view->data().at(3, 7), view->data().mMin, view->data().mMax));
    EXPECT_NE(cells->colorScale(), nullptr);
    EXPECT_EQ(cells->colorScale()->axis()->label(), "LogMag (dB)");
    QCPAxisRect* a = map->axisRect();
    EXPECT_TRUE(a->axis(QCPAxis::atLeft)->rangeReversed());
    EXPECT_EQ(a->axis(QCPAxis::atLeft)->label(), "Time (ms)");
    EXPECT_EQ(a->axis(QCPAxis::atBottom)->label(), "Frequency (MHz)");

    // A single slice still gets a time axis to stand on.
    auto* one = keep(plots::KV_PlotWaterfall(&parent, "one", 1e6, 1, waveform(100)));
    auto* oneView = one->findChild<plots::WaterfallView*>();
    EXPECT_EQ(oneView->data().m, 1u);
    EXPECT_LT(oneView->yMin(), oneView->yMax());
}

TEST_F(PlotWindows, WaterfallZoomsByBoxAndWheelAndSaysWhatIsUnderTheMouse) {
    auto* w = keep(plots::KV_PlotWaterfall(&parent, "z", 1e6, 100e-6, waveform(20000)));
    auto* view = w->findChild<plots::WaterfallView*>();
    view->grab();
    const double fSpan = view->xMax() - view->xMin(), tSpan = view->yMax() - view->yMin();

    // Over a slice the line under the window names its frequency, time and level.
    std::optional<plots::WaterfallView::Pick> hit;
    QPoint at;
    for (int y = view->height() / 3; y < view->height() && !hit; y += 2)
        if ((hit = view->pick(QPointF(view->width() / 2, y)))) at = QPoint(view->width() / 2, y);
    ASSERT_TRUE(hit);
    QTest::mouseMove(view, at);
    EXPECT_EQ(w->readout(), QString("f = %1 MHz   t = %2 ms   %3 dB")
                                .arg(hit->f, 0, 'f', 4)
                                .arg(hit->t, 0, 'g', 5)
                                .arg(hit->level, 0, 'f', 1));
    EXPECT_EQ(hit->level, view->data().at(hit->slice, hit->bin));
    QTest::mouseMove(view, QPoint(2, 2));
    EXPECT_EQ(w->readout(), "");

    // Zoom off: the wheel does nothing. On: it zooms around the point under the mouse, and a
    // dragged box zooms to the frequencies and times it covers.
    testsupport::wheel(view, at, 3);
    EXPECT_EQ(view->xMax() - view->xMin(), fSpan);
    qobject_cast<QAction*>(host::Handles(w)["waterfallZoom"])->trigger();
    EXPECT_TRUE(view->zoomEnabled());
    EXPECT_FALSE(view->rotateEnabled());
    EXPECT_FALSE(qobject_cast<QAction*>(host::Handles(w)["waterfallRotate"])->isChecked());
    testsupport::wheel(view, at, 3);
    EXPECT_NEAR(view->xMax() - view->xMin(), fSpan * 0.512, fSpan * 0.01);
    EXPECT_NEAR(view->yMax() - view->yMin(), tSpan * 0.512, tSpan * 0.03);
    EXPECT_LE(view->xMin(), hit->f);
    EXPECT_GE(view->xMax(), hit->f);
    QTest::mouseDClick(view, Qt::LeftButton, {}, at);
    EXPECT_EQ(view->xMax() - view->xMin(), fSpan);

    const double azimuth = view->azimuth();
    view->grab();
    testsupport::drag(view, at - QPoint(40, 10), at + QPoint(40, 10));
    EXPECT_EQ(view->azimuth(), azimuth);  // the drag drew a box, it did not turn the view
    EXPECT_LT(view->xMax() - view->xMin(), 0.6 * fSpan);
    EXPECT_LT(view->yMax() - view->yMin(), tSpan);
    EXPECT_GE(view->xMin(), view->data().fMin);
    qobject_cast<QAction*>(host::Handles(w)["waterfallResetView"])->trigger();
    EXPECT_EQ(view->xMax() - view->xMin(), fSpan);
    EXPECT_EQ(view->yMax() - view->yMin(), tSpan);

    // The spectrogram zooms the same way and reads out its cell.
    auto* tabs = w->findChild<QTabWidget*>("waterfallViews");
    tabs->setCurrentIndex(1);
    auto* map = w->findChild<plots::PlotCanvas*>("spectrogram");
    EXPECT_TRUE(map->zoomEnabled());
    map->replot();
    const QRect inner = map->axisRect()->rect();
    QTest::mouseMove(map, inner.center());
    EXPECT_TRUE(w->readout().startsWith("f = ")) << w->readout().toStdString();
    testsupport::wheel(map, inner.center(), 2);
    EXPECT_LT(map->axisRect()->axis(QCPAxis::atBottom)->range().size(), view->data().fMax - view->data().fMin);
}

TEST_F(PlotWindows, WaterfallTextsStayClearOfEachOtherAndInsideTheWindow) {
    dsp::Rng rng(3);
    const dsp::CVec x = engine::applyDacRes(model::Calculate(model::InitializeParameters(), rng).waveform, 14);
    auto* w = keep(plots::KV_PlotWaterfall(&parent, "t", 6144000, (x.size() / 6144000.0) / 200, x));
    auto* view = w->findChild<plots::WaterfallView*>();
    for (QSize size : {QSize(800, 600), QSize(300, 240)})
        for (auto [az, el] : {std::pair{-37.5, 30.0}, {30.0, 20.0}, {130.0, 45.0}, {-120.0, 60.0}}) {
            SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " az " << az << " el " << el);
            view->resize(size);
            view->setView(az, el);
            view->grab();
            const auto& b = view->textBoxes();
            const QRectF inside = QRectF(view->rect()).adjusted(-0.5, -0.5, 0.5, 0.5);
            std::vector<QRectF> floorTicks = b.ticks[0];
            floorTicks.insert(floorTicks.end(), b.ticks[1].begin(), b.ticks[1].end());
            for (int axis : {0, 1}) {
                EXPECT_FALSE(b.labels[axis].isEmpty()) << axis;
                for (const QRectF& t : floorTicks) EXPECT_FALSE(b.labels[axis].intersects(t)) << axis;
            }
            for (const auto& ticks : b.ticks)
                for (const QRectF& t : ticks) EXPECT_TRUE(inside.contains(t));
            for (const QRectF& l : b.labels) EXPECT_TRUE(inside.contains(l));
        }
}

namespace {

// What a PDF file holds: its content streams inflated, and how many pictures it embeds.
struct PdfContent {
    QByteArray drawing;
    int images = 0;
};

PdfContent readPdf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray pdf = f.readAll();
    PdfContent c;
    c.images = int(pdf.count("/Subtype /Image"));
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at + 1)) {
        if (at >= 3 && pdf.mid(at - 3, 3) == "end") continue;
        const qsizetype from = at + 7, to = pdf.indexOf("endstream", from);
        const QByteArray raw = pdf.mid(from, to - from);
        // qUncompress wants the zlib stream behind a big-endian size hint; it grows past a small one.
        QByteArray hinted(4, '\0');
        hinted[2] = 1;
        const QByteArray inflated = qUncompress(hinted + raw);
        c.drawing += inflated.isEmpty() ? raw : inflated;
    }
    return c;
}

// The window printed to a PDF file instead of a printer.
PdfContent printed(plots::PlotWindow* w, const QString& path) {
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    w->printTo(printer);
    return readPdf(path);
}

// Drawing operators of a PDF content stream: line segments ("x y l") and strokes.
int lineSegments(const QByteArray& drawing) { return int(drawing.count(" l\n")); }

QAction* menuItem(QMainWindow* w, const QString& text) {
    for (QAction* top : w->menuBar()->actions())
        for (QAction* item : top->menu()->actions())
            if (item->text() == text) return item;
    return nullptr;
}

}  // namespace

TEST_F(PlotWindows, PrintAndSaveAreVectorDrawings) {
    dsp::Rng rng(3);
    const dsp::CVec x = engine::applyDacRes(model::Calculate(model::InitializeParameters(), rng).waveform, 14);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    auto* s = keep(plots::KV_PlotSpectrum(&parent, "v", 6144000, x));
    s->setDialogs(dialogs);

    // Save as PDF: the trace as thousands of line segments, no picture of the screen.
    dialogs.files.push_back(host::FileChoice{folder, "spectrum.pdf"});
    menuItem(s, "Save as PDF/SVG/PNG")->trigger();
    ASSERT_EQ(dialogs.shown.back().kind, "save");
    EXPECT_EQ(dialogs.shown.back().text, "*.pdf *.svg *.png");
    const PdfContent pdf = readPdf(dir.filePath("spectrum.pdf"));
    EXPECT_EQ(pdf.images, 0);
    EXPECT_GT(lineSegments(pdf.drawing), 1000);
    // No line drawn at the device's thinnest width, which vanishes on a fine printer.
    EXPECT_FALSE(pdf.drawing.contains("\n0 w "));

    // Printing goes the same way onto the page.
    const PdfContent paper = printed(s, dir.filePath("printed.pdf"));
    EXPECT_EQ(paper.images, 0);
    EXPECT_GT(lineSegments(paper.drawing), 1000);

    // SVG keeps paths too; PNG is a picture of twice the window's pixels.
    dialogs.files.push_back(host::FileChoice{folder, "spectrum.svg"});
    menuItem(s, "Save as PDF/SVG/PNG")->trigger();
    QFile svg(dir.filePath("spectrum.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray svgText = svg.readAll();
    EXPECT_TRUE(svgText.contains("<path") || svgText.contains("<polyline"));
    EXPECT_FALSE(svgText.contains("<image"));
    dialogs.files.push_back(host::FileChoice{folder, "spectrum.png"});
    menuItem(s, "Save as PDF/SVG/PNG")->trigger();
    EXPECT_EQ(QImage(dir.filePath("spectrum.png")).size(), s->centralWidget()->size() * 2);

    // The waterfall's software drawing also prints as lines, none of them of zero width.
    auto* wf = keep(plots::KV_PlotWaterfall(&parent, "v", 6144000, (x.size() / 6144000.0) / 200, x));
    const PdfContent waterfall = printed(wf, dir.filePath("waterfall.pdf"));
    EXPECT_EQ(waterfall.images, 0);
    EXPECT_GT(lineSegments(waterfall.drawing), 10000);
    EXPECT_FALSE(waterfall.drawing.contains("\n0 w "));

    // A name it cannot write, or of another kind: the reason in the error dialog, nothing written.
    dialogs.files.push_back(host::FileChoice{folder + "missing/", "spectrum.pdf"});
    menuItem(s, "Save as PDF/SVG/PNG")->trigger();
    EXPECT_EQ(dialogs.shown.back().kind, "error");
    EXPECT_EQ(dialogs.shown.back().title, "Plot Error");
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("Cannot write"));
    dialogs.files.push_back(host::FileChoice{folder, "spectrum.jpg"});
    menuItem(s, "Save as PDF/SVG/PNG")->trigger();
    EXPECT_THAT(dialogs.shown.back().text, HasSubstr("must end in .pdf, .svg or .png"));
    EXPECT_FALSE(QFile::exists(dir.filePath("spectrum.jpg")));
}

TEST_F(PlotWindows, SmallWindowsKeepTheirAxisLabelsInside) {
    const dsp::CVec x = waveform(4000);
    for (QMainWindow* w : std::initializer_list<QMainWindow*>{keep(plots::KV_PlotCCDF(&parent, "small", x)),
                                                             keep(plots::KV_PlotIQTime(&parent, "small", 1e6, 0, x)),
                                                             keep(plots::KV_PlotSpectrum(&parent, "small", 1e6, x))}) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        w->resize(260, 200);
        plots::PlotCanvas* c = canvas(w);
        c->replot();
        for (QCPAxisRect* a : c->axisRects()) {
            // The left margin holds the widest tick label and the rotated axis label.
            QCPAxis* y = a->axis(QCPAxis::atLeft);
            QVector<double> ticks;
            QVector<QString> labels;
            y->ticker()->generate(y->range(), c->locale(), y->numberFormat().at(0).toLatin1(), y->numberPrecision(), ticks,
                                  nullptr, &labels);
            int widest = 0;
            for (const QString& l : labels) widest = std::max(widest, QFontMetrics(y->tickLabelFont()).horizontalAdvance(l));
            const int labelHeight = y->label().isEmpty() ? 0 : QFontMetrics(y->labelFont()).height();
            EXPECT_GE(a->rect().left(), widest + labelHeight + y->tickLabelPadding()) << y->label().toStdString();
            // The bottom margin holds the tick labels and the x axis label.
            QCPAxis* xa = a->axis(QCPAxis::atBottom);
            const int below = QFontMetrics(xa->tickLabelFont()).height() +
                              (xa->label().isEmpty() ? 0 : QFontMetrics(xa->labelFont()).height());
            EXPECT_LE(a->rect().bottom() + below, c->height());
        }
    }
}

TEST_F(PlotWindows, EveryPlotDrawsSomething) {
    // A calculated frame with the default settings (oversampling 5), as the menu passes it.
    dsp::Rng rng(3);
    const dsp::CVec x = engine::applyDacRes(model::Calculate(model::InitializeParameters(), rng).waveform, 14);
    const QColor blue(0, 0, 255);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotCCDF(&parent, "(ccdf)", x)), blue), 200);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotCCDF(&parent, "(ccdfgrey)", x)), QColor::fromRgbF(0.7, 0.7, 0.7), 10), 50);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotSpectrum(&parent, "(spectrum)", 6144000, x)), blue), 200);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotIQTime(&parent, "(iq)", 6144000, 0, x)), blue), 500);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotIQTime(&parent, "(iqoverlay)", 6144000, 1, x)), QColor(Qt::magenta)), 500);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotEyeDiagram(&parent, "(eye)", x, 10, 2 / 1228800.0, 3, dialogs)), blue), 500);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotScatterDiagram(&parent, "(scatter)", x, 5, 0, 1, dialogs)), QColor(0, 255, 255)),
              200);
    EXPECT_GT(pixelsLike(keep(plots::KV_PlotSpectrumAnalyzer(&parent, "(analyzer)", 6144000, -30, x, dialogs)), blue), 200);
    // The waterfall: many coloured slice lines on white; its spectrogram: colour everywhere.
    auto* waterfall = keep(plots::KV_PlotWaterfall(&parent, "(waterfall)", 6144000, (x.size() / 6144000.0) / 200, x));
    auto saturated = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x0 = 0; x0 < img.width(); ++x0) n += img.pixelColor(x0, y).hsvSaturationF() > 0.5;
        return n;
    };
    EXPECT_GT(saturated(shot(waterfall)), 2000);
    waterfall->findChild<QTabWidget*>("waterfallViews")->setCurrentIndex(1);
    waterfall->setWindowTitle(waterfall->windowTitle() + " spectrogram");
    const QImage map = shot(waterfall);
    EXPECT_GT(saturated(map), map.width() * map.height() / 3);
}
