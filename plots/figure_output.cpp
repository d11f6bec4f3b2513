#include "plots/figure_output.h"

#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <qcustomplot.h>
#include <stdexcept>

#include "plots/plot_canvas.h"
#include "plots/waterfall_view.h"

namespace plots {

namespace {

// Vector output: no cached pixmaps, and hairlines one screen pixel wide instead of the device's
// thinnest line, which a 1200 dpi printer makes invisible.
void beginVector(QCPPainter& painter) {
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setMode(QCPPainter::pmNonCosmetic);
}

[[noreturn]] void fail(const QString& path, const QString& why) {
    throw std::runtime_error(("Cannot write " + path + ": " + why).toStdString());
}

// A widget draws its background only where it fills it on screen too; the figure's own is
// always drawn.
void renderTree(QWidget* what, QCPPainter& painter, bool background) {
    if (auto* canvas = qobject_cast<PlotCanvas*>(what)) {
        canvas->toPainter(&painter, canvas->width(), canvas->height());
        return;
    }
    if (auto* view = qobject_cast<WaterfallView*>(what)) {
        view->paint(painter);
        return;
    }
    what->render(&painter, QPoint(), QRegion(), background ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
    for (QObject* o : what->children()) {
        auto* child = qobject_cast<QWidget*>(o);
        if (!child || !child->isVisible() || child->isWindow()) continue;
        painter.save();
        painter.translate(child->pos());
        renderTree(child, painter, false);
        painter.restore();
    }
}

}  // namespace

void renderFigure(QWidget* what, QCPPainter& painter) { renderTree(what, painter, true); }

void printFigure(QWidget* what, QPrinter& printer) {
    printer.setPageOrientation(what->width() > what->height() ? QPageLayout::Landscape : QPageLayout::Portrait);
    QCPPainter painter(&printer);
    beginVector(painter);
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double scale = std::min(page.width() / what->width(), page.height() / what->height());
    painter.scale(scale, scale);
    renderFigure(what, painter);
}

void saveFigure(QWidget* what, const QString& path) {
    const QString kind = QFileInfo(path).suffix().toLower();
    if (kind != "pdf" && kind != "svg" && kind != "png") fail(path, "the name must end in .pdf, .svg or .png");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) fail(path, file.errorString());
    const QSize size = what->size();
    if (kind == "pdf") {
        QPdfWriter pdf(&file);
        // One page the size of the window, at the screen's 96 pixels per inch.
        pdf.setResolution(96);
        pdf.setPageSize(QPageSize(QSizeF(size.width() * 0.75, size.height() * 0.75), QPageSize::Point));
        pdf.setPageMargins(QMarginsF());
        pdf.setTitle(what->window()->windowTitle());
        QCPPainter painter(&pdf);
        beginVector(painter);
        renderFigure(what, painter);
    } else if (kind == "svg") {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(), size));
        svg.setResolution(96);
        svg.setTitle(what->window()->windowTitle());
        QCPPainter painter(&svg);
        beginVector(painter);
        renderFigure(what, painter);
    } else {
        QImage image(size * 2, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QCPPainter painter(&image);
            painter.setMode(QCPPainter::pmNoCaching);
            painter.scale(2, 2);
            renderFigure(what, painter);
        }
        if (!image.save(&file, "PNG")) fail(path, "the picture could not be encoded");
    }
    if (!file.commit()) fail(path, file.errorString());
}

}  // namespace plots
