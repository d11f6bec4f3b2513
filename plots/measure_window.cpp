#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"
#include "plots/core/measure_text.h"

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

// The window's state: the analysis and the chosen slot, which the table, the slot box, the
// code-domain chart and the constellation all show.
class MeasureView : public QObject {
public:
    MeasureView(PlotWindow* window, analyzer::Result result) : QObject(window), window_(window), r_(std::move(result)) {}

    QWidget* build() {
        QWidget* frame = plotFrame();
        auto* column = new QVBoxLayout(frame);
        column->setContentsMargins(8, 6, 8, 0);
        auto* top = new QHBoxLayout;
        top->addWidget(summary(), 1);
        top->addWidget(table());
        column->addLayout(top);
        column->addLayout(slotChooser());
        auto* plots = new QHBoxLayout;
        plots->setSpacing(0);
        plots->addWidget(codeChart(), 3);
        plots->addWidget(constellation(), 1);
        column->addLayout(plots, 1);
        return frame;
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
        drawConstellation(s);
    }

    void hoverCodes(QMouseEvent* e) {
        if (!codeAxes_->rect().contains(e->position().toPoint())) return window_->showReadout({});
        const int bar = int(std::lround(xAxisOf(codeAxes_)->pixelToCoord(e->position().x())));
        window_->showReadout(QString::fromStdString(codeBarText(r_.slotResults[std::size_t(slot_ - 1)], bar)));
    }

    void hoverPoints(QMouseEvent* e) {
        if (!pointAxes_->rect().contains(e->position().toPoint())) return window_->showReadout({});
        const double i = xAxisOf(pointAxes_)->pixelToCoord(e->position().x());
        const double q = yAxisOf(pointAxes_)->pixelToCoord(e->position().y());
        window_->showReadout("I = " + QString::number(i, 'f', 3) + "   Q = " + QString::number(q, 'f', 3));
    }

    void focusTable() { table_->setFocus(); }
    PlotCanvas* codeCanvas() const { return codeCanvas_; }
    PlotCanvas* pointCanvas() const { return pointCanvas_; }

private:
    QWidget* summary() {
        auto* panel = new QWidget;
        auto* grid = new QGridLayout(panel);
        grid->setContentsMargins(0, 0, 12, 0);
        grid->setVerticalSpacing(3);
        int row = 0;
        for (const SummaryLine& line : measureSummary(r_)) {
            auto* label = new QLabel(QString::fromStdString(line.label));
            auto* value = new QLabel(QString::fromStdString(line.value));
            value->setObjectName(QString::fromStdString(line.tag));
            value->setToolTip(QString::fromStdString(line.detail));
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            value->setWordWrap(true);
            QFont bold = value->font();
            bold.setBold(true);
            value->setFont(bold);
            grid->addWidget(label, row, 0, Qt::AlignTop);
            grid->addWidget(value, row++, 1, Qt::AlignTop);
        }
        grid->setRowStretch(row, 1);
        grid->setColumnStretch(1, 1);
        panel->setMinimumWidth(300);
        return panel;
    }

