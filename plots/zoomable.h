#pragma once
// What the Tools menu's zoom acts on: a plot that zooms by a dragged box and the mouse wheel
// while zoom is on, and goes back to the ranges it was drawn with.
namespace plots {

class Zoomable {
public:
    virtual ~Zoomable() = default;
    virtual void setZoomEnabled(bool on) = 0;
    virtual bool zoomEnabled() const = 0;
    // The ranges shown now become the ones to go back to.
    virtual void rememberHome() = 0;
    virtual void resetZoom() = 0;
};

}  // namespace plots
