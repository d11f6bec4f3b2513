#include "plots/waterfall_view.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "plots/core/envelope.h"
#include "plots/core/units.h"
#include "plots/plot_style.h"

namespace plots {

namespace {

constexpr double kBoxHeight = 0.75;  // of the box's width and depth
constexpr double kHalfHeight = kBoxHeight / 2;
constexpr std::size_t kColumns = 800;  // more than a window shows side by side
constexpr double kDegree = std::numbers::pi / 180.0;

QString tickText(double v) { return QString::number(v, 'g', 5); }

// Blue for the first slice through cyan, green and yellow to red for the last.
QColor sliceColour(std::size_t i, std::size_t m) {
    const double f = m > 1 ? double(i) / double(m - 1) : 0.0;
    return QColor::fromHsvF(std::clamp((1.0 - f) * 0.66, 0.0, 1.0), 1.0, 0.85);
}

// Lines one widget pixel wide rather than the device's thinnest, which a fine printer makes
// invisible.
QPen line(const QColor& colour, Qt::PenStyle style = Qt::SolidLine) { return QPen(colour, 1, style); }

QRectF textRect(QPointF centre, const QString& s, const QFontMetricsF& fm) {
    const double w = fm.horizontalAdvance(s) + 2, h = fm.height();
    return {centre.x() - w / 2, centre.y() - h / 2, w, h};
}

bool hitsAny(const QRectF& r, const std::vector<QRectF>& others) {
    return std::any_of(others.begin(), others.end(), [&](const QRectF& o) { return r.intersects(o); });
}

}  // namespace

WaterfallView::WaterfallView(WaterfallData data, QWidget* parent) : QWidget(parent), data_(std::move(data)) {
    setMinimumSize(200, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resetZoom();
    setView(kAzimuth, kElevation);
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
    cosAz_ = std::cos(az_ * kDegree);
    sinAz_ = std::sin(az_ * kDegree);
    cosEl_ = std::cos(el_ * kDegree);
    sinEl_ = std::sin(el_ * kDegree);
    update();
}

void WaterfallView::resetView() {
    resetZoom();
    setView(kAzimuth, kElevation);
}

void WaterfallView::resetZoom() {
    // A single slice still gets a time axis to stand on.
    zoomTo(data_.fMin, data_.fMax, data_.tMin, data_.tMax > data_.tMin ? data_.tMax : data_.tMin + 1);
}

void WaterfallView::zoomTo(double f0, double f1, double t0, double t1) {
    const double tEnd = data_.tMax > data_.tMin ? data_.tMax : data_.tMin + 1;
    const double binWidth = (data_.fMax - data_.fMin) / double(std::max<std::size_t>(data_.n, 1));
    const double step = data_.time.size() > 1 ? data_.time[1] - data_.time[0] : tEnd - data_.tMin;
    auto limit = [](double& a, double& b, double lo, double hi, double least) {
        if (a > b) std::swap(a, b);
        if (b - a < least) {
            const double c = (a + b) / 2;
            a = c - least / 2;
            b = c + least / 2;
        }
        if (a < lo) b += lo - a, a = lo;
        if (b > hi) a -= b - hi, b = hi;
        a = std::max(a, lo);
    };
    limit(f0, f1, data_.fMin, data_.fMax, std::min(4 * binWidth, data_.fMax - data_.fMin));
    limit(t0, t1, data_.tMin, tEnd, std::min(step, tEnd - data_.tMin));
    xMin_ = f0, xMax_ = f1, yMin_ = t0, yMax_ = t1;
    choose();
    update();
}

void WaterfallView::choose() {
    const double fEps = 1e-9 * (data_.fMax - data_.fMin), tEps = 1e-9 * (yMax_ - yMin_ + 1);
    slices_.clear();
    for (std::size_t i = 0; i < data_.m; ++i)
        if (data_.time[i] >= yMin_ - tEps && data_.time[i] <= yMax_ + tEps) slices_.push_back(i);
    std::size_t k0 = 0, k1 = data_.n;
    while (k0 < data_.n && data_.freq[k0] < xMin_ - fEps) ++k0;
    while (k1 > k0 && data_.freq[k1 - 1] > xMax_ + fEps) --k1;
    kept_.assign(data_.m, {});
    if (k1 <= k0) return;
    for (std::size_t i : slices_) {
        kept_[i] = envelopeIndices(&data_.magSignal[i * data_.n + k0], k1 - k0, kColumns);
        for (std::size_t& k : kept_[i]) k += k0;
    }
}

double WaterfallView::u(double f) const { return xMax_ > xMin_ ? (f - xMin_) / (xMax_ - xMin_) - 0.5 : 0.0; }
double WaterfallView::v(double t) const { return (t - yMin_) / (yMax_ - yMin_) - 0.5; }
double WaterfallView::w(double z) const {
    const double c = std::clamp(z, data_.mMin, data_.mMax);
    const double span = data_.mMax - data_.mMin;
    return span > 0 ? ((c - data_.mMin) / span - 0.5) * kBoxHeight : 0.0;
}

// The viewer looks from the azimuth (measured from the front, -v) and elevation; screen x runs
// along the horizontal perpendicular of the line of sight.
QPointF WaterfallView::project(const Point3& p) const {
    const double x = p.u * cosAz_ + p.v * sinAz_;
    const double d = -p.u * sinAz_ + p.v * cosAz_;
    const double y = p.w * cosEl_ + d * sinEl_;
    return {centre_.x() + scale_ * x, centre_.y() - scale_ * y};
}

std::optional<WaterfallView::Pick> WaterfallView::pick(QPointF at) const {
    const double a = az_ * kDegree;
    const double c = std::cos(a), s = std::sin(a);
    if (std::abs(c) < 1e-6 || slices_.empty() || xMax_ <= xMin_) return std::nullopt;
    const double X = (at.x() - centre_.x()) / scale_;
    // Nearest slice first: the first one whose filled outline covers the point is the one seen.
    std::vector<std::size_t> order = slices_;
    if (c < 0) std::reverse(order.begin(), order.end());
    for (std::size_t i : order) {
        const double vi = v(data_.time[i]);
        const double ui = (X - vi * s) / c;
        if (ui < -0.5 || ui > 0.5) continue;
        const double f = xMin_ + (ui + 0.5) * (xMax_ - xMin_);
        const auto nearest = std::lower_bound(data_.freq.begin(), data_.freq.end(), f);
        std::size_t k = std::min<std::size_t>(nearest - data_.freq.begin(), data_.n - 1);
        if (k > 0 && f - data_.freq[k - 1] < data_.freq[k] - f) --k;
        const double z = data_.at(i, k);
        const double top = project({ui, vi, w(z)}).y(), bottom = project({ui, vi, -kHalfHeight}).y();
        if (at.y() >= std::min(top, bottom) - 0.5 && at.y() <= std::max(top, bottom) + 0.5)
            return Pick{data_.freq[k], data_.time[i], z, i, k};
    }
    return std::nullopt;
}

std::optional<QPointF> WaterfallView::locate(QPointF at) const {
    if (const auto p = pick(at)) return QPointF(p->f, p->t);
    const double a = az_ * kDegree, e = el_ * kDegree;
    if (std::abs(std::sin(e)) < 1e-6) return std::nullopt;
    const double X = (at.x() - centre_.x()) / scale_, Y = (centre_.y() - at.y()) / scale_;
    const double floorW = el_ >= 0 ? -kHalfHeight : kHalfHeight;
    const double d = (Y - floorW * std::cos(e)) / std::sin(e);
    const double uu = X * std::cos(a) - d * std::sin(a), vv = X * std::sin(a) + d * std::cos(a);
    if (std::abs(uu) > 0.5 || std::abs(vv) > 0.5) return std::nullopt;
    return QPointF(xMin_ + (uu + 0.5) * (xMax_ - xMin_), yMin_ + (vv + 0.5) * (yMax_ - yMin_));
}

void WaterfallView::layoutTexts(const QFontMetricsF& fm) {
    const double lineH = fm.height();
    const double a = az_ * kDegree;
    const double uFront = -std::sin(a) > 0 ? -0.5 : 0.5, vFront = std::cos(a) > 0 ? -0.5 : 0.5;
    const double wFloor = el_ >= 0 ? -kHalfHeight : kHalfHeight;
    const QPointF middle = project({0, 0, 0});
    auto away = [&](const QPointF& at, double distance) {
        const QPointF d = at - middle;
        const double len = std::hypot(d.x(), d.y());
        return len > 0 ? at + d * (distance / len) : at;
    };
    boxes_ = {};
    for (double f : niceTicks(xMin_, xMax_))
        boxes_.ticks[0].push_back(textRect(away(project({u(f), vFront, wFloor}), 1.2 * lineH), tickText(f), fm));
    for (double t : niceTicks(yMin_, yMax_))
        boxes_.ticks[1].push_back(textRect(away(project({uFront, v(t), wFloor}), 1.2 * lineH), tickText(t), fm));
    // The z scale stands on the vertical edge farthest left on the screen.
    Point3 zEdge{-0.5, -0.5, 0};
    double leftmost = 1e300;
    for (double pu : {-0.5, 0.5})
        for (double pv : {-0.5, 0.5})
            if (const double x = project({pu, pv, 0}).x(); x < leftmost) leftmost = x, zEdge = {pu, pv, 0};
    const dsp::RVec zTicks = niceTicks(data_.mMin, data_.mMax);
    double zWidth = 0;
    for (double z : zTicks) zWidth = std::max(zWidth, fm.horizontalAdvance(tickText(z)));
    for (double z : zTicks)
        boxes_.ticks[2].push_back(
            textRect(project({zEdge.u, zEdge.v, w(z)}) - QPointF(zWidth / 2 + 0.6 * lineH, 0), tickText(z), fm));

    // Axis labels beyond the tick texts of both floor edges, however the box is turned.
    std::vector<QRectF> floorTicks = boxes_.ticks[0];
    floorTicks.insert(floorTicks.end(), boxes_.ticks[1].begin(), boxes_.ticks[1].end());
    auto clearOfTicks = [&](const Point3& edgeMiddle, const QString& text) {
        QRectF r;
        for (double d = 2.6 * lineH; d < 20 * lineH; d += 0.3 * lineH)
            if (r = textRect(away(project(edgeMiddle), d), text, fm); !hitsAny(r, floorTicks)) break;
        return r;
    };
    boxes_.labels[0] = clearOfTicks({0, vFront, wFloor}, xLabel_);
    boxes_.labels[1] = clearOfTicks({uFront, 0, wFloor}, yLabel_);
    const QPointF zAt = project({zEdge.u, zEdge.v, 0}) - QPointF(zWidth + 1.6 * lineH, 0);
    const double zLength = fm.horizontalAdvance(zLabel_) + 2;
    boxes_.labels[2] = QRectF(zAt.x() - lineH / 2, zAt.y() - zLength / 2, lineH, zLength);
    boxes_.title = QRectF(0, 0.4 * lineH, size_.width(), 1.5 * lineH);
}

void WaterfallView::fit(const QFontMetricsF& fm) {
    const double lineH = fm.height();
    std::array<Point3, 8> corners;
    for (int k = 0; k < 8; ++k)
        corners[k] = {k & 1 ? 0.5 : -0.5, k & 2 ? 0.5 : -0.5, k & 4 ? kHalfHeight : -kHalfHeight};
    auto cornerBounds = [&] {
        QRectF b;
        for (const Point3& c : corners) b |= QRectF(project(c), QSizeF(0.01, 0.01));
        return b;
    };
    scale_ = 1;
    centre_ = {0, 0};
    const QRectF unit = cornerBounds();
    // Start from the box alone in the room the labels usually leave, then shrink and move it
    // until every text is inside the widget too.
    const QRectF room = QRectF(QPointF(), size_).adjusted(5 * lineH, 2.5 * lineH, -3 * lineH, -4 * lineH);
    scale_ = std::max(1.0, std::min(room.width() / unit.width(), room.height() / unit.height()));
    centre_ = room.center() - unit.center() * scale_;
    const QRectF target = QRectF(QPointF(), size_).adjusted(2, 2 * lineH, -2, -2);
    for (int round = 0; round < 12; ++round) {
        layoutTexts(fm);
        QRectF all = cornerBounds();
        for (const auto& ticks : boxes_.ticks)
            for (const QRectF& r : ticks) all |= r;
        for (const QRectF& r : boxes_.labels) all |= r;
        if (target.contains(all)) break;
        if (all.width() > target.width() || all.height() > target.height()) {
            const double shrink = std::min(target.width() / all.width(), target.height() / all.height());
            const QPointF anchor = all.center();
            const double next = std::max(1.0, scale_ * std::clamp(shrink * 0.98, 0.5, 0.98));
            centre_ = anchor + (centre_ - anchor) * (next / scale_);
            scale_ = next;
        } else {
            centre_ += target.center() - all.center();
        }
    }
}

void WaterfallView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter);
}

