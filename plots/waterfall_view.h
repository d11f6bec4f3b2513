#pragma once
// A three-dimensional waterfall drawn in software: one line per time slice over frequency, each
// slice hiding what lies behind it, in a box with grids, ticks and labels, turned by dragging.
#include <QPoint>
#include <QPolygonF>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <vector>

#include "plots/core/spectrum.h"

namespace plots {

class WaterfallView : public QWidget {
    Q_OBJECT
public:
    static constexpr double kAzimuth = -37.5;  // degrees, the usual first view of a 3-D plot
    static constexpr double kElevation = 30;

    explicit WaterfallView(WaterfallData data, QWidget* parent = nullptr);

    const WaterfallData& data() const { return data_; }
    void setLabels(const QString& x, const QString& y, const QString& z, const QString& title);
    QString xLabel() const { return xLabel_; }
    QString yLabel() const { return yLabel_; }
    QString zLabel() const { return zLabel_; }
    QString title() const { return title_; }
    // Displayed limits; a single slice gets a time axis one unit long.
    double yMin() const { return yMin_; }
    double yMax() const { return yMax_; }

    double azimuth() const { return az_; }
    double elevation() const { return el_; }
    void setView(double azimuth, double elevation);
    void resetView() { setView(kAzimuth, kElevation); }
    bool rotateEnabled() const { return rotate_; }
    void setRotateEnabled(bool on) { rotate_ = on; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    struct Point3 {
        double u, v, w;  // box coordinates, each within -0.5..0.5 (w scaled by the box height)
    };
    QPointF project(const Point3& p) const;
    double depth(const Point3& p) const;  // larger is farther from the viewer
    double u(double f) const;
    double v(double t) const;
    double w(double z) const;

    WaterfallData data_;
    std::vector<std::vector<std::size_t>> kept_;  // per slice, the bins worth drawing
    QString xLabel_, yLabel_, zLabel_, title_;
    double yMin_ = 0, yMax_ = 1;
    double az_ = kAzimuth, el_ = kElevation;
    bool rotate_ = true;
    QPoint dragFrom_;
    // Screen mapping of the current paint.
    double scale_ = 1;
    QPointF centre_;
};

}  // namespace plots
