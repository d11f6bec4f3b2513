#include <QMenuBar>
#include <exception>
#include <memory>
#include <stdexcept>

#include "host/qt/dialogs.h"
#include "plots/core/thin_path.h"
#include "plots/core/time_plots.h"
#include "plots/drawing_components.h"
#include "plots/plot_canvas.h"
#include "plots/plot_style.h"
#include "plots/plots.h"

namespace plots {

namespace {

struct LineSpec {
    QColor colour = kLineColour;
    Qt::PenStyle line = Qt::NoPen;
    QCPScatterStyle::ScatterShape marker = QCPScatterStyle::ssNone;
};

LineSpec parseStyle(const std::string& style) {
    LineSpec s;
    bool anyLine = false, anyMarker = false;
    for (std::size_t k = 0; k < style.size(); ++k) {
        const char c = style[k];
        const char next = k + 1 < style.size() ? style[k + 1] : '\0';
        switch (c) {
        case 'b': s.colour = QColor(0, 0, 255); break;
        case 'g': s.colour = QColor(0, 255, 0); break;
        case 'r': s.colour = QColor(255, 0, 0); break;
        case 'c': s.colour = QColor(0, 255, 255); break;
        case 'm': s.colour = QColor(255, 0, 255); break;
        case 'y': s.colour = QColor(255, 255, 0); break;
        case 'k': s.colour = QColor(0, 0, 0); break;
        case 'w': s.colour = QColor(255, 255, 255); break;
        case '.': s.marker = QCPScatterStyle::ssDisc; anyMarker = true; break;
        case 'o': s.marker = QCPScatterStyle::ssCircle; anyMarker = true; break;
        case 'x': s.marker = QCPScatterStyle::ssCross; anyMarker = true; break;
        case '+': s.marker = QCPScatterStyle::ssPlus; anyMarker = true; break;
        case '*': s.marker = QCPScatterStyle::ssStar; anyMarker = true; break;
        case 's': s.marker = QCPScatterStyle::ssSquare; anyMarker = true; break;
        case 'd': s.marker = QCPScatterStyle::ssDiamond; anyMarker = true; break;
        case ':': s.line = Qt::DotLine; anyLine = true; break;
        case '-':
            anyLine = true;
            if (next == '-') s.line = Qt::DashLine, ++k;
            else if (next == '.') s.line = Qt::DashDotLine, ++k;
            else s.line = Qt::SolidLine;
            break;
        default: throw std::invalid_argument("Unknown plot style '" + style + "'.");
        }
    }
    // A colour alone draws a line, as a style without marker does.
    if (!anyLine && !anyMarker) s.line = Qt::SolidLine;
    return s;
}

}  // namespace

PlotWindow* scatterplot(const dsp::CVec& x, double n, double offset, const std::string& plotstring, PlotWindow* h) {
    const ScatterData d = scatterPoints(x, n, offset);
    const LineSpec style = parseStyle(plotstring);

    std::unique_ptr<PlotWindow> made;
    PlotCanvas* canvas = nullptr;
    QCPAxisRect* axes = nullptr;
    if (h && h->findChild<PlotCanvas*>()) {
        canvas = h->findChild<PlotCanvas*>();
        axes = canvas->axisRect();
    } else {
        made = std::make_unique<PlotWindow>();
        made->setWindowTitle("Scatter Plot");
        made->resize(480, 480);
        canvas = new PlotCanvas;
        made->setCentralWidget(canvas);
        made->addZoomable(canvas);
        axes = canvas->addAxes(kDefaultAxes, "scatterAxes");
        canvas->setSquare(axes, true);
        canvas->setTitle(axes, "Scatter plot");
        setLabels(axes, "In-Phase", "Quadrature");
        setLimits(axes, -d.limit, d.limit, -d.limit, d.limit);
    }

    QCPCurve* points = nullptr;
    if (style.line != Qt::NoPen && style.marker == QCPScatterStyle::ssNone) {
        // A line alone: drawn through the points it cannot do without, a fifth of a pixel off at
        // most across axes of 600 pixels.
        dsp::RVec i, q;
        for (std::size_t k : thinPath(d.i, d.q, d.limit / 1500)) {
            i.push_back(d.i[k]);
            q.push_back(d.q[k]);
        }
        points = canvas->addCurve(axes, i, q);
    } else {
        points = canvas->addCurve(axes, d.i, d.q);
    }
    points->setPen(style.line == Qt::NoPen ? QPen(Qt::NoPen) : QPen(style.colour, 0, style.line));
    points->setLineStyle(style.line == Qt::NoPen ? QCPCurve::lsNone : QCPCurve::lsLine);
    if (style.marker != QCPScatterStyle::ssNone)
        points->setScatterStyle(QCPScatterStyle(style.marker, style.colour, style.colour, 4));
    return made ? made.release() : h;
}

PlotWindow* KV_PlotScatterDiagram(QWidget* hParent, const std::string& label, const dsp::CVec& iqWave, double n,
                                  double offset, double traceOn, host::Dialogs& dialogs) {
    n = std::max(n, 1.0);
    offset = std::min(std::max(offset, 0.0), n - 1);

    std::unique_ptr<PlotWindow> window;
    try {
        if (traceOn == 0) {
            window.reset(scatterplot(iqWave, n, offset));
        } else {
            window.reset(scatterplot(iqWave, 1, offset, "c-"));
            scatterplot(iqWave, n, offset, "b.", window.get());
        }
    } catch (const std::exception& e) {
        dialogs.error("Plot Error", std::string("Unable to Plot Scatter Diagram\n") + e.what());
        return nullptr;
    }
    window->setDialogs(dialogs);
    addPlotMenus(window.get());
    placePlotWindow(window.get(), PlotKind::ScatterDiagram, hParent);
    showPlotWindow(window.get(), PlotKind::ScatterDiagram, label);
    return window.release();
}

}  // namespace plots
