#include "plots/plot_window.h"

#include <QAction>
#include <QClipboard>
#include <QBoxLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include <QStatusBar>
#include <QTabWidget>
#include <exception>

#include "host/qt/control.h"
#include "host/qt/dialogs.h"
#include "host/qt/handles.h"
#include "plots/figure_output.h"
#include "plots/plot_canvas.h"
#include "plots/screen_fit.h"

namespace plots {

namespace {

host::Dialogs& platformDialogs() {
    static host::QtDialogs dialogs;
    return dialogs;
}

}  // namespace

PlotWindow::PlotWindow() : dialogs_(&platformDialogs()) {
    setAttribute(Qt::WA_DeleteOnClose);
}

void PlotWindow::addZoomable(Zoomable* plot) {
    zoomables_.push_back(plot);
    plot->setZoomEnabled(zoom_);
}

void PlotWindow::setZoom(bool on) {
    zoom_ = on;
    for (Zoomable* z : zoomables_) z->setZoomEnabled(on);
}

void PlotWindow::resetZoom() {
    for (Zoomable* z : zoomables_) z->resetZoom();
}

void PlotWindow::showReadout(const QString& text) {
    if (text.isEmpty()) statusBar()->clearMessage();
    else statusBar()->showMessage(text);
}

QString PlotWindow::readout() const {
    const auto* bar = findChild<QStatusBar*>();
    return bar ? bar->currentMessage() : QString();
}

QWidget* PlotWindow::figure() const {
    QWidget* what = centralWidget() ? centralWidget() : const_cast<PlotWindow*>(this);
    if (auto* tabs = qobject_cast<QTabWidget*>(what); tabs && tabs->currentWidget()) return tabs->currentWidget();
    return what;
}

QImage PlotWindow::image() const { return figure()->grab().toImage(); }

void PlotWindow::copyToClipboard() const { QGuiApplication::clipboard()->setImage(image()); }

void PlotWindow::printWindow() {
    // Text sizes follow the screen's pixels; lines and text stay vectors at any printer resolution.
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    printTo(printer);
}

void PlotWindow::printTo(QPrinter& printer) { printFigure(figure(), printer); }

void PlotWindow::saveFigureAs() {
    const auto choice = dialogs_->saveFile("*.pdf *.svg *.png");
    if (!choice) return;
    try {
        saveFigure(figure(), QString::fromStdString(choice->directory + choice->name));
    } catch (const std::exception& e) {
        dialogs_->error("Plot Error", e.what());
    }
}

void addPlotMenus(PlotWindow* window) {
    QMenuBar* bar = window->menuBar();
    bar->clear();

    QMenu* file = bar->addMenu("&File");
    QObject::connect(file->addAction("&Print"), &QAction::triggered, window, [window] { window->printWindow(); });
    QObject::connect(file->addAction("Save as PDF/SVG/PNG"), &QAction::triggered, window,
                     [window] { window->saveFigureAs(); });
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
    window->addZoomable(canvas);
    return {window, canvas};
}

QWidget* plotFrame() {
    auto* frame = new QWidget;
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, QColor(204, 204, 204));
    frame->setPalette(palette);
    return frame;
}

void addControls(PlotWindow* window, QWidget* above, QWidget* beside, QWidget* below) {
    QWidget* plot = window->takeCentralWidget();
    QWidget* frame = plotFrame();
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(8, 4, 8, 4);
    top->addWidget(above);
    grid->addLayout(top, 0, 0, 1, 2);
    grid->addWidget(plot, 1, 0);
    if (beside) {
        auto* side = new QVBoxLayout;
        side->setContentsMargins(8, 8, 8, 8);
        side->addWidget(beside);
        side->addStretch(1);
        grid->addLayout(side, 1, 1);
    }
    if (below) {
        auto* bottom = new QHBoxLayout;
        bottom->setContentsMargins(8, 4, 8, 8);
        bottom->addWidget(below);
        grid->addLayout(bottom, 2, 0, 1, 2);
    }
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(1, 1);
    window->setCentralWidget(frame);
}

void placePlotWindow(QWidget* window, PlotKind kind, QWidget* parent) {
    QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const Box box = parent ? placeNextToParent(kind, toBox(parent->geometry(), area)) : defaultPosition(kind);
    window->setGeometry(toRect(box, area));
}

void showPlotWindow(PlotWindow* window, PlotKind kind, const std::string& label) {
    window->setWindowTitle(QString::fromStdString(windowPrefix(kind) + label));
    for (Zoomable* z : window->zoomables()) z->rememberHome();
    // Last, when the contents have set the least size the window can take.
    fitOnScreen(window);
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
