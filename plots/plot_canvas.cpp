#include "plots/plot_canvas.h"

#include <algorithm>
#include <cmath>

namespace plots {

namespace {

void styleAxis(QCPAxis* axis) {
    QPen grid(QColor(150, 150, 150), 0, Qt::DotLine);
    axis->grid()->setPen(grid);
    axis->grid()->setZeroLinePen(grid);
    axis->grid()->setSubGridVisible(false);
    axis->grid()->setVisible(false);
    axis->setSubTicks(false);
}

// The top and right axes only close the box around the plot.
void closeBox(QCPAxisRect* axes) {
    for (auto type : {QCPAxis::atTop, QCPAxis::atRight}) {
        QCPAxis* a = axes->axis(type);
        a->setVisible(true);
        a->setTicks(false);
        a->setTickLabels(false);
    }
    QCPAxis* bottom = axes->axis(QCPAxis::atBottom);
    QCPAxis* left = axes->axis(QCPAxis::atLeft);
    QObject::connect(bottom, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), axes->axis(QCPAxis::atTop),
                     qOverload<const QCPRange&>(&QCPAxis::setRange));
    QObject::connect(left, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), axes->axis(QCPAxis::atRight),
                     qOverload<const QCPRange&>(&QCPAxis::setRange));
    styleAxis(bottom);
    styleAxis(left);
    axes->setRangeZoomAxes(bottom, left);
    axes->setRangeDragAxes(bottom, left);
}

}  // namespace

PlotCanvas::PlotCanvas(QWidget* parent) : QCustomPlot(parent) {
    plotLayout()->setMargins(QMargins(0, 0, 0, 0));
    plotLayout()->setRowSpacing(0);
    // Grey around white axes, as every window of the application looks.
    setBackground(QColor(204, 204, 204));
}

QCPAxisRect* PlotCanvas::addAxes(const Box& position, const QString& tag) {
    QCPAxisRect* axes = nullptr;
    if (placed_.empty() && axisRect()) {
        axes = axisRect();
    } else {
        axes = new QCPAxisRect(this, true);
        plotLayout()->addElement(plotLayout()->rowCount(), 0, axes);
    }
    axes->setObjectName(tag);
    axes->setAutoMargins(QCP::msNone);
    axes->setBackground(Qt::white);
    closeBox(axes);
    placed_.push_back({axes, position});
    return axes;
}

void PlotCanvas::setTitle(QCPAxisRect* axes, const QString& title) {
    for (Placed& p : placed_) {
        if (p.axes != axes) continue;
        if (!p.title) {
            p.title = new QCPItemText(this);
            p.title->setClipToAxisRect(false);
            p.title->position->setAxisRect(axes);
            p.title->position->setType(QCPItemPosition::ptAxisRectRatio);
            p.title->position->setCoords(0.5, 0);
            p.title->setPositionAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            p.title->setPadding(QMargins(0, 0, 0, 4));
            QFont f = font();
            f.setBold(true);
            p.title->setFont(f);
        }
        p.title->setText(title);
    }
}

void PlotCanvas::setSquare(QCPAxisRect* axes, bool on) {
    for (Placed& p : placed_)
        if (p.axes == axes) p.square = on;
}

QCPGraph* PlotCanvas::addLine(QCPAxisRect* axes, const std::vector<double>& x, const std::vector<double>& y,
                              const QColor& colour) {
    QCPGraph* g = addGraph(axes->axis(QCPAxis::atBottom), axes->axis(QCPAxis::atLeft));
    QVector<QCPGraphData> data(static_cast<qsizetype>(std::min(x.size(), y.size())));
    for (qsizetype k = 0; k < data.size(); ++k) data[k] = {x[static_cast<std::size_t>(k)], y[static_cast<std::size_t>(k)]};
    g->data()->set(data, true);
    g->setPen(QPen(colour, 0));
    return g;
}

QCPCurve* PlotCanvas::addCurve(QCPAxisRect* axes, const std::vector<double>& x, const std::vector<double>& y) {
    auto* c = new QCPCurve(axes->axis(QCPAxis::atBottom), axes->axis(QCPAxis::atLeft));
    QVector<QCPCurveData> data(static_cast<qsizetype>(std::min(x.size(), y.size())));
    for (qsizetype k = 0; k < data.size(); ++k)
        data[k] = {static_cast<double>(k), x[static_cast<std::size_t>(k)], y[static_cast<std::size_t>(k)]};
    c->data()->set(data, true);
    // Tens of thousands of overlapping traces: smoothing them costs more than it shows.
    c->setAntialiased(false);
    return c;
}

void PlotCanvas::rememberHome() {
    home_.clear();
    for (const Placed& p : placed_)
        for (QCPAxis* a : p.axes->axes()) home_.push_back({a, a->range()});
}

void PlotCanvas::resetZoom() {
    for (const Home& h : home_) h.axis->setRange(h.range);
    replot();
}

void PlotCanvas::setZoomEnabled(bool on) {
    zoom_ = on;
    setInteraction(QCP::iRangeZoom, on);
    setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
}

void PlotCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    QCustomPlot::mouseDoubleClickEvent(event);
    if (zoom_) resetZoom();
}

bool PlotCanvas::applyMargins() {
    const QRect view = viewport();
    const double W = view.width(), H = view.height();
    bool changed = false;
    for (const Placed& p : placed_) {
        double left = p.position.left * W, right = (p.position.left + p.position.width) * W;
        double top = H - (p.position.bottom + p.position.height) * H, bottom = H - p.position.bottom * H;
        if (p.square) {
            const double side = std::min(right - left, bottom - top);
            const double cx = (left + right) / 2, cy = (top + bottom) / 2;
            left = cx - side / 2;
            right = cx + side / 2;
            top = cy - side / 2;
            bottom = cy + side / 2;
        }
        const QRect outer = p.axes->outerRect();
        const QMargins m(std::max(0, static_cast<int>(std::lround(left)) - outer.left()),
                         std::max(0, static_cast<int>(std::lround(top)) - outer.top()),
                         std::max(0, outer.left() + outer.width() - static_cast<int>(std::lround(right))),
                         std::max(0, outer.top() + outer.height() - static_cast<int>(std::lround(bottom))));
        if (m != p.axes->margins()) {
            p.axes->setMargins(m);
            changed = true;
        }
    }
    return changed;
}

void PlotCanvas::updateLayout() {
    // The cells of the layout do not depend on the margins: lay out once to learn them, then
    // again with the margins that put each axes where it belongs.
    QCustomPlot::updateLayout();
    if (applyMargins()) QCustomPlot::updateLayout();
}

}  // namespace plots
