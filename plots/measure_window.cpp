#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <span>

#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"
#include "plots/core/measure_text.h"
#include "host/core/output_file.h"
#include "host/qt/dialogs.h"

namespace plots {

namespace {

const QColor kOnColour = kLineColour;
const QColor kOffColour{150, 150, 150};
const QColor kIdealColour{220, 0, 0};
// Wide and low: room for 144 bars and their group names.
constexpr Box kCodeAxes{0.08, 0.14, 0.9, 0.77};
// The constellation's half width: 16-QAM's corners lie at 1.34 at unit power.
constexpr double kConstellationReach = 1.6;

QCPBars* addBars(QCPAxisRect* axes, const QColor& colour, const QString& name) {
    auto* bars = new QCPBars(xAxisOf(axes), yAxisOf(axes));
    bars->setName(name);
    bars->setWidth(0.75);
    bars->setPen(Qt::NoPen);
    bars->setBrush(colour);
    return bars;
}

// A dashed line between two groups of bars, and the group's name over its middle.
void markGroup(QCustomPlot* plot, QCPAxisRect* axes, double from, double to, const QString& name) {
    if (from > 0) {
        auto* line = new QCPItemStraightLine(plot);
        line->point1->setAxes(xAxisOf(axes), yAxisOf(axes));
        line->point2->setAxes(xAxisOf(axes), yAxisOf(axes));
        line->point1->setCoords(from - 0.5, 0);
        line->point2->setCoords(from - 0.5, 1);
        line->setPen(QPen(Qt::black, 0, Qt::DashLine));
        line->setClipAxisRect(axes);
    }
    auto* text = new QCPItemText(plot);
    text->position->setAxes(xAxisOf(axes), yAxisOf(axes));
    text->position->setAxisRect(axes);
    text->position->setTypeX(QCPItemPosition::ptPlotCoords);
    text->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    text->position->setCoords((from + to - 1) / 2, 0.02);
    text->setPositionAlignment(Qt::AlignHCenter | Qt::AlignTop);
    text->setClipAxisRect(axes);
    text->setText(name);
}

// The colours of pilot, MAC, traffic and idle chips in the power against time.
const QColor kKindColours[] = {{0, 130, 0}, {200, 120, 0}, kLineColour, {150, 150, 150}};

// A square I/Q plane with the ideal points under the measured ones, which show through their middle.
struct Constellation {
    PlotCanvas* canvas = nullptr;
    QCPAxisRect* axes = nullptr;
    QCPCurve* points = nullptr;
    QCPCurve* ideal = nullptr;
};

Constellation makeConstellation(const char* tag) {
    Constellation c;
    c.canvas = new PlotCanvas;
    c.canvas->setObjectName(tag);
    c.canvas->setMinimumSize(240, 240);
    c.axes = c.canvas->addAxes(placeAxes(kDefaultAxes), QString(tag) + "Axes");
    c.canvas->setSquare(c.axes, true);
    setLabels(c.axes, "In-Phase", "Quadrature");
    setGrids(c.axes, true);
    c.ideal = c.canvas->addCurve(c.axes, {}, {});
    c.ideal->setLineStyle(QCPCurve::lsNone);
    c.ideal->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, QPen(kIdealColour, 2), QBrush(), 11));
    c.points = c.canvas->addCurve(c.axes, {}, {});
    c.points->setLineStyle(QCPCurve::lsNone);
    c.points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, kLineColour, 3));
    return c;
}

void fillCurve(QCPCurve* curve, const dsp::CVec& values) {
    QVector<QCPCurveData> data(qsizetype(values.size()));
    for (qsizetype k = 0; k < data.size(); ++k) data[k] = {double(k), values[std::size_t(k)].real(), values[std::size_t(k)].imag()};
    curve->data()->set(data, true);
}

// Wide enough for the farthest point, ideal or measured, and never narrower than `least`.
double reachOf(const dsp::CVec& a, const dsp::CVec& b, double least) {
    double m = least;
    for (const auto* v : {&a, &b})
        for (const dsp::cplx& p : *v) m = std::max(m, 1.15 * std::max(std::abs(p.real()), std::abs(p.imag())));
    return std::min(m, 10.0);
}

