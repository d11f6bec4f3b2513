#pragma once
// A QCustomPlot whose axes sit at fixed fractions of the window, as the plot windows place them,
// with a title above each axes, home ranges for the zoom reset and the interactive zoom switch.
#include <QString>
#include <qcustomplot.h>
#include <vector>

#include "plots/core/placement.h"

namespace plots {

class PlotCanvas : public QCustomPlot {
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

    // The ranges Zoom Reset goes back to: the ones set when the plot was drawn.
    void rememberHome();
    void resetZoom();
    void setZoomEnabled(bool on);
    bool zoomEnabled() const { return zoom_; }

protected:
    void updateLayout() override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Placed {
        QCPAxisRect* axes;
        Box position;
        bool square = false;
        QCPItemText* title = nullptr;
    };
    struct Home {
        QCPAxis* axis;
        QCPRange range;
    };
    bool applyMargins();

    std::vector<Placed> placed_;
    std::vector<Home> home_;
    bool zoom_ = false;
};

}  // namespace plots
