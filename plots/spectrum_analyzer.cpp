#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "host/core/number_text.h"
#include "plots/core/channel_measurements.h"
#include "plots/core/spectrum.h"
#include "plots/core/units.h"
#include "plots/core/welch.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

constexpr std::array<double, 7> kBandwidths{1e3, 3e3, 10e3, 30e3, 100e3, 300e3, 1e6};
constexpr double kDefaultBandwidth = 30e3;
constexpr double kShownSpan = 5e6;

QString kiloOrMega(double hz) {
    return std::abs(hz) >= 1e6 ? QString::number(hz / 1e6, 'g', 6) + " MHz" : QString::number(hz / 1e3, 'g', 6) + " kHz";
}

QString signedOffset(double hz) { return (hz > 0 ? "+" : "") + kiloOrMega(hz); }

// A translucent band across the whole height of the axes, from f0 to f1.
void shadeBand(QCustomPlot* plot, QCPAxisRect* axes, double f0, double f1, const QColor& colour) {
    auto* band = new QCPItemRect(plot);
    for (QCPItemPosition* p : {band->topLeft, band->bottomRight}) {
        p->setAxes(xAxisOf(axes), yAxisOf(axes));
        p->setAxisRect(axes);
        p->setTypeX(QCPItemPosition::ptPlotCoords);
        p->setTypeY(QCPItemPosition::ptAxisRectRatio);
    }
    band->topLeft->setCoords(f0, 0);
    band->bottomRight->setCoords(f1, 1);
    band->setPen(Qt::NoPen);
    band->setBrush(colour);
    band->setLayer("background");
}

// The window's state: the waveform, the estimate at the chosen settings, its measurements and
// the two markers; it redraws what a change of each setting affects.
class Analyzer : public QObject {
public:
    Analyzer(PlotWindow* window, PlotCanvas* canvas, double rate, double outputDbm, dsp::CVec x)
        : QObject(window), window_(window), canvas_(canvas), rate_(rate), outputDbm_(outputDbm), x_(std::move(x)),
          units_(DetermineFrequencyUnits(rate)) {
        axes_ = canvas_->addAxes(placeAxes(kDefaultAxes), "analyzerAxes");
        trace_ = canvas_->addLine(axes_, {}, {}, kLineColour);
        canvas_->setTitle(axes_, "Power Spectrum");
        setGrids(axes_, true);
        auto unitsOf = [&](double hz) { return hz / units_.factor; };
        shadeBand(canvas_, axes_, unitsOf(-kChannelBandwidth / 2), unitsOf(kChannelBandwidth / 2), QColor(0, 160, 0, 28));
        for (double offset : kLeakageOffsets)
            shadeBand(canvas_, axes_, unitsOf(offset - kLeakageBandwidth / 2), unitsOf(offset + kLeakageBandwidth / 2),
                      QColor(230, 120, 0, 90));
        for (std::size_t j = 0; j < markers_.size(); ++j) {
            markers_[j].dot = new QCPItemTracer(canvas_);
            markers_[j].dot->setStyle(j == 0 ? QCPItemTracer::tsCircle : QCPItemTracer::tsSquare);
            markers_[j].dot->setPen(QPen(Qt::red, 1.5));
            markers_[j].dot->setSize(9);
            markers_[j].dot->setVisible(false);
            markers_[j].tag = new QCPItemText(canvas_);
            markers_[j].tag->position->setParentAnchor(markers_[j].dot->position);
            markers_[j].tag->position->setCoords(0, -12);
            markers_[j].tag->setText(j == 0 ? "1" : "\u0394");
            markers_[j].tag->setColor(Qt::red);
            markers_[j].tag->setVisible(false);
        }
    }