void WaterfallView::paint(QPainter& painter) {
    size_ = size();
    painter.fillRect(QRectF(QPointF(), size_), QColor(204, 204, 204));
    painter.setFont(font());
    const QFontMetricsF fm(font(), this);
    fit(fm);

    // The walls behind the data, the floor and their grids.
    const double a = az_ * kDegree;
    const double uBack = -std::sin(a) > 0 ? 0.5 : -0.5;  // the farther of the two u walls
    const double vBack = std::cos(a) > 0 ? 0.5 : -0.5;
    const double wFloor = el_ >= 0 ? -kHalfHeight : kHalfHeight;
    auto segment = [&](const Point3& p, const Point3& q) { painter.drawLine(project(p), project(q)); };

    painter.setRenderHint(QPainter::Antialiasing, true);
    QPolygonF floorPoly, uWall, vWall;
    for (auto [pu, pv] : {std::pair{-0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}, {-0.5, 0.5}}) floorPoly << project({pu, pv, wFloor});
    for (auto [pv, pw] : {std::pair{-0.5, -kHalfHeight}, {0.5, -kHalfHeight}, {0.5, kHalfHeight}, {-0.5, kHalfHeight}})
        uWall << project({uBack, pv, pw});
    for (auto [pu, pw] : {std::pair{-0.5, -kHalfHeight}, {0.5, -kHalfHeight}, {0.5, kHalfHeight}, {-0.5, kHalfHeight}})
        vWall << project({pu, vBack, pw});
    painter.setPen(line(Qt::black));
    painter.setBrush(Qt::white);
    for (const QPolygonF* p : {&floorPoly, &uWall, &vWall}) painter.drawPolygon(*p);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(line(QColor(150, 150, 150), Qt::DotLine));
    for (double f : niceTicks(xMin_, xMax_)) {
        segment({u(f), -0.5, wFloor}, {u(f), 0.5, wFloor});
        segment({u(f), vBack, -kHalfHeight}, {u(f), vBack, kHalfHeight});
    }
    for (double t : niceTicks(yMin_, yMax_)) {
        segment({-0.5, v(t), wFloor}, {0.5, v(t), wFloor});
        segment({uBack, v(t), -kHalfHeight}, {uBack, v(t), kHalfHeight});
    }
    for (double z : niceTicks(data_.mMin, data_.mMax)) {
        segment({uBack, -0.5, w(z)}, {uBack, 0.5, w(z)});
        segment({-0.5, vBack, w(z)}, {0.5, vBack, w(z)});
    }

    // Slices from the farthest to the nearest, each filled down to the lowest level so that it
    // covers the lines behind it.
    std::vector<std::size_t> order = slices_;
    if (std::cos(a) >= 0) std::reverse(order.begin(), order.end());  // later slices are farther
    painter.setRenderHint(QPainter::Antialiasing, false);
    QPolygonF slice;
    for (std::size_t i : order) {
        const std::vector<std::size_t>& bins = kept_[i];
        if (bins.empty()) continue;
        const double vi = v(data_.time[i]);
        slice.clear();
        slice.reserve(static_cast<qsizetype>(bins.size() + 2));
        for (std::size_t k : bins) slice << project({u(data_.freq[k]), vi, w(data_.at(i, k))});
        const QPointF first = slice.front(), last = slice.back();
        slice << project({u(data_.freq[bins.back()]), vi, -kHalfHeight})
              << project({u(data_.freq[bins.front()]), vi, -kHalfHeight});
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawPolygon(slice);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(line(sliceColour(i, data_.m)));
        // The top line and the two ends that go down to the lowest level.
        painter.drawPolyline(slice.constData(), slice.size() - 2);
        painter.drawLine(first, slice[slice.size() - 1]);
        painter.drawLine(last, slice[slice.size() - 2]);
    }

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::black);
    const std::array<dsp::RVec, 3> ticks{niceTicks(xMin_, xMax_), niceTicks(yMin_, yMax_), niceTicks(data_.mMin, data_.mMax)};
    for (std::size_t axis = 0; axis < 3; ++axis)
        for (std::size_t j = 0; j < ticks[axis].size() && j < boxes_.ticks[axis].size(); ++j)
            painter.drawText(boxes_.ticks[axis][j], Qt::AlignCenter, tickText(ticks[axis][j]));
    painter.drawText(boxes_.labels[0], Qt::AlignCenter, xLabel_);
    painter.drawText(boxes_.labels[1], Qt::AlignCenter, yLabel_);
    painter.save();
    painter.translate(boxes_.labels[2].center());
    painter.rotate(-90);
    painter.drawText(QRectF(-boxes_.labels[2].height() / 2, -boxes_.labels[2].width() / 2, boxes_.labels[2].height(),
                            boxes_.labels[2].width()),
                     Qt::AlignCenter, zLabel_);
    painter.restore();
    QFont bold = font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(boxes_.title, Qt::AlignCenter, title_);

    if (box_) {
        painter.setPen(line(Qt::black, Qt::DashLine));
        painter.setBrush(QColor(0, 0, 255, 30));
        painter.drawRect(box_->normalized());
    }
}

