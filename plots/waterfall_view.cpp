#include "plots/waterfall_view.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "plots/core/envelope.h"
#include "plots/core/units.h"

namespace plots {

namespace {

constexpr double kBoxHeight = 0.75;  // of the box's width and depth
constexpr std::size_t kColumns = 800;  // more than a window shows side by side
constexpr double kDegree = std::numbers::pi / 180.0;

QString tickText(double v) { return QString::number(v, 'g', 5); }

// Blue for the first slice through cyan, green and yellow to red for the last.
QColor sliceColour(std::size_t i, std::size_t m) {
    const double f = m > 1 ? double(i) / double(m - 1) : 0.0;
    return QColor::fromHsvF(std::clamp((1.0 - f) * 0.66, 0.0, 1.0), 1.0, 0.85);
}

}  // namespace

WaterfallView::WaterfallView(WaterfallData data, QWidget* parent) : QWidget(parent), data_(std::move(data)) {
    setMinimumSize(200, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    kept_.reserve(data_.m);
    for (std::size_t i = 0; i < data_.m; ++i) kept_.push_back(envelopeIndices(&data_.magSignal[i * data_.n], data_.n, kColumns));
    yMin_ = data_.tMin;
    yMax_ = data_.tMax > data_.tMin ? data_.tMax : data_.tMin + 1;
}

void WaterfallView::setLabels(const QString& x, const QString& y, const QString& z, const QString& title) {
    xLabel_ = x;
    yLabel_ = y;
    zLabel_ = z;
    title_ = title;
    update();
}

void WaterfallView::setView(double azimuth, double elevation) {
    az_ = std::remainder(azimuth, 360.0);
    el_ = std::clamp(elevation, -90.0, 90.0);
    update();
}

double WaterfallView::u(double f) const {
    return data_.fMax > data_.fMin ? (f - data_.fMin) / (data_.fMax - data_.fMin) - 0.5 : 0.0;
}
double WaterfallView::v(double t) const { return (t - yMin_) / (yMax_ - yMin_) - 0.5; }
double WaterfallView::w(double z) const {
    const double c = std::clamp(z, data_.mMin, data_.mMax);
    const double span = data_.mMax - data_.mMin;
    return span > 0 ? ((c - data_.mMin) / span - 0.5) * kBoxHeight : 0.0;
}

// The viewer looks from the azimuth (measured from the front, -v) and elevation; screen x runs
// along the horizontal perpendicular of the line of sight.
QPointF WaterfallView::project(const Point3& p) const {
    const double a = az_ * kDegree, e = el_ * kDegree;
    const double x = p.u * std::cos(a) + p.v * std::sin(a);
    const double d = -p.u * std::sin(a) + p.v * std::cos(a);
    const double y = p.w * std::cos(e) + d * std::sin(e);
    return {centre_.x() + scale_ * x, centre_.y() - scale_ * y};
}

double WaterfallView::depth(const Point3& p) const {
    const double a = az_ * kDegree, e = el_ * kDegree;
    const double d = -p.u * std::sin(a) + p.v * std::cos(a);
    return d * std::cos(e) - p.w * std::sin(e);
}

void WaterfallView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(204, 204, 204));
    const QFontMetricsF fm(font());
    const double lineH = fm.height();

    // Fit the box, as seen now, between room for the labels.
    const double h2 = kBoxHeight / 2;
    std::array<Point3, 8> corners;
    for (int k = 0; k < 8; ++k) corners[k] = {k & 1 ? 0.5 : -0.5, k & 2 ? 0.5 : -0.5, k & 4 ? h2 : -h2};
    scale_ = 1;
    centre_ = {0, 0};
    double x0 = 1e9, x1 = -1e9, y0 = 1e9, y1 = -1e9;
    for (const Point3& c : corners) {
        const QPointF q = project(c);
        x0 = std::min(x0, q.x()), x1 = std::max(x1, q.x());
        y0 = std::min(y0, q.y()), y1 = std::max(y1, q.y());
    }
    const QRectF room = QRectF(rect()).adjusted(5 * lineH, 2.5 * lineH, -3 * lineH, -4 * lineH);
    scale_ = std::max(1.0, std::min(room.width() / std::max(1e-9, x1 - x0), room.height() / std::max(1e-9, y1 - y0)));
    centre_ = room.center() - QPointF((x0 + x1) / 2 * scale_, (y0 + y1) / 2 * scale_);

    // The walls behind the data, the floor and their grids.
    const double a = az_ * kDegree;
    const double uBack = -std::sin(a) > 0 ? 0.5 : -0.5;  // the farther of the two u walls
    const double vBack = std::cos(a) > 0 ? 0.5 : -0.5;
    const double wFloor = el_ >= 0 ? -h2 : h2;
    const dsp::RVec xTicks = niceTicks(data_.fMin, data_.fMax);
    const dsp::RVec yTicks = niceTicks(yMin_, yMax_);
    const dsp::RVec zTicks = niceTicks(data_.mMin, data_.mMax);
    auto line = [&](const Point3& p, const Point3& q) { painter.drawLine(project(p), project(q)); };