// A table of readings to look at, not edit: one row chosen at a time, arrows moving between rows
// and Tab leaving the table. Figures align right, the columns named in `leftColumns` left.
template <std::size_t Columns>
QTableWidget* readingsTable(const char* name, const std::array<const char*, Columns>& headings,
                            const std::vector<std::vector<std::string>>& rows, std::initializer_list<int> leftColumns) {
    auto* table = new QTableWidget(int(rows.size()), int(Columns));
    table->setObjectName(name);
    QStringList labels;
    for (const char* h : headings) labels << h;
    table->setHorizontalHeaderLabels(labels);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setTabKeyNavigation(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    for (int row = 0; row < int(rows.size()); ++row)
        for (int c = 0; c < int(Columns) && c < int(rows[std::size_t(row)].size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(rows[std::size_t(row)][std::size_t(c)]));
            const bool left = std::find(leftColumns.begin(), leftColumns.end(), c) != leftColumns.end();
            item->setTextAlignment(left ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, c, item);
        }
    table->resizeColumnsToContents();
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    return table;
}

// The window's state: the analysis and the chosen slot, which the table, the slot box, the
// code-domain chart and the constellation all show.
class MeasureView : public QObject {
public:
    MeasureView(PlotWindow* window, analyzer::Result result) : QObject(window), window_(window), r_(std::move(result)) {}

    QWidget* build() {
        QWidget* frame = plotFrame();
        auto* column = new QVBoxLayout(frame);
        column->setContentsMargins(8, 6, 8, 0);
        if (QLabel* doubts = warnings()) column->addWidget(doubts);
        // The figures across the window; under them the slot chosen and the views of it: every
        // slot in a table first, then the charts of the one chosen there.
        column->addWidget(summary());
        column->addLayout(slotChooser());
        tabs_ = new QTabWidget;
        tabs_->setObjectName("measureViews");
        tabs_->addTab(slotsPage(), "Slots");
        tabs_->addTab(codeChart(), "Code domain");
        tabs_->addTab(constellations(), "Constellations");
        tabs_->addTab(powerPage(), "Power vs time");
        tabs_->addTab(slotEvmChart(), "EVM per slot");
        if (r_.frames.size() > 1) tabs_->addTab(framesPage(), "Frames");
        column->addWidget(tabs_, 1);
        // From the table the Tab key goes to the slot box above it.
        QWidget::setTabOrder(table_, slotBox_);
        return frame;
    }

    // Writes the results where the user chooses: CSV or, for a name ending in .json, JSON.
    void exportResults() {
        host::Dialogs& dialogs = window_->dialogs();
        const auto choice = dialogs.saveFile("*.csv *.json");
        if (!choice) return;
        const std::string path = choice->directory + choice->name;
        const bool json = path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
        const std::string text = json ? measureJson(r_) : measureCsv(r_);
        try {
            host::writeFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        } catch (const std::exception& e) {
            dialogs.error("Plot Error", e.what());
        }
    }

    void chooseSlot(int slot) {
        slot = std::clamp(slot, 1, int(engine::kSlots));
        {
            const QSignalBlocker a(slotBox_), b(table_);
            slotBox_->setValue(slot);
            table_->setCurrentCell(slot - 1, table_->currentColumn() < 0 ? 0 : table_->currentColumn());
        }
        slot_ = slot;
        const analyzer::SlotResult& s = r_.slotResults[std::size_t(slot - 1)];
        drawCodes(s);
        drawConstellations(s);
    }

    void hoverCodes(QMouseEvent* e) {
        if (!codeAxes_->rect().contains(e->position().toPoint())) return window_->showReadout({});
        const int bar = int(std::lround(xAxisOf(codeAxes_)->pixelToCoord(e->position().x())));
        window_->showReadout(QString::fromStdString(codeBarText(r_.slotResults[std::size_t(slot_ - 1)], bar)));
    }

    void hoverPoints(QCPAxisRect* axes, QMouseEvent* e) {
        if (!axes->rect().contains(e->position().toPoint())) return window_->showReadout({});
        const double i = xAxisOf(axes)->pixelToCoord(e->position().x());
        const double q = yAxisOf(axes)->pixelToCoord(e->position().y());
        window_->showReadout("I = " + QString::number(i, 'f', 3) + "   Q = " + QString::number(q, 'f', 3));
    }

    void hoverPower(QMouseEvent* e) {
        if (!powerAxes_->rect().contains(e->position().toPoint()) || r_.powerDb.empty()) return window_->showReadout({});
        const TimeUnit& unit = kTimeUnits[std::size_t(std::max(0, unitBox_->currentIndex()))];
        const double chip = xAxisOf(powerAxes_)->pixelToCoord(e->position().x()) * unit.chipsPerUnit;
        if (chip < 0 || chip >= double(engine::kChipsPerFrame)) return window_->showReadout({});
        const auto m = std::size_t(chip);
        window_->showReadout(QString::fromStdString(powerReadout(r_, m, unit)));
    }

    void hoverSlotEvm(QMouseEvent* e) {
        if (!evmAxes_->rect().contains(e->position().toPoint())) return window_->showReadout({});
        const long slot = std::lround(xAxisOf(evmAxes_)->pixelToCoord(e->position().x()));
        if (slot < 1 || slot > long(engine::kSlots)) return window_->showReadout({});
        const analyzer::SlotResult& s = r_.slotResults[std::size_t(slot - 1)];
        window_->showReadout("Slot " + QString::number(slot) + ": EVM " + QString::number(s.evmRmsPercent, 'f', 2) +
                             " % rms, rho " + QString::number(s.rho, 'f', 6));
    }

    void focusTable() { table_->setFocus(); }
    PlotCanvas* codeCanvas() const { return codeCanvas_; }
    std::vector<std::pair<PlotCanvas*, QCPAxisRect*>> planes() const {
        return {{pilot_.canvas, pilot_.axes}, {mac_.canvas, mac_.axes}, {traffic_.canvas, traffic_.axes}};
    }
    PlotCanvas* powerCanvas() const { return powerCanvas_; }
    PlotCanvas* evmCanvas() const { return evmCanvas_; }

private:
    // A reading with doubts must not pass for a success at a glance: its warnings in red across
    // the window's width, one per line, above the figures.
    QLabel* warnings() {
        for (const SummaryLine& line : measureSummary(r_)) {
            if (line.tag != "measureWarnings") continue;
            auto* label = new QLabel(QString::fromStdString("Read with doubts:\n" + line.value));
            label->setObjectName(QString::fromStdString(line.tag));
            label->setWordWrap(true);
            label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            label->setStyleSheet("color: #c00000; font-weight: bold;");
            return label;
        }
        return nullptr;
    }

    // Two columns of figures: how well (rho, EVM, IQ errors) and what was read where.
    QWidget* summary() {
        auto* panel = new QWidget;
        auto* grid = new QGridLayout(panel);
        grid->setContentsMargins(0, 0, 0, 4);
        grid->setVerticalSpacing(3);
        grid->setHorizontalSpacing(8);
        int rows[2] = {0, 0};
        for (const SummaryLine& line : measureSummary(r_)) {
            if (line.tag == "measureWarnings") continue;  // across the window, above it all
            auto* label = new QLabel(QString::fromStdString(line.label));
            auto* value = new QLabel(QString::fromStdString(line.value));
            value->setObjectName(QString::fromStdString(line.tag));
            value->setToolTip(QString::fromStdString(line.detail));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setWordWrap(true);
            QFont bold = value->font();
            bold.setBold(true);
            value->setFont(bold);
            const int column = 2 * std::clamp(line.column, 0, 1);
            int& row = rows[column / 2];
            grid->addWidget(label, row, column, Qt::AlignTop);
            grid->addWidget(value, row++, column + 1, Qt::AlignTop);
        }
        grid->setRowStretch(std::max(rows[0], rows[1]), 1);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        grid->setColumnMinimumWidth(2, 0);
        panel->setMinimumWidth(300);
        return panel;
    }

    QWidget* slotsPage() {
        auto* page = new QWidget;
        auto* box = new QVBoxLayout(page);
        box->setContentsMargins(0, 4, 0, 0);
        box->addWidget(table(), 0, Qt::AlignLeft | Qt::AlignTop);
        box->addStretch(1);
        // Enter (or a double click) on a slot shows its code channels.
        connect(table_, &QTableWidget::activated, this, [this] { tabs_->setCurrentIndex(1); });
        return page;
    }

    // Each frame of a capture read frame by frame, as many as there were (scrolled when many).
    QWidget* framesPage() {
        std::vector<std::vector<std::string>> rows;
        for (std::size_t k = 0; k < r_.frames.size(); ++k) rows.push_back(frameRow(r_.frames[k], k + 1));
        QTableWidget* frames = readingsTable("measureFrames", kFrameColumns, rows, {2, 8});
        for (int row = 0; row < frames->rowCount(); ++row) frames->item(row, 8)->setToolTip(frames->item(row, 8)->text());
        frames->horizontalHeader()->setStretchLastSection(true);
        return frames;
    }

    QTableWidget* table() {
        std::vector<std::vector<std::string>> rows;
        for (int slot = 1; slot <= int(engine::kSlots); ++slot)
            rows.push_back(slotRow(r_.slotResults[std::size_t(slot - 1)], slot));
        table_ = readingsTable("measureSlots", kSlotColumns, rows, {1, 2, 4});
        for (int slot = 1; slot <= int(engine::kSlots); ++slot)
            table_->item(slot - 1, 3)->setToolTip(QString::fromStdString(rpcChannelsText(r_.slotResults[std::size_t(slot - 1)])));
        // As wide as its columns, and every slot in sight without scrolling.
        table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        const int height = table_->horizontalHeader()->sizeHint().height() +
                           int(engine::kSlots) * table_->verticalHeader()->defaultSectionSize() + 2 * table_->frameWidth();
        table_->setFixedHeight(height);
        connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) {
            if (row >= 0) chooseSlot(row + 1);
        });
        return table_;
    }

    QLayout* slotChooser() {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        slotBox_ = new QSpinBox;
        slotBox_->setObjectName("measureSlot");
        slotBox_->setRange(1, int(engine::kSlots));
        slotBox_->setToolTip("The slot whose code channels and traffic symbols are shown below");
        auto* label = new QLabel("Slot");
        label->setBuddy(slotBox_);
        row->addWidget(label);
        row->addWidget(slotBox_);
        row->addSpacing(12);
        auto* legend = new QLabel("<span style='color:" + kOnColour.name() + "'>\u25a0</span> channel on&nbsp;&nbsp; "
                                  "<span style='color:" + kOffColour.name() + "'>\u25a0</span> no channel found");
        row->addWidget(legend);
        row->addStretch(1);
        connect(slotBox_, &QSpinBox::valueChanged, this, [this](int slot) { chooseSlot(slot); });
        return row;
    }

    PlotCanvas* codeChart() {
        codeCanvas_ = new PlotCanvas;
        codeCanvas_->setObjectName("measureCodeDomain");
        codeCanvas_->setMinimumSize(480, 260);
        codeAxes_ = codeCanvas_->addAxes(kCodeAxes, "measureCodeAxes");
        setLabels(codeAxes_, "Walsh code", "Power (dB re pilot)");
        yAxisOf(codeAxes_)->grid()->setVisible(true);
        offBars_ = addBars(codeAxes_, kOffColour, "no channel found");
        onBars_ = addBars(codeAxes_, kOnColour, "channel on");
        markGroup(codeCanvas_, codeAxes_, 0, kMacQFirstBar, "MAC, I");
        markGroup(codeCanvas_, codeAxes_, kMacQFirstBar, kTrafficFirstBar, "MAC, Q");
        markGroup(codeCanvas_, codeAxes_, kTrafficFirstBar, kCodeBars, "Traffic");
        auto ticker = QSharedPointer<QCPAxisTickerText>::create();
        for (int c = 0; c < int(analyzer::kMacCodes); c += 16) {
            ticker->addTick(c, QString::number(c));
            ticker->addTick(kMacQFirstBar + c, QString::number(c));
        }
        for (int c = 0; c < int(analyzer::kTrafficCodes); c += 8) ticker->addTick(kTrafficFirstBar + c, QString::number(c));
        xAxisOf(codeAxes_)->setTicker(ticker);
        return codeCanvas_;
    }

    // Pilot, MAC and traffic of the chosen slot side by side.
    QWidget* constellations() {
        auto* page = new QWidget;
        auto* row = new QHBoxLayout(page);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        pilot_ = makeConstellation("measurePilotConstellation");
        mac_ = makeConstellation("measureMacConstellation");
        traffic_ = makeConstellation("measureConstellation");
        for (Constellation* c : {&pilot_, &mac_, &traffic_}) row->addWidget(c->canvas, 1);
        return page;
    }

    QWidget* powerPage() {
        auto* page = new QWidget;
        auto* column = new QVBoxLayout(page);
        column->setContentsMargins(0, 4, 0, 0);
        auto* row = new QHBoxLayout;
        unitBox_ = new QComboBox;
        unitBox_->setObjectName("measureTimeUnit");
        for (const TimeUnit& u : kTimeUnits) unitBox_->addItem(QString::fromUtf8(u.name));
        unitBox_->setToolTip("The unit of the time axis and of the read-out under the mouse");
        auto* label = new QLabel("Time in");
        label->setBuddy(unitBox_);
        row->addWidget(label);
        row->addWidget(unitBox_);
        row->addSpacing(12);
        QString legend;
        for (std::size_t k = 0; k < kChipKindNames.size(); ++k)
            legend += "<span style='color:" + kKindColours[k].name() + "'>\u25a0</span> " + kChipKindNames[k] + "&nbsp;&nbsp; ";
        row->addWidget(new QLabel(legend));
        row->addStretch(1);
        column->addLayout(row);
        powerCanvas_ = new PlotCanvas;
        powerCanvas_->setObjectName("measurePowerTime");
        powerCanvas_->setMinimumSize(480, 240);
        powerAxes_ = powerCanvas_->addAxes(placeAxes(kDefaultAxes), "measurePowerTimeAxes");
        setGrids(powerAxes_, true);
        for (std::size_t k = 0; k < kChipKindNames.size(); ++k) {
            auto* g = new QCPGraph(xAxisOf(powerAxes_), yAxisOf(powerAxes_));
            g->setName(kChipKindNames[k]);
            g->setPen(QPen(kKindColours[k], 1));
            g->setAdaptiveSampling(true);
            kindGraphs_.push_back(g);
        }
        column->addWidget(powerCanvas_, 1);
        connect(unitBox_, &QComboBox::currentIndexChanged, this, [this] { drawPower(); });
        drawPower();
        return page;
    }

    PlotCanvas* slotEvmChart() {
        evmCanvas_ = new PlotCanvas;
        evmCanvas_->setObjectName("measureSlotEvm");
        evmCanvas_->setMinimumSize(480, 240);
        evmAxes_ = evmCanvas_->addAxes(placeAxes(kDefaultAxes), "measureSlotEvmAxes");
        setLabels(evmAxes_, "Slot", "EVM (% rms)");
        yAxisOf(evmAxes_)->grid()->setVisible(true);
        auto* bars = addBars(evmAxes_, kOnColour, "EVM");
        QVector<double> x, y;
        double most = 0;
        for (std::size_t s = 0; s < engine::kSlots; ++s) {
            x.push_back(double(s + 1));
            y.push_back(r_.slotResults[s].evmRmsPercent);
            most = std::max(most, r_.slotResults[s].evmRmsPercent);
        }
        bars->setData(x, y, true);
        auto ticker = QSharedPointer<QCPAxisTickerText>::create();
        for (int s = 1; s <= int(engine::kSlots); ++s) ticker->addTick(s, QString::number(s));
        xAxisOf(evmAxes_)->setTicker(ticker);
        setLimits(evmAxes_, 0.3, engine::kSlots + 0.7, 0, most > 0 ? most * 1.15 : 1);
        evmCanvas_->setTitle(evmAxes_, "EVM per slot (active channels), frame " + QString::number(r_.evmRmsPercent, 'f', 2) + " %");
        evmCanvas_->rememberHome();
        return evmCanvas_;
    }

    void drawPower() {
        const TimeUnit& unit = kTimeUnits[std::size_t(std::max(0, unitBox_->currentIndex()))];
        // Each 16-chip step as a level, each kind its own line broken where another kind lies.
        std::vector<QVector<double>> keys(kChipKindNames.size()), values(kChipKindNames.size());
        double lo = INFINITY, hi = -INFINITY;
        const std::size_t step = engine::kChipsPerFrame / std::max<std::size_t>(r_.powerDb.size(), 1);
        for (std::size_t g = 0; g < r_.powerDb.size(); ++g) {
            const double v = r_.powerDb[g];
            const auto kind = std::size_t(chipKind(r_, g * step));
            const double from = double(g * step) / unit.chipsPerUnit, to = double((g + 1) * step) / unit.chipsPerUnit;
            keys[kind] << from << to;
            values[kind] << v << v;
            if (g + 1 == r_.powerDb.size() || std::size_t(chipKind(r_, (g + 1) * step)) != kind)
                keys[kind] << to, values[kind] << qQNaN();
            if (v > -100) lo = std::min(lo, v), hi = std::max(hi, v);
        }
        const double n = double(engine::kChipsPerFrame);
        for (std::size_t k = 0; k < kindGraphs_.size(); ++k) kindGraphs_[k]->setData(keys[k], values[k], true);
        setLabels(powerAxes_, "Time (" + QString::fromUtf8(unit.name) + ")", "Power (dB re pilot)");
        const double floor = std::isfinite(lo) ? std::max(lo - 3, -60.0) : -40, top = std::isfinite(hi) ? hi + 3 : 10;
        setLimits(powerAxes_, 0, n / unit.chipsPerUnit, floor, top);
        powerCanvas_->setTitle(powerAxes_, "Power against time over the frame");
        powerCanvas_->rememberHome();
        powerCanvas_->replot();
    }

    void drawCodes(const analyzer::SlotResult& s) {
        const std::vector<CodeBar> bars = codeDomainBars(s);
        double most = -INFINITY, least = INFINITY;
        for (const CodeBar& b : bars)
            if (std::isfinite(b.powerDb)) most = std::max(most, b.powerDb), least = std::min(least, b.powerDb);
        // The floor shows where the unused codes lie, within 40 to 80 dB below the pilot.
        const double lo = std::isfinite(least) ? std::clamp(10 * std::floor(least / 10 - 0.5), -80.0, -40.0) : -60;
        const double hi = std::isfinite(most) ? std::max(10.0, 10 * std::ceil(most / 10)) : 10;
        QVector<double> onX, onY, offX, offY;
        for (const CodeBar& b : bars) {
            // Bars stand on the floor and reach up by their value.
            const double v = std::isfinite(b.powerDb) ? std::max(b.powerDb, lo) : lo;
            (b.on ? onX : offX).push_back(b.position);
            (b.on ? onY : offY).push_back(v - lo);
        }
        onBars_->setBaseValue(lo);
        offBars_->setBaseValue(lo);
        onBars_->setData(onX, onY, true);
        offBars_->setData(offX, offY, true);
        setLimits(codeAxes_, -1, kCodeBars, lo, hi);
        codeCanvas_->setTitle(codeAxes_, "Code-domain power, slot " + QString::number(slot_));
        codeCanvas_->rememberHome();
        codeCanvas_->replot();
    }

    void drawConstellations(const analyzer::SlotResult& s) {
        const QString slot = ", slot " + QString::number(slot_);
        const dsp::CVec pilotIdeal{1.0}, trafficIdeal = idealConstellation(s.traffic), macIdeal = idealMacPoints(s);
        auto draw = [](Constellation& c, const dsp::CVec& points, const dsp::CVec& ideal, double reach, const QString& title) {
            fillCurve(c.points, points);
            fillCurve(c.ideal, ideal);
            setLimits(c.axes, -reach, reach, -reach, reach);
            c.canvas->setTitle(c.axes, title);
            c.canvas->rememberHome();
            c.canvas->replot();
        };
        draw(pilot_, s.pilotSymbols, pilotIdeal, reachOf(s.pilotSymbols, pilotIdeal, kConstellationReach), "Pilot" + slot);
        draw(mac_, s.macSymbols, macIdeal, reachOf(s.macSymbols, macIdeal, kConstellationReach),
             "MAC" + slot + (s.macActive ? QString() : ": idle"));
        draw(traffic_, s.constellation, trafficIdeal, kConstellationReach,
             "Traffic" + slot + ": " + QString::fromStdString(modulationName(s.traffic)));
    }

    PlotWindow* window_;
    analyzer::Result r_;
    int slot_ = 1;
    QTableWidget* table_ = nullptr;
    QSpinBox* slotBox_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    PlotCanvas* codeCanvas_ = nullptr;
    QCPAxisRect* codeAxes_ = nullptr;
    QCPBars* onBars_ = nullptr;
    QCPBars* offBars_ = nullptr;
    Constellation pilot_, mac_, traffic_;
    QComboBox* unitBox_ = nullptr;
    PlotCanvas* powerCanvas_ = nullptr;
    QCPAxisRect* powerAxes_ = nullptr;
    std::vector<QCPGraph*> kindGraphs_;
    PlotCanvas* evmCanvas_ = nullptr;
    QCPAxisRect* evmAxes_ = nullptr;
};

}  // namespace

