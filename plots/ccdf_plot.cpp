#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <optional>

#include "plots/core/ccdf.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

// Every 2 dB over the whole curve, finer when zoomed in.
class CcdfTicker : public QCPAxisTicker {
protected:
    double getTickStep(const QCPRange& range) override { return ccdfTickStep(range.size()); }
};

const QColor kReferenceColour{200, 0, 0};

QString dB(double v, const char* unit = " dB") { return std::isnan(v) ? QString("\u2014") : QString::number(v, 'f', 2) + unit; }

// The window's state: the waveform, the curve shown (all samples or only the gated ones), the
// reference it is compared with, and the read-outs of both.
class CcdfView : public QObject {
public:
    CcdfView(PlotWindow* window, PlotCanvas* canvas, QCPAxisRect* axes, dsp::CVec x, dsp::Bits gate, double outputDbm,
             std::optional<CcdfReference>* shared)
        : QObject(window), canvas_(canvas), axes_(axes), x_(std::move(x)), gate_(std::move(gate)),
          outputDbm_(outputDbm), reference_(shared ? shared : &own_) {}

    // One row per curve (the waveform, the reference and their difference), one column per
    // read-out.
    QWidget* readouts() {
        QStringList columns{"Mean power", "Peak power", "Crest factor"};
        for (double p : kCcdfPercents) columns << QString::number(p) + " %";
        table_ = new QTableWidget(3, int(columns.size()));
        table_->setObjectName("ccdfReadouts");
        table_->setHorizontalHeaderLabels(columns);
        table_->setVerticalHeaderLabels({"Waveform", "Reference", "Δ"});
        table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table_->setSelectionMode(QAbstractItemView::NoSelection);
        table_->setFocusPolicy(Qt::NoFocus);
        table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        table_->setToolTip("Columns 10 % to 0.01 %: the dB above the mean power that so many of the samples reach");
        table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        for (int r = 0; r < table_->rowCount(); ++r)
            for (int c = 0; c < table_->columnCount(); ++c) {
                auto* item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table_->setItem(r, c, item);
            }
        // The header and three rows, no more.
        table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                               3 * table_->verticalHeader()->defaultSectionSize() + 4);
        return table_;
    }

    QWidget* controls() {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        // Idle stretches with the carrier blanked pull the average down; counting only where the
        // blanking marker is high shows the bursts' own statistics.
        gateBox_ = new QCheckBox("Count only where marker 2 (RF blanking) is high");
        gateBox_->setObjectName("ccdfGate");
        const bool anyHigh = std::any_of(gate_.begin(), gate_.end(), [](auto b) { return b != 0; });
        gateBox_->setEnabled(anyHigh && !x_.empty());
        connect(gateBox_, &QCheckBox::toggled, this, [this] { redraw(); });
        auto* store = new QPushButton("Store as Reference");
        store->setObjectName("ccdfStoreReference");
        store->setToolTip("Keep this curve to compare other waveforms' curves with");
        connect(store, &QPushButton::clicked, this, [this] { storeReference(); });
        referenceName_ = new QLabel;
        referenceName_->setObjectName("ccdfReferenceName");
        h->addWidget(gateBox_);
        h->addStretch(1);
        h->addWidget(referenceName_);
        h->addWidget(store);
        return row;
    }

    // The curve of the samples chosen now, its read-outs, and the reference.
    void redraw() {
        const bool gated = gateBox_ && gateBox_->isChecked();
        data_ = computeCcdf(gated ? gatedSamples(x_, gate_) : x_);
        // The first curve is always the whole waveform's.
        if (std::isnan(wholeMean_)) wholeMean_ = data_.meanPower;
        setCurve(canvas_->graph(0), data_.X, data_.Y, gated ? "Waveform where marker 2 is high" : "Waveform");
        setCurve(canvas_->graph(1), data_.X, data_.Y1, data_.realWave ? "Real Gaussian noise" : "Complex Gaussian noise");
        const bool withReference = reference_->has_value();
        canvas_->graph(2)->setVisible(withReference);
        canvas_->graph(2)->removeFromLegend();
        double maxX = data_.maxX, yMin = data_.yMin;
        if (withReference) {
            const CcdfData& r = (*reference_)->data;
            setCurve(canvas_->graph(2), r.X, r.Y, "Reference: " + QString::fromStdString((*reference_)->name));
            maxX = std::max(maxX, r.maxX);
            yMin = std::min(yMin, r.yMin);
        }
        setLimits(axes_, 0, maxX, yMin, 100);
        fillReadouts();
        canvas_->rememberHome();
        canvas_->replot();
    }

