#pragma once
// Colours and axis helpers the plot windows share.
#include <QColor>
#include <QString>
#include <qcustomplot.h>

namespace plots {

// The first line colour of every axes.
inline const QColor kLineColour{0, 0, 255};

inline QCPAxis* xAxisOf(QCPAxisRect* axes) { return axes->axis(QCPAxis::atBottom); }
inline QCPAxis* yAxisOf(QCPAxisRect* axes) { return axes->axis(QCPAxis::atLeft); }

inline void setLimits(QCPAxisRect* axes, double xMin, double xMax, double yMin, double yMax) {
    xAxisOf(axes)->setRange(xMin, xMax);
    yAxisOf(axes)->setRange(yMin, yMax);
}

inline void setGrids(QCPAxisRect* axes, bool on) {
    xAxisOf(axes)->grid()->setVisible(on);
    yAxisOf(axes)->grid()->setVisible(on);
}

inline void setLabels(QCPAxisRect* axes, const QString& x, const QString& y) {
    xAxisOf(axes)->setLabel(x);
    yAxisOf(axes)->setLabel(y);
}

}  // namespace plots
