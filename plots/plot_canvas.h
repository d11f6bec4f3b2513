#pragma once
// A QCustomPlot whose axes sit at fixed fractions of the window, as the plot windows place them
// (moved in where a small window leaves too little room for their ticks and labels), with a title
// above each axes, home ranges for the zoom reset and the interactive zoom switch.
#include <QString>
#include <qcustomplot.h>
#include <vector>

#include "plots/core/placement.h"
#include "plots/zoomable.h"

namespace plots {

class PlotCanvas : public QCustomPlot, public Zoomable {
    Q_OBJECT
public:
    explicit PlotCanvas(QWidget* parent = nullptr);

    // The first call uses the canvas' own axes; later ones stack new axes below. `position` is
    // in fractions of the canvas from its bottom left corner; the axes are found by `tag`.
    QCPAxisRect* addAxes(const Box& position, const QString& tag);
    void setTitle(QCPAxisRect* axes, const QString& title);
    // Equal scaling: the inner rectangle is kept square, centred in its place.
    void setSquare(QCPAxisRect* axes, bool on);
    // A line over rising x in the axes.
    QCPGraph* addLine(QCPAxisRect* axes, const std::vector<double>& x, const std::vector<double>& y,
                      const QColor& colour);
    // Points or a line in any order (traces, trajectories); NaN breaks the line.
    QCPCurve* addCurve(QCPAxisRect* axes, const std::vector<double>& x, const std::vector<double>& y);
    // A colour bar beside the axes, level with them, for a colour map drawn in them.
    QCPColorScale* addColourScale(QCPAxisRect* axes, const QString& label);
    // Zooming either axes' x range zooms the other's too.
    static void linkX(QCPAxisRect* a, QCPAxisRect* b);
    // The names of the curves in the first axes, in its top right corner.
    void showLegend();

    void rememberHome() override;
    void resetZoom() override;
    void setZoomEnabled(bool on) override;
    bool zoomEnabled() const override { return zoom_; }

protected:
    void updateLayout() override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Placed {
        QCPAxisRect* axes;
        Box position;
        bool square = false;
        QCPItemText* title = nullptr;
        QCPColorScale* scale = nullptr;
    };
    struct Home {
        QCPAxis* axis;
        QCPRange range;
    };
    void applyMargins(const std::vector<QMargins>& needed);

    std::vector<Placed> placed_;
    std::vector<Home> home_;
    bool zoom_ = false;
};

}  // namespace plots