    painter.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF floorPoly, uWall, vWall;
    for (auto [pu, pv] : {std::pair{-0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}, {-0.5, 0.5}}) floorPoly << project({pu, pv, wFloor});
    for (auto [pv, pw] : {std::pair{-0.5, -h2}, {0.5, -h2}, {0.5, h2}, {-0.5, h2}}) uWall << project({uBack, pv, pw});
    for (auto [pu, pw] : {std::pair{-0.5, -h2}, {0.5, -h2}, {0.5, h2}, {-0.5, h2}}) vWall << project({pu, vBack, pw});
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::white);
    for (const QPolygonF* p : {&floorPoly, &uWall, &vWall}) painter.drawPolygon(*p);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(150, 150, 150), 0, Qt::DotLine));
    for (double f : xTicks) {
        line({u(f), -0.5, wFloor}, {u(f), 0.5, wFloor});
        line({u(f), vBack, -h2}, {u(f), vBack, h2});
    }
    for (double t : yTicks) {
        line({-0.5, v(t), wFloor}, {0.5, v(t), wFloor});
        line({uBack, v(t), -h2}, {uBack, v(t), h2});
    }
    for (double z : zTicks) {
        line({uBack, -0.5, w(z)}, {uBack, 0.5, w(z)});
        line({-0.5, vBack, w(z)}, {0.5, vBack, w(z)});
    }

    // Slices from the farthest to the nearest, each filled down to the lowest level so that it covers
    // the lines behind it.
    std::vector<std::size_t> order(data_.m);
    for (std::size_t i = 0; i < data_.m; ++i) order[i] = i;
    const double sign = std::cos(a) >= 0 ? 1.0 : -1.0;
    std::sort(order.begin(), order.end(), [&](std::size_t p, std::size_t q) {
        return sign * data_.time[p] > sign * data_.time[q];
    });
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPolygonF slice;
    for (std::size_t i : order) {
        const double vi = v(data_.time[i]);
        const std::vector<std::size_t>& bins = kept_[i];
        slice.clear();
        slice.reserve(static_cast<qsizetype>(bins.size() + 2));
        for (std::size_t k : bins) slice << project({u(data_.freq[k]), vi, w(data_.at(i, k))});
        const QPointF first = slice.front(), last = slice.back();
        slice << project({u(data_.freq[bins.back()]), vi, -h2}) << project({u(data_.freq[bins.front()]), vi, -h2});
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawPolygon(slice);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(sliceColour(i, data_.m), 0));
        // The top line and the two ends that go down to the lowest level.
        painter.drawPolyline(slice.constData(), slice.size() - 2);
        painter.drawLine(first, slice[slice.size() - 1]);
        painter.drawLine(last, slice[slice.size() - 2]);
    }

    // Ticks and labels on the near edges, pushed away from the box.
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::black);
    const QPointF middle = project({0, 0, 0});
    auto away = [&](const QPointF& at, double distance) {
        QPointF d = at - middle;
        const double len = std::hypot(d.x(), d.y());
        return len > 0 ? at + d * (distance / len) : at;
    };
    auto text = [&](const QPointF& at, const QString& s) {
        const QRectF r = fm.boundingRect(s);
        painter.drawText(QRectF(at.x() - r.width() / 2, at.y() - r.height() / 2, r.width() + 2, r.height()),
                         Qt::AlignCenter, s);
    };
    const double vFront = -vBack, uFront = -uBack;
    for (double f : xTicks) text(away(project({u(f), vFront, wFloor}), 1.2 * lineH), tickText(f));
    for (double t : yTicks) text(away(project({uFront, v(t), wFloor}), 1.2 * lineH), tickText(t));
    // The z scale stands on the vertical edge farthest left on the screen.
    Point3 zEdge{-0.5, -0.5, 0};
    double leftmost = 1e9;
    for (double pu : {-0.5, 0.5})
        for (double pv : {-0.5, 0.5}) {
            const double x = project({pu, pv, 0}).x();
            if (x < leftmost) leftmost = x, zEdge = {pu, pv, 0};
        }
    double zWidth = 0;
    for (double z : zTicks) zWidth = std::max(zWidth, fm.horizontalAdvance(tickText(z)));
    for (double z : zTicks) {
        const QPointF at = project({zEdge.u, zEdge.v, w(z)});
        text(at - QPointF(zWidth / 2 + 0.6 * lineH, 0), tickText(z));
    }
    text(away(project({0, vFront, wFloor}), 2.8 * lineH), xLabel_);
    text(away(project({uFront, 0, wFloor}), 2.8 * lineH), yLabel_);
    {
        const QPointF at = project({zEdge.u, zEdge.v, 0}) - QPointF(zWidth + 1.6 * lineH, 0);
        painter.save();
        painter.translate(at);
        painter.rotate(-90);
        text({0, 0}, zLabel_);
        painter.restore();
    }
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(0, 0.4 * lineH, width(), 1.5 * lineH), Qt::AlignCenter, title_);
}

void WaterfallView::mousePressEvent(QMouseEvent* event) { dragFrom_ = event->position().toPoint(); }

void WaterfallView::mouseMoveEvent(QMouseEvent* event) {
    if (!rotate_ || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint now = event->position().toPoint();
    const QPoint d = now - dragFrom_;
    dragFrom_ = now;
    // Dragging right turns the box to the right, dragging down tips its top towards the viewer.
    setView(az_ - 0.5 * d.x(), el_ + 0.5 * d.y());
}

}  // namespace plots