private:
    static void setCurve(QCPGraph* g, const dsp::RVec& x, const dsp::RVec& y, const QString& name) {
        g->setData(QVector<double>(x.begin(), x.end()), QVector<double>(y.begin(), y.end()), true);
        g->setName(name);
        g->addToLegend();
    }

    // In dBm when the output power is known (it is the mean power of the whole waveform), else
    // relative to the whole waveform's mean.
    double meanLevel() const {
        const double relative = 10 * std::log10(data_.meanPower / wholeMean_);
        return std::isnan(outputDbm_) ? relative : outputDbm_ + relative;
    }
    const char* levelUnit() const { return std::isnan(outputDbm_) ? " dB" : " dBm"; }

    void fillReadouts() {
        const double mean = meanLevel();
        std::array<double, 7> mine{mean, mean + data_.crestDb, data_.crestDb};
        std::copy(data_.aboveMean.begin(), data_.aboveMean.end(), mine.begin() + 3);
        std::array<double, 7> theirs;
        theirs.fill(NAN);
        const bool withReference = reference_->has_value();
        if (withReference) {
            const CcdfReference& r = **reference_;
            theirs = {r.meanDbm, r.meanDbm + r.data.crestDb, r.data.crestDb};
            std::copy(r.data.aboveMean.begin(), r.data.aboveMean.end(), theirs.begin() + 3);
        }
        for (int c = 0; c < 7; ++c) {
            const char* unit = c < 2 ? levelUnit() : " dB";
            table_->item(0, c)->setText(dB(mine[c], unit));
            table_->item(1, c)->setText(withReference ? dB(theirs[c], unit) : QString());
            table_->item(2, c)->setText(withReference ? dB(mine[c] - theirs[c]) : QString());
        }
        referenceName_->setText(withReference ? "Reference: " + QString::fromStdString((*reference_)->name)
                                              : QString("No reference stored"));
    }

    void storeReference() {
        *reference_ = CcdfReference{canvas_->window()->windowTitle().toStdString() +
                                        (gateBox_->isChecked() ? ", marker 2 high" : ""),
                                    data_, meanLevel()};
        redraw();
    }

    PlotCanvas* canvas_;
    QCPAxisRect* axes_;
    dsp::CVec x_;
    dsp::Bits gate_;
    double outputDbm_;
    double wholeMean_ = NAN;
    std::optional<CcdfReference> own_;
    std::optional<CcdfReference>* reference_;
    CcdfData data_;
    QTableWidget* table_ = nullptr;
    QLabel* referenceName_ = nullptr;
    QCheckBox* gateBox_ = nullptr;
};

}  // namespace

PlotWindow* KV_PlotCCDF(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave, const dsp::Bits& gate,
                        double outputDbm, std::optional<CcdfReference>* reference) {
    auto [window, canvas] = openCanvasWindow(PlotKind::CCDF, hParent);
    // Room for the read-outs under the curve.
    window->resize(window->size().expandedTo(QSize(640, 480)));

    QCPAxisRect* axes = canvas->addAxes(placeAxes(kDefaultAxes), "KV_CCDF");
    canvas->addLine(axes, {}, {}, kLineColour);
    canvas->addLine(axes, {}, {}, QColor::fromRgbF(0.7, 0.7, 0.7));
    canvas->addLine(axes, {}, {}, kReferenceColour)->setPen(QPen(kReferenceColour, 1.5, Qt::DashLine));
    canvas->showLegend();

    QCPAxis* y = yAxisOf(axes);
    y->setScaleType(QCPAxis::stLogarithmic);
    auto logTicks = QSharedPointer<QCPAxisTickerLog>::create();
    y->setTicker(logTicks);
    // Percentages read better as decimals than as powers of ten.
    y->setNumberFormat("g");
    y->setNumberPrecision(6);
    xAxisOf(axes)->setTicker(QSharedPointer<CcdfTicker>::create());

    setGrids(axes, true);
    canvas->setTitle(axes, "CCDF");
    setLabels(axes, "dB above Average", "Frequency of occurrence (%)");

    auto* view = new CcdfView(window, canvas, axes, iqWave, gate, outputDbm, reference);
    QWidget* above = view->controls();
    QWidget* below = view->readouts();
    addControls(window, above, nullptr, below);
    view->redraw();

    showPlotWindow(window, PlotKind::CCDF, label);
    return window;
}

}  // namespace plots