    QWidget* controls() {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        rbw_ = new QComboBox;
        rbw_->setObjectName("analyzerRbw");
        for (double b : kBandwidths) rbw_->addItem(kiloOrMega(b), b);
        rbw_->setCurrentIndex(int(std::find(kBandwidths.begin(), kBandwidths.end(), kDefaultBandwidth) - kBandwidths.begin()));
        averages_ = new QSpinBox;
        averages_->setObjectName("analyzerAverages");
        averages_->setToolTip("Segments averaged, from the start of the frame");
        averages_->setRange(1, 1);  // all of them, once the first estimate knows how many
        unit_ = new QComboBox;
        unit_->setObjectName("analyzerUnit");
        unit_->addItems({"dBm/Hz", "dB re total power"});
        auto* peak = new QPushButton("Peak");
        peak->setObjectName("analyzerPeak");
        peak->setToolTip("Marker 1 to the highest point");
        h->addWidget(new QLabel("RBW"));
        h->addWidget(rbw_);
        h->addSpacing(12);
        h->addWidget(new QLabel("Averages"));
        h->addWidget(averages_);
        h->addSpacing(12);
        h->addWidget(new QLabel("Units"));
        h->addWidget(unit_);
        h->addSpacing(12);
        h->addWidget(peak);
        h->addStretch(1);
        connect(rbw_, &QComboBox::activated, this, [this] { estimate(true); });
        connect(averages_, &QSpinBox::valueChanged, this, [this] { estimate(false); });
        connect(unit_, &QComboBox::activated, this, [this] { redraw(); });
        connect(peak, &QPushButton::clicked, this, [this] {
            if (!levels_.empty()) setMarker(0, std::size_t(std::max_element(levels_.begin(), levels_.end()) - levels_.begin()));
        });
        return row;
    }

    QWidget* readouts() {
        auto* panel = new QWidget;
        auto* g = new QGridLayout(panel);
        g->setContentsMargins(0, 0, 0, 0);
        int row = 0;
        auto heading = [&](const QString& text) {
            auto* l = new QLabel("<b>" + text + "</b>");
            g->addWidget(l, row++, 0, 1, 2);
        };
        auto value = [&](const char* tag) {
            auto* l = new QLabel;
            l->setObjectName(tag);
            l->setTextInteractionFlags(Qt::TextSelectableByMouse);
            g->addWidget(l, row++, 0, 1, 2);
            return l;
        };
        heading("Channel power (" + kiloOrMega(kChannelBandwidth) + ")");
        channel_ = value("analyzerChannelPower");
        heading("Occupied bandwidth (99 %)");
        occupied_ = value("analyzerOccupiedBandwidth");
        heading("Adjacent-channel leakage in " + kiloOrMega(kLeakageBandwidth));
        for (std::size_t j = 0; j < leakage_.size(); ++j)
            leakage_[j] = value(("analyzerLeakage" + std::to_string(j + 1)).c_str());
        auto limit = [&](const QString& text, const char* tag, double initial) {
            g->addWidget(new QLabel(text), row, 0);
            auto* e = new QLineEdit(QString::fromStdString(host::numberText(initial)));
            e->setObjectName(tag);
            e->setMaximumWidth(70);
            g->addWidget(e, row++, 1);
            connect(e, &QLineEdit::editingFinished, this, [this] { measure(); });
            return e;
        };
        nearLimit_ = limit("Limit at \u00b1750 kHz (dBc)", "analyzerNearLimit", -45);
        farLimit_ = limit("Limit at \u00b11.98 MHz (dBc)", "analyzerFarLimit", -60);
        heading("Markers");
        markerText_ = value("analyzerMarkers");
        markerText_->setText("Click: marker 1; Shift+click: delta marker");
        panel->setMinimumWidth(250);
        return panel;
    }

    // A new estimate after a change of resolution bandwidth or averaging.
    void estimate(bool bandwidthChanged) {
        const std::size_t length = welchLength(rate_, rbw_->currentData().toDouble());
        const std::size_t most = welchSegments(x_.size(), length);
        if (bandwidthChanged) {
            // Still all segments when all were averaged before.
            const bool all = averages_->value() >= averages_->maximum();
            const QSignalBlocker quiet(averages_);
            averages_->setRange(1, int(most));
            if (all || averages_->value() > int(most)) averages_->setValue(int(most));
        }
        spectrum_ = welch(x_, rate_, length, std::size_t(averages_->value()));
        freq_.resize(spectrum_.freq.size());
        for (std::size_t k = 0; k < freq_.size(); ++k) freq_[k] = spectrum_.freq[k] / units_.factor;
        redraw();
    }