    QTableWidget* table() {
        table_ = new QTableWidget(int(engine::kSlots), int(kSlotColumns.size()));
        table_->setObjectName("measureSlots");
        QStringList headings;
        for (const char* h : kSlotColumns) headings << h;
        table_->setHorizontalHeaderLabels(headings);
        table_->verticalHeader()->hide();
        table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table_->setSelectionBehavior(QAbstractItemView::SelectRows);
        table_->setSelectionMode(QAbstractItemView::SingleSelection);
        // Arrows move between slots; Tab leaves the table for the slot box.
        table_->setTabKeyNavigation(false);
        table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
        for (int slot = 1; slot <= int(engine::kSlots); ++slot) {
            const analyzer::SlotResult& s = r_.slotResults[std::size_t(slot - 1)];
            const std::vector<std::string> cells = slotRow(s, slot);
            for (int c = 0; c < int(cells.size()); ++c) {
                auto* item = new QTableWidgetItem(QString::fromStdString(cells[std::size_t(c)]));
                item->setTextAlignment(c == 1 || c == 2 || c == 4 ? Qt::AlignLeft | Qt::AlignVCenter
                                                                  : Qt::AlignRight | Qt::AlignVCenter);
                if (c == 3) item->setToolTip(QString::fromStdString(rpcChannelsText(s)));
                table_->setItem(slot - 1, c, item);
            }
        }
        table_->resizeColumnsToContents();
        // As wide as its columns; the summary takes the rest.
        table_->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
        table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        // Every slot in sight without scrolling.
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
        row->setContentsMargins(0, 6, 0, 0);
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

    PlotCanvas* constellation() {
        pointCanvas_ = new PlotCanvas;
        pointCanvas_->setObjectName("measureConstellation");
        pointCanvas_->setMinimumSize(260, 260);
        pointAxes_ = pointCanvas_->addAxes(placeAxes(kDefaultAxes), "measureConstellationAxes");
        pointCanvas_->setSquare(pointAxes_, true);
        setLabels(pointAxes_, "In-Phase", "Quadrature");
        setGrids(pointAxes_, true);
        // The ideal points under the measured ones, which show through their middle.
        ideal_ = pointCanvas_->addCurve(pointAxes_, {}, {});
        ideal_->setLineStyle(QCPCurve::lsNone);
        ideal_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCross, QPen(kIdealColour, 2), QBrush(), 11));
        points_ = pointCanvas_->addCurve(pointAxes_, {}, {});
        points_->setLineStyle(QCPCurve::lsNone);
        points_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, kLineColour, 3));
        setLimits(pointAxes_, -kConstellationReach, kConstellationReach, -kConstellationReach, kConstellationReach);
        return pointCanvas_;
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

    void drawConstellation(const analyzer::SlotResult& s) {
        std::vector<double> i, q, idealI, idealQ;
        for (const dsp::cplx& p : s.constellation) i.push_back(p.real()), q.push_back(p.imag());
        for (const dsp::cplx& p : idealConstellation(s.traffic)) idealI.push_back(p.real()), idealQ.push_back(p.imag());
        auto fill = [](QCPCurve* c, const std::vector<double>& x, const std::vector<double>& y) {
            QVector<QCPCurveData> data(qsizetype(x.size()));
            for (qsizetype k = 0; k < data.size(); ++k) data[k] = {double(k), x[std::size_t(k)], y[std::size_t(k)]};
            c->data()->set(data, true);
        };
        fill(points_, i, q);
        fill(ideal_, idealI, idealQ);
        pointCanvas_->setTitle(pointAxes_, "Traffic, slot " + QString::number(slot_) + ": " +
                                               QString::fromStdString(modulationName(s.traffic)));
        pointCanvas_->rememberHome();
        pointCanvas_->replot();
    }

    PlotWindow* window_;
    analyzer::Result r_;
    int slot_ = 1;
    QTableWidget* table_ = nullptr;
    QSpinBox* slotBox_ = nullptr;
    PlotCanvas* codeCanvas_ = nullptr;
    PlotCanvas* pointCanvas_ = nullptr;
    QCPAxisRect* codeAxes_ = nullptr;
    QCPAxisRect* pointAxes_ = nullptr;
    QCPBars* onBars_ = nullptr;
    QCPBars* offBars_ = nullptr;
    QCPCurve* points_ = nullptr;
    QCPCurve* ideal_ = nullptr;
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
    window->addZoomable(view->pointCanvas());
    view->chooseSlot(1);
    QObject::connect(view->codeCanvas(), &QCustomPlot::mouseMove, view, [view](QMouseEvent* e) { view->hoverCodes(e); });
    QObject::connect(view->pointCanvas(), &QCustomPlot::mouseMove, view, [view](QMouseEvent* e) { view->hoverPoints(e); });
    showPlotWindow(window, PlotKind::Measure, label);
    // The arrow keys go through the slots from the start.
    view->focusTable();
    return window;
}

}  // namespace plots
