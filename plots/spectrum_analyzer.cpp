#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
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
// The channel and the bands the emission limits name, as an analyser's span would show them.
constexpr double kDefaultSpan = 5e6;
constexpr double kLeastSpan = 1e3;
// Ten divisions of 10 dB below the reference level.
constexpr double kShownRange = 100;
constexpr int kMarkers = 4;
const QColor kHoldColour{230, 120, 0};

enum AclrColumn { kOffset, kBandwidth, kLimit, kLower, kUpper, kResult };
enum MarkerColumn { kMode, kFrequency, kLevel, kDeltaF, kDeltaLevel };

QString kiloOrMega(double hz) {
    return std::abs(hz) >= 1e6 ? QString::number(hz / 1e6, 'g', 6) + " MHz" : QString::number(hz / 1e3, 'g', 6) + " kHz";
}

QString number(double v, int decimals = 2) { return std::isnan(v) ? QString("\u2014") : QString::number(v, 'f', decimals); }

QString numberText(double v) { return QString::fromStdString(host::numberText(v)); }

// A translucent band across the whole height of the axes, from f0 to f1.
QCPItemRect* shadeBand(QCustomPlot* plot, QCPAxisRect* axes, double f0, double f1, const QColor& colour) {
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
    return band;
}

QTableWidgetItem* cell(const QString& text, bool editable) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

// The cell's item, made when there is none yet; kept otherwise, so that it can be rewritten
// while its own change is being handled.
QTableWidgetItem* cellOf(QTableWidget* t, int row, int column, bool editable) {
    if (QTableWidgetItem* item = t->item(row, column)) return item;
    t->setItem(row, column, cell({}, editable));
    return t->item(row, column);
}

QTableWidget* table(const char* tag, int rows, const QStringList& columns) {
    auto* t = new QTableWidget(rows, int(columns.size()));
    t->setObjectName(tag);
    t->setHorizontalHeaderLabels(columns);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                       QAbstractItemView::AnyKeyPressed);
    return t;
}

// The window's state: the waveform, the estimate at the chosen settings, the shown span and
// reference level, the measurements with their table, and the markers; it redraws what a change
// of each setting affects.
class Analyzer : public QObject {
public:
    Analyzer(PlotWindow* window, PlotCanvas* canvas, double rate, double outputDbm, const dsp::CVec& x,
             std::vector<double> carriers)
        : QObject(window), window_(window), canvas_(canvas), rate_(rate), outputDbm_(outputDbm), x_(x),
          units_(DetermineFrequencyUnits(rate)), span_(std::min(rate, kDefaultSpan)), rows_(kDefaultAclrRows),
          carriers_(carriers.empty() ? std::vector<double>{0.0} : std::move(carriers)) {
        // Every carrier in view, with room for the adjacent bands beside the outer ones.
        const auto [lo, hi] = std::minmax_element(carriers_.begin(), carriers_.end());
        centreHz_ = (*lo + *hi) / 2;
        span_ = std::min(rate, *hi - *lo + kDefaultSpan);
        axes_ = canvas_->addAxes(placeAxes(kDefaultAxes), "analyzerAxes");
        trace_ = canvas_->addLine(axes_, {}, {}, kLineColour);
        trace_->setName("Average");
        hold_ = canvas_->addLine(axes_, {}, {}, kHoldColour);
        hold_->setName("Max hold");
        hold_->setVisible(false);
        canvas_->setTitle(axes_, "Power Spectrum");
        setGrids(axes_, true);
        for (std::size_t j = 0; j < markers_.size(); ++j) {
            Marker& m = markers_[j];
            m.dot = new QCPItemTracer(canvas_);
            m.dot->setStyle(j == 0 ? QCPItemTracer::tsCircle : QCPItemTracer::tsSquare);
            m.dot->setPen(QPen(Qt::red, 1.5));
            m.dot->setSize(9);
            m.dot->setVisible(false);
            m.tag = new QCPItemText(canvas_);
            m.tag->position->setParentAnchor(m.dot->position);
            m.tag->position->setCoords(0, -12);
            m.tag->setText(QString::number(j + 1));
            m.tag->setColor(Qt::red);
            m.tag->setVisible(false);
        }
    }