    // The trace in the chosen unit.
    void redraw() {
        const LevelUnit unit = this->unit();
        levels_.resize(spectrum_.density.size());
        for (std::size_t k = 0; k < levels_.size(); ++k)
            levels_[k] = densityLevel(spectrum_.density[k], spectrum_, unit, outputDbm_);
        trace_->setData(QVector<double>(freq_.begin(), freq_.end()), QVector<double>(levels_.begin(), levels_.end()), true);
        double lo = 0, hi = 0;
        if (!levels_.empty()) {
            const auto [a, b] = std::minmax_element(levels_.begin(), levels_.end());
            decadeLimits(*a, *b, lo, hi);
        }
        setLabels(axes_, QString::fromStdString("Frequency (" + units_.text + ")"),
                  unit == LevelUnit::DbmPerHz ? "PSD (dBm/Hz)" : "Power in RBW (dB re total power)");
        // The channel and the bands the emission limits name, as an analyser's span would
        // show them; zooming out shows the rest.
        const double half = std::min(rate_ / 2, kShownSpan / 2) / units_.factor;
        setLimits(axes_, -half, half, lo, hi);
        canvas_->rememberHome();
        showMarkers();
        measure();
        canvas_->replot();
    }

    // The read-outs, after a new estimate or new limits.
    void measure() {
        const double nearLimit = readLimit(nearLimit_, -45), farLimit = readLimit(farLimit_, -60);
        const ChannelMeasurements m = measureChannel(spectrum_, nearLimit, farLimit);
        const bool dBm = unit() == LevelUnit::DbmPerHz;
        channel_->setText(QString::number(powerLevel(m.channelPower, spectrum_, unit(), outputDbm_), 'f', 2) +
                          (dBm ? " dBm" : " dB re total"));
        occupied_->setText(QString::number(m.occupied.width() / 1e6, 'f', 4) + " MHz");
        for (std::size_t j = 0; j < leakage_.size(); ++j) {
            const Leakage& l = m.leakage[j];
            QString text = signedOffset(l.offset) + ":  ";
            if (std::isnan(l.dBc)) {
                text += "beyond the sampled band";
                leakage_[j]->setStyleSheet("color: grey");
            } else {
                text += QString::number(l.dBc, 'f', 2) + " dBc  " + (l.pass ? "PASS" : "FAIL");
                leakage_[j]->setStyleSheet(l.pass ? "color: darkgreen" : "color: red; font-weight: bold");
            }
            leakage_[j]->setText(text);
        }
    }

    // Marker 1 on a click, the delta marker on Shift+click, at the bin nearest the mouse.
    void click(QMouseEvent* e) {
        if (!axes_->rect().contains(e->position().toPoint()) || freq_.empty()) return;
        setMarker(e->modifiers() & Qt::ShiftModifier ? 1 : 0, binAt(e->position().x()));
    }

    void hover(QMouseEvent* e) {
        if (!axes_->rect().contains(e->position().toPoint()) || freq_.empty()) {
            window_->showReadout({});
            return;
        }
        const std::size_t k = binAt(e->position().x());
        window_->showReadout(readoutText(freq_[k], QString::fromStdString(units_.text), NAN, {}, levels_[k], unitText()));
    }

private:
    struct Marker {
        QCPItemTracer* dot = nullptr;
        QCPItemText* tag = nullptr;
        std::optional<double> f;  // display units
    };

    LevelUnit unit() const { return unit_->currentIndex() == 0 ? LevelUnit::DbmPerHz : LevelUnit::DbReTotal; }
    QString unitText() const { return unit() == LevelUnit::DbmPerHz ? "dBm/Hz" : "dB"; }

    // The field's number within 0..-200 dBc; anything else leaves the limit as it was.
    static double readLimit(QLineEdit* e, double fallback) {
        const std::vector<double> v = host::textToNumbers(e->text().toStdString());
        const double previous = e->property("limit").isValid() ? e->property("limit").toDouble() : fallback;
        const double limit = v.size() == 1 && std::isfinite(v[0]) ? std::clamp(v[0], -200.0, 0.0) : previous;
        e->setProperty("limit", limit);
        e->setText(QString::fromStdString(host::numberText(limit)));
        return limit;
    }

    std::size_t binAt(double pixel) const {
        const double f = xAxisOf(axes_)->pixelToCoord(pixel);
        const auto it = std::lower_bound(freq_.begin(), freq_.end(), f);
        std::size_t k = std::min<std::size_t>(it - freq_.begin(), freq_.size() - 1);
        if (k > 0 && f - freq_[k - 1] < freq_[k] - f) --k;
        return k;
    }