void WaterfallView::mousePressEvent(QMouseEvent* event) {
    dragFrom_ = event->position().toPoint();
    if (zoom_ && event->button() == Qt::LeftButton) box_ = QRect(dragFrom_, dragFrom_);
}

void WaterfallView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint now = event->position().toPoint();
    if (event->buttons() & Qt::LeftButton) {
        if (box_) {
            box_->setBottomRight(now);
            update();
        } else if (rotate_) {
            const QPoint d = now - dragFrom_;
            dragFrom_ = now;
            // Dragging right turns the box to the right, dragging down tips its top towards the viewer.
            setView(az_ - 0.5 * d.x(), el_ + 0.5 * d.y());
        }
    }
    const auto p = pick(event->position());
    emit readoutChanged(p ? readoutText(p->f, QString::fromStdString(data_.fUnits), p->t,
                                        QString::fromStdString(data_.tUnits), p->level, "dB")
                          : QString());
}

void WaterfallView::mouseReleaseEvent(QMouseEvent*) {
    if (!box_) return;
    const QRect r = box_->normalized();
    box_.reset();
    update();
    if (r.width() < 5 || r.height() < 5) return;
    // The frequencies and times the box covers on the slices (or the floor) under it.
    double f0 = 1e300, f1 = -1e300, t0 = 1e300, t1 = -1e300;
    for (QPointF at : {QPointF(r.topLeft()), QPointF(r.topRight()), QPointF(r.bottomLeft()), QPointF(r.bottomRight()),
                       QPointF(r.center())})
        if (const auto p = locate(at)) {
            f0 = std::min(f0, p->x()), f1 = std::max(f1, p->x());
            t0 = std::min(t0, p->y()), t1 = std::max(t1, p->y());
        }
    if (f1 >= f0) zoomTo(f0, f1, t0, t1);
}

void WaterfallView::mouseDoubleClickEvent(QMouseEvent*) {
    if (zoom_) resetZoom();
}

void WaterfallView::wheelEvent(QWheelEvent* event) {
    if (!zoom_) {
        event->ignore();
        return;
    }
    const QPointF at = locate(event->position()).value_or(QPointF((xMin_ + xMax_) / 2, (yMin_ + yMax_) / 2));
    // A notch away from the user zooms in by a fifth, around the point under the mouse.
    const double factor = std::pow(0.8, event->angleDelta().y() / 120.0);
    zoomTo(at.x() + (xMin_ - at.x()) * factor, at.x() + (xMax_ - at.x()) * factor, at.y() + (yMin_ - at.y()) * factor,
           at.y() + (yMax_ - at.y()) * factor);
}

void WaterfallView::leaveEvent(QEvent*) { emit readoutChanged(QString()); }

}  // namespace plots