PlotWindow* KV_PlotMeasure(QWidget* hParent, const std::string& label, const analyzer::Result& result) {
    auto* window = new PlotWindow;
    addPlotMenus(window);
    placePlotWindow(window, PlotKind::Measure, hParent);
    window->resize(window->size().expandedTo(QSize(1000, 720)));
    auto* view = new MeasureView(window, result);
    window->setCentralWidget(view->build());
    window->addZoomable(view->codeCanvas());
    for (const auto& [canvas, axes] : view->planes()) {
        window->addZoomable(canvas);
        QObject::connect(canvas, &QCustomPlot::mouseMove, view, [view, axes](QMouseEvent* e) { view->hoverPoints(axes, e); });
    }
    window->addZoomable(view->powerCanvas());
    window->addZoomable(view->evmCanvas());
    view->chooseSlot(1);
    QObject::connect(view->codeCanvas(), &QCustomPlot::mouseMove, view, [view](QMouseEvent* e) { view->hoverCodes(e); });
    QObject::connect(view->powerCanvas(), &QCustomPlot::mouseMove, view, [view](QMouseEvent* e) { view->hoverPower(e); });
    QObject::connect(view->evmCanvas(), &QCustomPlot::mouseMove, view, [view](QMouseEvent* e) { view->hoverSlotEvm(e); });
    // File > Export Results..., before Close.
    if (QMenu* file = window->menuBar()->findChild<QMenu*>(); file && !file->actions().isEmpty()) {
        auto* item = new QAction("Export Results (CSV/JSON)...", file);
        item->setObjectName("measureExport");
        file->insertAction(file->actions().back(), item);
        QObject::connect(item, &QAction::triggered, view, [view] { view->exportResults(); });
    }
    showPlotWindow(window, PlotKind::Measure, label);
    // The arrow keys go through the slots from the start.
    view->focusTable();
    return window;
}

}  // namespace plots