    void setMarker(std::size_t which, std::size_t bin) {
        markers_[which].f = freq_[bin];
        showMarkers();
        canvas_->replot();
    }

    void showMarkers() {
        QStringList lines;
        std::array<double, 2> level{NAN, NAN};
        for (std::size_t j = 0; j < markers_.size(); ++j) {
            Marker& m = markers_[j];
            m.dot->setVisible(m.f.has_value());
            m.tag->setVisible(m.f.has_value());
            // A tracer on the trace before there is one to follow only complains.
            m.dot->setGraph(m.f && !freq_.empty() ? trace_ : nullptr);
            if (!m.f || freq_.empty()) continue;
            m.dot->setGraphKey(*m.f);
            const auto it = std::lower_bound(freq_.begin(), freq_.end(), *m.f - 1e-12);
            level[j] = levels_[std::min<std::size_t>(it - freq_.begin(), levels_.size() - 1)];
        }
        const QString fUnits = QString::fromStdString(units_.text);
        if (markers_[0].f)
            lines << "M1  " + QString::number(*markers_[0].f, 'f', 4) + " " + fUnits + "  " +
                         QString::number(level[0], 'f', 2) + " " + unitText();
        if (markers_[1].f) {
            const double from = markers_[0].f.value_or(0), base = markers_[0].f ? level[0] : 0;
            lines << "\u0394  " + QString::number(*markers_[1].f - from, 'f', 4) + " " + fUnits + "  " +
                         QString::number(level[1] - base, 'f', 2) + (markers_[0].f ? " dB" : " " + unitText());
        }
        if (!lines.isEmpty()) markerText_->setText(lines.join("\n"));
    }

    PlotWindow* window_;
    PlotCanvas* canvas_;
    QCPAxisRect* axes_ = nullptr;
    QCPGraph* trace_ = nullptr;
    double rate_, outputDbm_;
    dsp::CVec x_;
    UnitScale units_;
    PowerSpectrum spectrum_;
    dsp::RVec freq_, levels_;
    std::array<Marker, 2> markers_;
    QComboBox* rbw_ = nullptr;
    QSpinBox* averages_ = nullptr;
    QComboBox* unit_ = nullptr;
    QLineEdit* nearLimit_ = nullptr;
    QLineEdit* farLimit_ = nullptr;
    QLabel* channel_ = nullptr;
    QLabel* occupied_ = nullptr;
    std::array<QLabel*, 4> leakage_{};
    QLabel* markerText_ = nullptr;
};

}  // namespace

PlotWindow* KV_PlotSpectrumAnalyzer(QWidget* hParent, const std::string& label, double sampleRate, double outputDbm,
                                    const dsp::CVec& iqWave, host::Dialogs& dialogs) {
    if (sampleRate <= 0) sampleRate = 1;
    auto [window, canvas] = openCanvasWindow(PlotKind::SpectrumAnalyzer, hParent);
    // Room for the read-outs beside a plot that still shows the bands.
    window->resize(window->size().expandedTo(QSize(780, 520)));
    window->setDialogs(dialogs);
    auto* analyzer = new Analyzer(window, canvas, sampleRate, outputDbm, iqWave);
    QWidget* controls = analyzer->controls();
    QWidget* readouts = analyzer->readouts();
    addControls(window, controls, readouts);
    analyzer->estimate(true);

    // A click places a marker; a drag is the zoom box's.
    QObject::connect(canvas, &QCustomPlot::mousePress, analyzer,
                     [canvas](QMouseEvent* e) { canvas->setProperty("pressedAt", e->position().toPoint()); });
    QObject::connect(canvas, &QCustomPlot::mouseRelease, analyzer, [canvas, analyzer](QMouseEvent* e) {
        if ((e->position().toPoint() - canvas->property("pressedAt").toPoint()).manhattanLength() <= 3) analyzer->click(e);
    });
    QObject::connect(canvas, &QCustomPlot::mouseMove, analyzer, [analyzer](QMouseEvent* e) { analyzer->hover(e); });

    showPlotWindow(window, PlotKind::SpectrumAnalyzer, label);
    return window;
}

}  // namespace plots