    // Centre, span and reference level; resolution bandwidth, averaging, max hold and units.
    QWidget* controls() {
        auto* box = new QWidget;
        auto* rows = new QVBoxLayout(box);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(4);
        auto* first = new QHBoxLayout;
        auto* second = new QHBoxLayout;
        rows->addLayout(first);
        rows->addLayout(second);
        auto field = [this](const char* tag, const QString& tip) {
            auto* e = new QLineEdit;
            e->setObjectName(tag);
            e->setToolTip(tip);
            e->setMaximumWidth(90);
            connect(e, &QLineEdit::editingFinished, this, [this] { readView(); });
            return e;
        };
        const QString mhz = QString::fromStdString(units_.text);
        centre_ = field("analyzerCentre", "Centre of the shown band (" + mhz + ", or with Hz, kHz, MHz)");
        spanEdit_ = field("analyzerSpan", "Width of the shown band, up to the whole sampled band");
        ref_ = field("analyzerRefLevel", "Level at the top of the plot; ten divisions of 10 dB below it");
        auto* full = new QPushButton("Full Span");
        full->setObjectName("analyzerFullSpan");
        full->setToolTip("The whole sampled band");
        connect(full, &QPushButton::clicked, this, [this] {
            centreHz_ = 0;
            span_ = rate_;
            showView();
        });
        refUnit_ = new QLabel;
        first->addWidget(new QLabel("Centre (" + mhz + ")"));
        first->addWidget(centre_);
        first->addSpacing(8);
        first->addWidget(new QLabel("Span (" + mhz + ")"));
        first->addWidget(spanEdit_);
        first->addWidget(full);
        first->addSpacing(8);
        first->addWidget(new QLabel("Ref level"));
        first->addWidget(ref_);
        first->addWidget(refUnit_);
        first->addStretch(1);

        rbw_ = new QComboBox;
        rbw_->setObjectName("analyzerRbw");
        for (double b : kBandwidths) rbw_->addItem(kiloOrMega(b), b);
        rbw_->setCurrentIndex(int(std::find(kBandwidths.begin(), kBandwidths.end(), kDefaultBandwidth) - kBandwidths.begin()));
        averages_ = new QSpinBox;
        averages_->setObjectName("analyzerAverages");
        averages_->setToolTip("Segments averaged (and held), from the start of the frame");
        averages_->setRange(1, 1);  // all of them, once the first estimate knows how many
        maxHold_ = new QCheckBox("Max hold");
        maxHold_->setObjectName("analyzerMaxHold");
        maxHold_->setToolTip("A second trace with the largest level any one segment showed");
        unit_ = new QComboBox;
        unit_->setObjectName("analyzerUnit");
        unit_->addItems({"dBm/Hz", "dB re total power"});
        auto* peak = new QPushButton("Peak");
        peak->setObjectName("analyzerPeak");
        peak->setToolTip("The marker chosen in the table to the highest point");
        second->addWidget(new QLabel("RBW"));
        second->addWidget(rbw_);
        second->addSpacing(8);
        second->addWidget(new QLabel("Averages"));
        second->addWidget(averages_);
        second->addWidget(maxHold_);
        second->addSpacing(8);
        second->addWidget(new QLabel("Units"));
        second->addWidget(unit_);
        second->addSpacing(8);
        second->addWidget(peak);
        second->addStretch(1);
        connect(rbw_, &QComboBox::activated, this, [this] { estimate(true); });
        connect(averages_, &QSpinBox::valueChanged, this, [this] { estimate(false); });
        connect(maxHold_, &QCheckBox::toggled, this, [this] { redraw(); });
        connect(unit_, &QComboBox::activated, this, [this] {
            refDb_.reset();  // a level in the other unit means nothing
            redraw();
        });
        connect(peak, &QPushButton::clicked, this, [this] {
            if (levels_.empty()) return;
            const std::size_t k = std::size_t(std::max_element(levels_.begin(), levels_.end()) - levels_.begin());
            placeMarker(chosenMarker(), freq_[k]);
        });
        return box;
    }

