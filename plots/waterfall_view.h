#pragma once
// A three-dimensional waterfall drawn in software: one line per time slice over frequency, each
// slice hiding what lies behind it, in a box with grids, ticks and labels, turned by dragging or
// zoomed into a frequency and time range by a dragged box or the wheel. It names the frequency,
// time and level of the slice under the mouse.
#include <QPoint>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "plots/core/spectrum.h"
#include "plots/zoomable.h"

namespace plots {

class WaterfallView : public QWidget, public Zoomable {
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
    double xMin() const { return xMin_; }
    double xMax() const { return xMax_; }
    double yMin() const { return yMin_; }
    double yMax() const { return yMax_; }

    double azimuth() const { return az_; }
    double elevation() const { return el_; }
    void setView(double azimuth, double elevation);
    // The first view angles and the whole data.
    void resetView();
    bool rotateEnabled() const { return rotate_; }
    void setRotateEnabled(bool on) { rotate_ = on; }

    // Shows frequencies f0..f1 and times t0..t1 (display units) of the data, at least four bins
    // and one slice step wide.
    void zoomTo(double f0, double f1, double t0, double t1);
    void setZoomEnabled(bool on) override { zoom_ = on; }
    bool zoomEnabled() const override { return zoom_; }
    void rememberHome() override {}
    void resetZoom() override;

    // The slice under a point of the widget as last painted: its frequency, time and level.
    struct Pick {
        double f = 0, t = 0, level = 0;
        std::size_t slice = 0, bin = 0;
    };
    std::optional<Pick> pick(QPointF at) const;

    // Where the last paint put its texts, in widget pixels: per axis (x, y, z) the tick texts and
    // the axis label.
    struct TextBoxes {
        std::array<std::vector<QRectF>, 3> ticks;
        std::array<QRectF, 3> labels;
        QRectF title;
    };
    const TextBoxes& textBoxes() const { return boxes_; }

    // Everything the widget shows, onto any painter (the screen, a printer, a vector file); lines
    // are at least one widget pixel wide.
    void paint(QPainter& painter);

signals:
    // "f = ... t = ... level", or empty when the mouse is over no slice.
    void readoutChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Point3 {
        double u, v, w;  // box coordinates, each within -0.5..0.5 (w scaled by the box height)
    };
    QPointF project(const Point3& p) const;
    double u(double f) const;
    double v(double t) const;
    double w(double z) const;
    // Frequency and time under a point: on the slice there, else on the floor of the box.
    std::optional<QPointF> locate(QPointF at) const;
    // Scale and centre that fit the box and all its texts inside the widget; fills boxes_.
    void fit(const QFontMetricsF& fm);
    void layoutTexts(const QFontMetricsF& fm);
    // The slices shown, farthest first, and per slice the bins worth drawing.
    void choose();

    WaterfallData data_;
    std::vector<std::size_t> slices_;
    std::vector<std::vector<std::size_t>> kept_;
    QString xLabel_, yLabel_, zLabel_, title_;
    double xMin_ = 0, xMax_ = 1, yMin_ = 0, yMax_ = 1;
    double az_ = kAzimuth, el_ = kElevation;
    // Of the view angles, for the projection of every point of every slice.
    double cosAz_ = 1, sinAz_ = 0, cosEl_ = 1, sinEl_ = 0;
    bool rotate_ = true;
    bool zoom_ = false;
    QPoint dragFrom_;
    std::optional<QRect> box_;  // the zoom box being dragged
    // Screen mapping and texts of the current paint.
    double scale_ = 1;
    QPointF centre_;
    QSizeF size_;
    TextBoxes boxes_;
};

}  // namespace plots
