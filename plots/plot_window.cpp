#include "plots/plot_window.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "host/qt/control.h"
#include "host/qt/handles.h"
#include "plots/plot_canvas.h"

namespace plots {

PlotWindow::PlotWindow() {
    setAttribute(Qt::WA_DeleteOnClose);
}

void PlotWindow::addCanvas(PlotCanvas* canvas) {
    canvases_.push_back(canvas);
    canvas->setZoomEnabled(zoom_);
}

void PlotWindow::setZoom(bool on) {
    zoom_ = on;
    for (PlotCanvas* c : canvases_) c->setZoomEnabled(on);
}

void PlotWindow::resetZoom() {
    for (PlotCanvas* c : canvases_) c->resetZoom();
}

QImage PlotWindow::image() const {
    QWidget* what = centralWidget() ? centralWidget() : const_cast<PlotWindow*>(this);
    return what->grab().toImage();
}

void PlotWindow::copyToClipboard() const { QGuiApplication::clipboard()->setImage(image()); }

void PlotWindow::printWindow() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QWidget* what = centralWidget() ? centralWidget() : this;
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    const double scale = std::min(page.width() / double(what->width()), page.height() / double(what->height()));
    painter.scale(scale, scale);
    what->render(&painter);
}

void addPlotMenus(PlotWindow* window) {
    QMenuBar* bar = window->menuBar();
    bar->clear();

    QMenu* file = bar->addMenu("&File");
    QObject::connect(file->addAction("&Print"), &QAction::triggered, window, [window] { window->printWindow(); });
    file->addSeparator();
    QObject::connect(file->addAction("&Close"), &QAction::triggered, window, &QWidget::close);

    QMenu* edit = bar->addMenu("&Edit");
    QObject::connect(edit->addAction("&Copy"), &QAction::triggered, window, [window] { window->copyToClipboard(); });

    QMenu* tools = bar->addMenu("&Tools");
    QAction* zoom = tools->addAction("&Zoom");
    zoom->setObjectName("KV_Zoom");
    zoom->setCheckable(true);
    // The check marks hold the modes: undo the click's own toggle and let the switch decide.
    QObject::connect(zoom, &QAction::triggered, window, [window, zoom](bool checked) {
        zoom->setChecked(!checked);
        KV_Zoom(window);
    });
    QAction* rotate = tools->addAction("&Rotate");
    rotate->setObjectName("KV_Rotate");
    rotate->setCheckable(true);
    rotate->setEnabled(false);
    QObject::connect(rotate, &QAction::triggered, window, [window, rotate](bool checked) {
        rotate->setChecked(!checked);
        KV_Rotate(window);
    });
    tools->addSeparator();
    QAction* reset = tools->addAction("Zoom Re&set");
    reset->setObjectName("KV_ZoomReset");
    QObject::connect(reset, &QAction::triggered, window, [window] { window->resetZoom(); });
}

Box toBox(const QRect& r, const QRect& screen) {
    return {double(r.x() - screen.x()), double(screen.y() + screen.height() - (r.y() + r.height())), double(r.width()),
            double(r.height())};
}

QRect toRect(const Box& b, const QRect& screen) {
    const int w = static_cast<int>(std::lround(b.width));
    const int h = static_cast<int>(std::lround(b.height));
    const int x = screen.x() + static_cast<int>(std::lround(b.left));
    const int y = screen.y() + screen.height() - static_cast<int>(std::lround(b.bottom)) - h;
    return {x, y, w, h};
}

CanvasWindow openCanvasWindow(PlotKind kind, QWidget* parent) {
    auto* window = new PlotWindow;
    addPlotMenus(window);
    placePlotWindow(window, kind, parent);
    auto* canvas = new PlotCanvas;
    window->setCentralWidget(canvas);
    window->addCanvas(canvas);
    return {window, canvas};
}

void placePlotWindow(QWidget* window, PlotKind kind, QWidget* parent) {
    QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const Box box = parent ? placeNextToParent(kind, toBox(parent->geometry(), area)) : defaultPosition(kind);
    window->setGeometry(toRect(box, area));
}

void showPlotWindow(PlotWindow* window, PlotKind kind, const std::string& label) {
    window->setWindowTitle(QString::fromStdString(windowPrefix(kind) + label));
    for (PlotCanvas* c : window->canvases()) c->rememberHome();
    window->show();
}

namespace {

// One of the two modes: on when it was off (the other goes off), off when it was on.
void toggle(QWidget* window, const char* item, const char* other, bool zoom) {
    const host::Handles h(window);
    auto* plot = qobject_cast<PlotWindow*>(window);
    host::Control mine(h[item]), theirs(h[other]);
    const bool on = !mine.checked();
    if (plot) {
        if (zoom) plot->setZoom(on);
        else plot->setRotate(on);
        if (on) {
            if (zoom) plot->setRotate(false);
            else plot->setZoom(false);
        }
    }
    mine.setChecked(on);
    if (on) theirs.setChecked(false);
}

}  // namespace

void KV_Zoom(QWidget* window) { toggle(window, "KV_Zoom", "KV_Rotate", true); }
void KV_Rotate(QWidget* window) { toggle(window, "KV_Rotate", "KV_Zoom", false); }

}  // namespace plots