    // The channel power and occupied bandwidth, the adjacent-channel table and the marker table.
    QWidget* tables() {
        auto* panel = new QWidget;
        auto* h = new QHBoxLayout(panel);
        h->setContentsMargins(0, 0, 0, 0);

        auto* acp = new QGroupBox("Channel power and ACLR");
        auto* g = new QGridLayout(acp);
        g->addWidget(new QLabel("Channel bandwidth (MHz)"), 0, 0);
        channelBandwidth_ = new QLineEdit(numberText(channelHz_ / 1e6));
        channelBandwidth_->setObjectName("analyzerChannelBandwidth");
        channelBandwidth_->setMaximumWidth(90);
        connect(channelBandwidth_, &QLineEdit::editingFinished, this, [this] { readChannelBandwidth(); });
        g->addWidget(channelBandwidth_, 0, 1);
        channel_ = new QLabel;
        channel_->setObjectName("analyzerChannelPower");
        occupied_ = new QLabel;
        occupied_->setObjectName("analyzerOccupiedBandwidth");
        for (QLabel* l : {channel_, occupied_}) l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        g->addWidget(new QLabel("Channel power"), 1, 0);
        g->addWidget(channel_, 1, 1);
        g->addWidget(new QLabel("Occupied bandwidth (99 %)"), 2, 0);
        g->addWidget(occupied_, 2, 1);
        aclr_ = table("analyzerAclr", 0, {"Offset (MHz)", "BW (kHz)", "Limit (dBc)", "Lower (dBc)", "Upper (dBc)", "Result"});
        aclr_->verticalHeader()->hide();
        aclr_->setToolTip("Bands below and above the carrier at each offset, relative to the channel power; "
                          "double-click an offset, bandwidth or limit to change it");
        connect(aclr_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { editAclr(item); });
        g->addWidget(aclr_, 3, 0, 1, 2);
        auto* buttons = new QHBoxLayout;
        auto* add = new QPushButton("Add Row");
        add->setObjectName("analyzerAclrAdd");
        auto* remove = new QPushButton("Remove Row");
        remove->setObjectName("analyzerAclrRemove");
        connect(add, &QPushButton::clicked, this, [this] {
            // The next offset out, as wide and as strict as the last.
            AclrRow next = rows_.empty() ? kDefaultAclrRows.front() : rows_.back();
            if (!rows_.empty()) next.offset += 0.5e6;
            rows_.push_back(next);
            measure();
            canvas_->replot();
        });
        connect(remove, &QPushButton::clicked, this, [this] {
            const int row = aclr_->currentRow();
            if (row < 0 || row >= int(rows_.size())) return;
            rows_.erase(rows_.begin() + row);
            measure();
            canvas_->replot();
        });
        buttons->addWidget(add);
        buttons->addWidget(remove);
        buttons->addStretch(1);
        g->addLayout(buttons, 4, 0, 1, 2);
        h->addWidget(acp, 11);

        // Each carrier's channel power, when there are several.
        carrierTable_ = table("analyzerCarrierPowers", int(carriers_.size()), {"MHz", "Channel power"});
        carrierTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        carrierTable_->verticalHeader()->hide();
        carrierTable_->setToolTip("Each carrier's offset and the power within the channel bandwidth around it");
        for (int r = 0; r < int(carriers_.size()); ++r) {
            carrierTable_->setItem(r, 0, cell(numberText(carriers_[std::size_t(r)] / 1e6), false));
            carrierTable_->setItem(r, 1, cell({}, false));
        }
        auto* perCarrier = new QGroupBox("Carriers");
        perCarrier->setObjectName("analyzerCarriers");
        (new QVBoxLayout(perCarrier))->addWidget(carrierTable_);
        perCarrier->setVisible(carriers_.size() > 1);
        h->addWidget(perCarrier, 6);

        auto* marks = new QGroupBox("Markers");
        auto* v = new QVBoxLayout(marks);
        const QString f = QString::fromStdString(units_.text);
        markerTable_ = table("analyzerMarkers", kMarkers, {"Mode", "Freq (" + f + ")", "Level", "\u0394f (" + f + ")", "\u0394 (dB)"});
        markerTable_->setToolTip("Click the plot: the chosen marker; Shift+click: marker 2 as a delta to marker 1. "
                                 "Type a frequency to place a marker there.");
        for (int j = 0; j < kMarkers; ++j) {
            markerTable_->setVerticalHeaderItem(j, new QTableWidgetItem("M" + QString::number(j + 1)));
            auto* mode = new QComboBox;
            mode->setObjectName("analyzerMarkerMode" + QString::number(j + 1));
            mode->addItems(j == 0 ? QStringList{"Off", "Normal"} : QStringList{"Off", "Normal", "Delta"});
            connect(mode, &QComboBox::activated, this, [this, j](int index) {
                markers_[std::size_t(j)].mode = Mode(index);
                showMarkers();
                canvas_->replot();
            });
            markerTable_->setCellWidget(j, kMode, mode);
            markerTable_->setItem(j, kFrequency, cell({}, true));
            for (int c : {kLevel, kDeltaF, kDeltaLevel}) markerTable_->setItem(j, c, cell({}, false));
        }
        markerTable_->selectRow(0);
        connect(markerTable_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { editMarker(item); });
        v->addWidget(markerTable_);
        h->addWidget(marks, 9);
        panel->setMaximumHeight(230);
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

    // The traces in the chosen unit, the view and everything read off them.
    void redraw() {
        const LevelUnit unit = this->unit();
        auto levels = [&](const dsp::RVec& density) {
            dsp::RVec out(density.size());
            for (std::size_t k = 0; k < out.size(); ++k) out[k] = densityLevel(density[k], spectrum_, unit, outputDbm_);
            return out;
        };
        levels_ = levels(spectrum_.density);
        const QVector<double> f(freq_.begin(), freq_.end());
        trace_->setData(f, QVector<double>(levels_.begin(), levels_.end()), true);
        if (maxHold_->isChecked()) {
            const dsp::RVec held = levels(spectrum_.maxHold);
            hold_->setData(f, QVector<double>(held.begin(), held.end()), true);
            topLevel_ = held.empty() ? 0 : *std::max_element(held.begin(), held.end());
        } else {
            topLevel_ = levels_.empty() ? 0 : *std::max_element(levels_.begin(), levels_.end());
        }
        hold_->setVisible(maxHold_->isChecked());
        canvas_->legend->setVisible(maxHold_->isChecked());
        if (maxHold_->isChecked()) canvas_->showLegend();
        setLabels(axes_, QString::fromStdString("Frequency (" + units_.text + ")"),
                  unit == LevelUnit::DbmPerHz ? "PSD (dBm/Hz)" : "Power in RBW (dB re total power)");
        refUnit_->setText(unitText());
        markerTable_->horizontalHeaderItem(kLevel)->setText("Level (" + unitText() + ")");
        showView();
    }

    // The read-outs, after a new estimate, new rows or a new channel bandwidth.
    void measure() {
        const ChannelMeasurements m = measureChannel(spectrum_, channelHz_, rows_, carriers_);
        const bool dBm = unit() == LevelUnit::DbmPerHz;
        const QString levelUnit = dBm ? " dBm" : " dB re total";
        channel_->setText(number(powerLevel(m.channelPower, spectrum_, unit(), outputDbm_)) + levelUnit);
        for (int r = 0; r < carrierTable_->rowCount(); ++r)
            carrierTable_->item(r, 1)->setText(
                number(powerLevel(m.carrierPowers[std::size_t(r)], spectrum_, unit(), outputDbm_)) + levelUnit);
        occupied_->setText(number(m.occupied.width() / 1e6, 4) + " MHz");
        const QSignalBlocker quiet(aclr_);
        aclr_->setRowCount(int(m.aclr.size()));
        for (int r = 0; r < int(m.aclr.size()); ++r) {
            const AclrResult& a = m.aclr[std::size_t(r)];
            cellOf(aclr_, r, kOffset, true)->setText(numberText(a.row.offset / 1e6));
            cellOf(aclr_, r, kBandwidth, true)->setText(numberText(a.row.bandwidth / 1e3));
            cellOf(aclr_, r, kLimit, true)->setText(numberText(a.row.limit));
            const bool measured = !std::isnan(a.lower) && !std::isnan(a.upper);
            for (auto [column, v] : {std::pair{kLower, a.lower}, std::pair{kUpper, a.upper}}) {
                QTableWidgetItem* item = cellOf(aclr_, r, column, false);
                item->setText(number(v));
                item->setForeground(std::isnan(v) ? QColor(Qt::gray) : v <= a.row.limit ? QColor(0, 120, 0) : QColor(Qt::red));
                item->setToolTip(std::isnan(v) ? "beyond the sampled band" : "");
            }
            QTableWidgetItem* result = cellOf(aclr_, r, kResult, false);
            result->setText(measured ? (a.pass ? "PASS" : "FAIL") : "beyond band");
            result->setToolTip(measured ? "" : "beyond the sampled band");
            result->setForeground(!measured ? QColor(Qt::gray) : a.pass ? QColor(0, 120, 0) : QColor(Qt::red));
        }
        shadeBands();
    }

    // Marker 1 (or the marker chosen in the table) on a click, marker 2 as a delta to marker 1 on
    // Shift+click, at the bin nearest the mouse.
    void click(QMouseEvent* e) {
        if (!axes_->rect().contains(e->position().toPoint()) || freq_.empty()) return;
        const double f = freq_[binAt(e->position().x())];
        if (e->modifiers() & Qt::ShiftModifier) {
            markers_[1].mode = Mode::Delta;
            placeMarker(1, f);
        } else {
            placeMarker(chosenMarker(), f);
        }
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
    enum class Mode { Off, Normal, Delta };
    struct Marker {
        QCPItemTracer* dot = nullptr;
        QCPItemText* tag = nullptr;
        Mode mode = Mode::Off;
        double f = 0;  // display units
    };

    LevelUnit unit() const { return unit_->currentIndex() == 0 ? LevelUnit::DbmPerHz : LevelUnit::DbReTotal; }
    QString unitText() const { return unit() == LevelUnit::DbmPerHz ? "dBm/Hz" : "dB"; }

    // A typed value that is no number keeps the previous one; the status line says so.
    void refuse(const QString& what, const QString& text, const QString& kept) {
        window_->showReadout(what + ": \"" + text + "\" is not a number; kept " + kept);
    }

    // Centre, span and reference level as typed, limited to what the sampled band holds.
    void readView() {
        const double unitHz = units_.factor;
        if (const auto c = readFrequency(centre_->text().toStdString(), unitHz)) centreHz_ = *c;
        else refuse("Centre", centre_->text(), numberText(centreHz_ / unitHz) + " " + QString::fromStdString(units_.text));
        if (const auto s = readFrequency(spanEdit_->text().toStdString(), unitHz)) span_ = *s;
        else refuse("Span", spanEdit_->text(), numberText(span_ / unitHz) + " " + QString::fromStdString(units_.text));
        const QString refText = ref_->text();
        if (const auto r = readLevel(refText.toStdString())) {
            // The automatic level shown unchanged stays automatic.
            if (refText != numberText(shownRef())) refDb_ = std::clamp(*r, -300.0, 300.0);
        } else {
            refuse("Ref level", refText, numberText(shownRef()) + " " + unitText());
        }
        showView();
    }

    // The reference level: typed, or the next 10 dB above the highest point of the traces.
    double shownRef() const { return refDb_.value_or(10 * std::ceil(topLevel_ / 10)); }

    void showView() {
        span_ = std::clamp(span_, std::min(kLeastSpan, rate_), rate_);
        const double room = (rate_ - span_) / 2;
        centreHz_ = std::clamp(centreHz_, -room, room);
        centre_->setText(numberText(centreHz_ / units_.factor));
        spanEdit_->setText(numberText(span_ / units_.factor));
        const double top = shownRef();
        ref_->setText(numberText(top));
        setLimits(axes_, (centreHz_ - span_ / 2) / units_.factor, (centreHz_ + span_ / 2) / units_.factor,
                  top - kShownRange, top);
        canvas_->rememberHome();
        showMarkers();
        measure();
        canvas_->replot();
    }

    void readChannelBandwidth() {
        if (const auto b = readFrequency(channelBandwidth_->text().toStdString(), 1e6); b && *b > 0)
            channelHz_ = std::min(*b, rate_);
        else
            refuse("Channel bandwidth", channelBandwidth_->text(), numberText(channelHz_ / 1e6) + " MHz");
        channelBandwidth_->setText(numberText(channelHz_ / 1e6));
        measure();
        canvas_->replot();
    }

    void editAclr(QTableWidgetItem* item) {
        const std::size_t r = std::size_t(item->row());
        if (r >= rows_.size()) return;
        AclrRow& row = rows_[r];
        const std::string text = item->text().toStdString();
        switch (item->column()) {
        case kOffset:
            if (const auto v = readFrequency(text, 1e6); v && *v >= 0) row.offset = *v;
            else refuse("Offset", item->text(), kiloOrMega(row.offset));
            break;
        case kBandwidth:
            if (const auto v = readFrequency(text, 1e3); v && *v > 0) row.bandwidth = *v;
            else refuse("Bandwidth", item->text(), kiloOrMega(row.bandwidth));
            break;
        case kLimit:
            if (const auto v = readLevel(text)) row.limit = std::clamp(*v, -200.0, 0.0);
            else refuse("Limit", item->text(), numberText(row.limit) + " dBc");
            break;
        default: return;
        }
        measure();
        canvas_->replot();
    }

    void editMarker(QTableWidgetItem* item) {
        if (item->column() != kFrequency) return;
        const std::size_t j = std::size_t(item->row());
        if (const auto f = readFrequency(item->text().toStdString(), units_.factor)) {
            placeMarker(j, *f / units_.factor);
        } else {
            refuse("Marker " + QString::number(j + 1), item->text(),
                   markers_[j].mode == Mode::Off ? QString("no marker")
                                                 : numberText(markers_[j].f) + " " + QString::fromStdString(units_.text));
            showMarkers();
        }
    }

    std::size_t chosenMarker() const { return std::size_t(std::max(0, markerTable_->currentRow())); }

    std::size_t binAt(double pixel) const { return binOf(xAxisOf(axes_)->pixelToCoord(pixel)); }
    std::size_t binOf(double f) const {
        const auto it = std::lower_bound(freq_.begin(), freq_.end(), f);
        std::size_t k = std::min<std::size_t>(it - freq_.begin(), freq_.size() - 1);
        if (k > 0 && f - freq_[k - 1] < freq_[k] - f) --k;
        return k;
    }

    // On the bin nearest `f` (display units); an unused marker becomes a normal one.
    void placeMarker(std::size_t which, double f) {
        if (freq_.empty()) return;
        Marker& m = markers_[which];
        m.f = freq_[binOf(f)];
        if (m.mode == Mode::Off) m.mode = Mode::Normal;
        showMarkers();
        canvas_->replot();
    }

    void showMarkers() {
        const QSignalBlocker quiet(markerTable_);
        const double f1 = markers_[0].f;
        const bool oneOn = markers_[0].mode != Mode::Off && !freq_.empty();
        const double level1 = oneOn ? levels_[binOf(f1)] : NAN;
        for (std::size_t j = 0; j < markers_.size(); ++j) {
            Marker& m = markers_[j];
            const bool on = m.mode != Mode::Off && !freq_.empty();
            m.dot->setVisible(on);
            m.tag->setVisible(on);
            m.tag->setText((m.mode == Mode::Delta ? "\u0394" : "") + QString::number(j + 1));
            // A tracer on the trace before there is one to follow only complains.
            m.dot->setGraph(on ? trace_ : nullptr);
            const int row = int(j);
            if (auto* mode = qobject_cast<QComboBox*>(markerTable_->cellWidget(row, kMode))) {
                const QSignalBlocker still(mode);
                mode->setCurrentIndex(int(m.mode));
            }
            const double level = on ? levels_[binOf(m.f)] : NAN;
            if (on) m.dot->setGraphKey(m.f);
            const bool delta = on && m.mode == Mode::Delta && oneOn;
            markerTable_->item(row, kFrequency)->setText(on ? QString::number(m.f, 'f', 4) : QString());
            markerTable_->item(row, kLevel)->setText(on ? number(level) : QString());
            markerTable_->item(row, kDeltaF)->setText(delta ? QString::number(m.f - f1, 'f', 4) : QString());
            markerTable_->item(row, kDeltaLevel)->setText(delta ? number(level - level1) : QString());
        }
    }

    // The channel and the adjacent bands of the table, shaded.
    void shadeBands() {
        for (QCPItemRect* band : bands_) canvas_->removeItem(band);
        bands_.clear();
        const double u = units_.factor;
        for (double f : carriers_)
            bands_.push_back(shadeBand(canvas_, axes_, (f - channelHz_ / 2) / u, (f + channelHz_ / 2) / u,
                                       QColor(0, 160, 0, 28)));
        // Below the lowest carrier and above the highest.
        const auto [lo, hi] = std::minmax_element(carriers_.begin(), carriers_.end());
        for (const AclrRow& r : rows_)
            for (double centre : {*lo - r.offset, *hi + r.offset})
                bands_.push_back(shadeBand(canvas_, axes_, (centre - r.bandwidth / 2) / u, (centre + r.bandwidth / 2) / u,
                                           QColor(230, 120, 0, 90)));
    }

    PlotWindow* window_;
    PlotCanvas* canvas_;
    QCPAxisRect* axes_ = nullptr;
    QCPGraph* trace_ = nullptr;
    QCPGraph* hold_ = nullptr;
    double rate_, outputDbm_;
    dsp::CVec x_;
    UnitScale units_;
    PowerSpectrum spectrum_;
    dsp::RVec freq_, levels_;
    double centreHz_ = 0, span_;
    std::optional<double> refDb_;
    double topLevel_ = 0;
    double channelHz_ = kChannelBandwidth;
    std::vector<AclrRow> rows_;
    std::vector<double> carriers_;  // Hz
    std::vector<QCPItemRect*> bands_;
    std::array<Marker, kMarkers> markers_;
    QLineEdit* centre_ = nullptr;
    QLineEdit* spanEdit_ = nullptr;
    QLineEdit* ref_ = nullptr;
    QLabel* refUnit_ = nullptr;
    QComboBox* rbw_ = nullptr;
    QSpinBox* averages_ = nullptr;
    QCheckBox* maxHold_ = nullptr;
    QComboBox* unit_ = nullptr;
    QLineEdit* channelBandwidth_ = nullptr;
    QLabel* channel_ = nullptr;
    QLabel* occupied_ = nullptr;
    QTableWidget* aclr_ = nullptr;
    QTableWidget* carrierTable_ = nullptr;
    QTableWidget* markerTable_ = nullptr;
};

}  // namespace

PlotWindow* KV_PlotSpectrumAnalyzer(QWidget* hParent, const std::string& label, double sampleRate, double outputDbm,
                                    const dsp::CVec& iqWave, host::Dialogs& dialogs,
                                    const std::vector<double>& carriersHz) {
    if (sampleRate <= 0) sampleRate = 1;
    auto [window, canvas] = openCanvasWindow(PlotKind::SpectrumAnalyzer, hParent);
    // Room for the tables under a plot that still shows the bands.
    window->resize(window->size().expandedTo(QSize(1000, 680)));
    window->setDialogs(dialogs);
    auto* analyzer = new Analyzer(window, canvas, sampleRate, outputDbm, iqWave, carriersHz);
    QWidget* controls = analyzer->controls();
    QWidget* tables = analyzer->tables();
    addControls(window, controls, nullptr, tables);
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
