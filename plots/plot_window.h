#pragma once
// The frame every plot window shares: name, placement next to the main window, the File, Edit
// and Tools menus with print, save, copy, zoom and rotate, the zoom state of its plots and a
// read-out line for what lies under the mouse.
#include <QImage>
#include <QMainWindow>
#include <string>
#include <vector>

#include "plots/core/placement.h"

class QPrinter;

namespace host {
class Dialogs;
}

namespace plots {

class PlotCanvas;
class Zoomable;

class PlotWindow : public QMainWindow {
    Q_OBJECT
public:
    // A hidden window, deleted when closed; it becomes visible once it is drawn.
    PlotWindow();

    // The plots the zoom switch and Zoom Reset act on.
    void addZoomable(Zoomable* plot);
    const std::vector<Zoomable*>& zoomables() const { return zoomables_; }

    bool zoomOn() const { return zoom_; }
    bool rotateOn() const { return rotate_; }
    void setZoom(bool on);
    // Two-dimensional plots have nothing to turn; the state is kept for the toggle's sake.
    void setRotate(bool on) { rotate_ = on; }
    void resetZoom();

    // What is printed, saved and copied: the plot area without the menu bar (of tabbed views, the
    // page shown).
    QWidget* figure() const;
    QImage image() const;
    void copyToClipboard() const;
    // Through the platform's print dialog; nothing happens when it is cancelled.
    void printWindow();
    // The plot area, as vectors, on the printer's page.
    void printTo(QPrinter& printer);
    // Asks for a file name (PDF, SVG or PNG) and writes the plot area there; a failure is shown
    // in the "Plot Error" dialog.
    void saveFigureAs();

    // The file and error dialogs; the platform's own unless a caller gives others.
    void setDialogs(host::Dialogs& dialogs) { dialogs_ = &dialogs; }
    host::Dialogs& dialogs() const { return *dialogs_; }
    // A line under the plot saying what lies under the mouse; empty clears it.
    void showReadout(const QString& text);
    QString readout() const;

private:
    std::vector<Zoomable*> zoomables_;
    host::Dialogs* dialogs_;
    bool zoom_ = false;
    bool rotate_ = false;
};

// "&File" (Print, Save as PDF/SVG/PNG, Close), "&Edit" (Copy), "&Tools" (Zoom, Rotate, Zoom
// Reset) with the tags KV_Zoom, KV_Rotate and KV_ZoomReset.
void addPlotMenus(PlotWindow* window);

// A new plot window of that kind next to `parent`, with the standard menus and one canvas.
struct CanvasWindow {
    PlotWindow* window;
    PlotCanvas* canvas;
};
CanvasWindow openCanvasWindow(PlotKind kind, QWidget* parent);
// An empty panel in the grey of the plots, for controls around them.
QWidget* plotFrame();
// Puts a row of controls above the window's plot and, when given, a panel to its right and one
// below it.
void addControls(PlotWindow* window, QWidget* above, QWidget* beside = nullptr, QWidget* below = nullptr);

// Moves the window to its place next to `parent` (or to its default place without one).
void placePlotWindow(QWidget* window, PlotKind kind, QWidget* parent);
// Rectangles of Qt (y down, from the top left) and of the plots (y up, from the bottom left of
// the screen) into one another.
Box toBox(const QRect& r, const QRect& screen);
QRect toRect(const Box& b, const QRect& screen);

// Names the window (prefix and label), remembers the drawn ranges for Zoom Reset and shows it
// inside the screen's available area.
void showPlotWindow(PlotWindow* window, PlotKind kind, const std::string& label);

// The Zoom and Rotate items of the window's Tools menu: each switches its mode on (and the other
// off) or, when it is already on, off.
void KV_Zoom(QWidget* window);
void KV_Rotate(QWidget* window);

}  // namespace plots
