#pragma once
// Colours and axis helpers the plot windows share.
#include <QColor>
#include <QString>
#include <QStringList>
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

// What lies under the mouse, "f = 1.2288 MHz   t = 3.3 ms   -42.1 dB"; NaN parts are left out.
inline QString readoutText(double f, const QString& fUnits, double t, const QString& tUnits, double level,
                           const QString& levelUnits) {
    QStringList parts;
    if (f == f) parts << "f = " + QString::number(f, 'f', 4) + " " + fUnits;
    if (t == t) parts << "t = " + QString::number(t, 'g', 5) + " " + tUnits;
    if (level == level) parts << QString::number(level, 'f', 1) + " " + levelUnits;
    return parts.join("   ");
}

}  // namespace plots
