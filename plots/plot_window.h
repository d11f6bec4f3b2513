#pragma once
// The frame every plot window shares: name, placement next to the main window, the File, Edit
// and Tools menus with print, copy, zoom and rotate, and the zoom state of its canvases.
#include <QImage>
#include <QMainWindow>
#include <string>
#include <vector>

#include "plots/core/placement.h"

namespace plots {

class PlotCanvas;

class PlotWindow : public QMainWindow {
    Q_OBJECT
public:
    // A hidden window, deleted when closed; it becomes visible once it is drawn.
    PlotWindow();

    // The canvases the zoom switch and Zoom Reset act on.
    void addCanvas(PlotCanvas* canvas);
    const std::vector<PlotCanvas*>& canvases() const { return canvases_; }

    bool zoomOn() const { return zoom_; }
    bool rotateOn() const { return rotate_; }
    void setZoom(bool on);
    // Two-dimensional plots have nothing to turn; the state is kept for the toggle's sake.
    void setRotate(bool on) { rotate_ = on; }
    void resetZoom();

    // The plot area as it is shown, without the menu bar.
    QImage image() const;
    void copyToClipboard() const;
    // Through the platform's print dialog; nothing happens when it is cancelled.
    void printWindow();

private:
    std::vector<PlotCanvas*> canvases_;
    bool zoom_ = false;
    bool rotate_ = false;
};

// "&File" (Print, Close), "&Edit" (Copy), "&Tools" (Zoom, Rotate, Zoom Reset) with the tags
// KV_Zoom, KV_Rotate and KV_ZoomReset.
void addPlotMenus(PlotWindow* window);

// A new plot window of that kind next to `parent`, with the standard menus and one canvas.
struct CanvasWindow {
    PlotWindow* window;
    PlotCanvas* canvas;
};
CanvasWindow openCanvasWindow(PlotKind kind, QWidget* parent);

// Moves the window to its place next to `parent` (or to its default place without one).
void placePlotWindow(QWidget* window, PlotKind kind, QWidget* parent);
// Rectangles of Qt (y down, from the top left) and of the plots (y up, from the bottom left of
// the screen) into one another.
Box toBox(const QRect& r, const QRect& screen);
QRect toRect(const Box& b, const QRect& screen);

// Names the window (prefix and label), remembers the drawn ranges for Zoom Reset and shows it.
void showPlotWindow(PlotWindow* window, PlotKind kind, const std::string& label);

// The Zoom and Rotate items of the window's Tools menu: each switches its mode on (and the other
// off) or, when it is already on, off.
void KV_Zoom(QWidget* window);
void KV_Rotate(QWidget* window);

}  // namespace plots
