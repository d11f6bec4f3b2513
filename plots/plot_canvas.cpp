#include "plots/plot_canvas.h"

#include <algorithm>
#include <cmath>

#include "plots/plot_style.h"

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

// Tens of thousands of markers: on screen stamped from one picture of the marker, which costs a
// fraction of drawing each shape; on paper and in vector files drawn as shapes.
class StampedCurve : public QCPCurve {
public:
    using QCPCurve::QCPCurve;

protected:
    void drawScatterPlot(QCPPainter* painter, const QVector<QPointF>& points, const QCPScatterStyle& style) const override {
        if (painter->modes().testFlag(QCPPainter::pmVectorized) || points.size() < 500) {
            QCPCurve::drawScatterPlot(painter, points, style);
            return;
        }
        const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = int(std::ceil(style.size() + 2 * style.pen().widthF())) + 2;
        QPixmap stamp(QSize(side, side) * ratio);
        stamp.setDevicePixelRatio(ratio);
        stamp.fill(Qt::transparent);
        {
            QCPPainter shape(&stamp);
            shape.setAntialiasing(mAntialiasedScatters);
            style.applyTo(&shape, mPen);
            style.drawShape(&shape, side / 2.0, side / 2.0);
        }
        for (const QPointF& p : points) painter->drawPixmap(QPointF(p.x() - side / 2.0, p.y() - side / 2.0), stamp);
    }
};

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
    auto* c = new StampedCurve(axes->axis(QCPAxis::atBottom), axes->axis(QCPAxis::atLeft));
    // Appended rather than made and then overwritten: a million points are written once.
    const std::size_t n = std::min(x.size(), y.size());
    QVector<QCPCurveData> data;
    data.reserve(static_cast<qsizetype>(n));
    for (std::size_t k = 0; k < n; ++k) data.append(QCPCurveData(static_cast<double>(k), x[k], y[k]));
    c->data()->set(data, true);
    // Tens of thousands of overlapping traces: smoothing them costs more than it shows.
    c->setAntialiased(false);
    return c;
}

QCPColorScale* PlotCanvas::addColourScale(QCPAxisRect* axes, const QString& label) {
    auto* scale = new QCPColorScale(this);
    int row = 0, column = 0;
    for (int r = 0; r < plotLayout()->rowCount(); ++r)
        if (plotLayout()->element(r, 0) == axes) row = r;
    column = plotLayout()->columnCount();
    plotLayout()->addElement(row, column, scale);
    // The bar takes only the width it needs; the axes keep the rest.
    plotLayout()->setColumnStretchFactor(column, 0.001);
    scale->setType(QCPAxis::atRight);
    scale->setLabel(label);
    scale->setBarWidth(14);
    scale->setAutoMargins(QCP::msLeft | QCP::msRight);
    for (Placed& p : placed_)
        if (p.axes == axes) p.scale = scale;
    return scale;
}

void PlotCanvas::linkX(QCPAxisRect* a, QCPAxisRect* b) {
    QCPAxis* xa = a->axis(QCPAxis::atBottom);
    QCPAxis* xb = b->axis(QCPAxis::atBottom);
    // setRange emits only on a change, so the pair settles after one round.
    connect(xa, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), xb, qOverload<const QCPRange&>(&QCPAxis::setRange));
    connect(xb, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), xa, qOverload<const QCPRange&>(&QCPAxis::setRange));
}

void PlotCanvas::showLegend() {
    legend->setVisible(true);
    legend->setBrush(QColor(255, 255, 255, 220));
    legend->setBorderPen(QPen(Qt::black, 0));
    axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
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

void PlotCanvas::applyMargins(const std::vector<QMargins>& needed) {
    const QRect view = viewport();
    const double W = view.width(), H = view.height();
    for (std::size_t j = 0; j < placed_.size(); ++j) {
        const Placed& p = placed_[j];
        const QRect outer = p.axes->outerRect();
        // The place the axes are given, but never less room than their ticks and labels need.
        double left = std::max(p.position.left * W, double(outer.left() + needed[j].left()));
        double right = std::min((p.position.left + p.position.width) * W, double(outer.right() + 1 - needed[j].right()));
        double top = std::max(H - (p.position.bottom + p.position.height) * H, double(outer.top() + needed[j].top()));
        double bottom = std::min(H - p.position.bottom * H, double(outer.bottom() + 1 - needed[j].bottom()));
        if (p.square) {
            const double side = std::max(0.0, std::min(right - left, bottom - top));
            const double cx = (left + right) / 2, cy = (top + bottom) / 2;
            left = cx - side / 2;
            right = cx + side / 2;
            top = cy - side / 2;
            bottom = cy + side / 2;
        }
        const QMargins m(std::max(0, int(std::lround(left)) - outer.left()), std::max(0, int(std::lround(top)) - outer.top()),
                         std::max(0, outer.left() + outer.width() - int(std::lround(right))),
                         std::max(0, outer.top() + outer.height() - int(std::lround(bottom))));
        p.axes->setAutoMargins(QCP::msNone);
        p.axes->setMargins(m);
        if (p.scale) p.scale->setMargins(QMargins(p.scale->margins().left(), m.top(), p.scale->margins().right(), m.bottom()));
    }
}

void PlotCanvas::updateLayout() {
    // Lay out once with automatic margins to learn what each axes needs for its tick labels and
    // axis labels (and the title above it), then again with the margins that put it in its place.
    for (const Placed& p : placed_) {
        p.axes->setAutoMargins(QCP::msAll);
        // Fewer ticks on short axes, so that their labels do not run into each other.
        const double height = p.position.height * viewport().height(), width = p.position.width * viewport().width();
        yAxisOf(p.axes)->ticker()->setTickCount(std::clamp(int(height / 30), 3, 5));
        xAxisOf(p.axes)->ticker()->setTickCount(std::clamp(int(width / 40), 3, 5));
    }
    QCustomPlot::updateLayout();
    std::vector<QMargins> needed;
    for (const Placed& p : placed_) {
        QMargins m = p.axes->margins();
        if (p.title) m.setTop(m.top() + QFontMetrics(p.title->font()).height() + p.title->padding().bottom());
        needed.push_back(m);
    }
    applyMargins(needed);
    QCustomPlot::updateLayout();
}

}  // namespace plots
