#include "plots/core/placement.h"

#include <algorithm>

namespace plots {

std::string windowPrefix(PlotKind kind) {
    switch (kind) {
    case PlotKind::CCDF: return "CCDF ";
    case PlotKind::Spectrum: return "Magnitude Spectrum ";
    case PlotKind::Waterfall: return "Spectrum Waterfall ";
    case PlotKind::IQTime: return "I(t) Q(t) ";
    case PlotKind::EyeDiagram: return "Eye Diagram ";
    case PlotKind::ScatterDiagram: return "Scatter Diagram ";
    case PlotKind::SpectrumAnalyzer: return "Spectrum Analyzer ";
    case PlotKind::Measure: return "Measure ";
    }
    return {};
}

Box defaultPosition(PlotKind kind) {
    switch (kind) {
    case PlotKind::Spectrum: return {50, 480, 300, 300};
    case PlotKind::SpectrumAnalyzer: return {50, 300, 640, 480};
    case PlotKind::Measure: return {50, 100, 1100, 780};
    case PlotKind::Waterfall: return {100, 100, 300, 300};
    default: return {150, 150, 340, 340};
    }
}

Box placeNextToParent(PlotKind kind, const Box& p) {
    Box b = p;
    switch (kind) {
    case PlotKind::Spectrum:
    case PlotKind::SpectrumAnalyzer:
    case PlotKind::Measure:
        b.left += 0.1 * p.width;
        b.bottom += 0.18 * p.height;
        b.width *= 0.8;
        b.height *= 0.8;
        break;
    case PlotKind::Waterfall:
        b.width *= 0.8;
        b.height *= 0.8;
        b.left += 0.2 * b.width;
        b.bottom -= 0.2 * b.height;
        break;
    default:
        b.width *= 0.8;
        b.height *= 0.8;
        b.left += 0.1 * b.width;
        b.bottom -= 0.1 * b.height;
        break;
    }
    return b;
}

ScreenRect fitInside(const ScreenRect& contents, const FrameMargins& frame, const ScreenRect& area, int minWidth,
                     int minHeight) {
    ScreenRect r = contents;
    r.width = std::max(std::min(r.width, area.width - frame.left - frame.right), minWidth);
    r.height = std::max(std::min(r.height, area.height - frame.top - frame.bottom), minHeight);
    // Right and bottom edges in first, then left and top: the top left wins when it cannot all fit.
    r.x = std::min(r.x, area.x + area.width - frame.right - r.width);
    r.y = std::min(r.y, area.y + area.height - frame.bottom - r.height);
    r.x = std::max(r.x, area.x + frame.left);
    r.y = std::max(r.y, area.y + frame.top);
    return r;
}

Box placeAxes(const Box& p) { return {p.left * 1.2, p.bottom * 1.4, p.width, p.height / 1.1}; }
Box placeUpperAxes(const Box& p) { return {p.left * 1.2, p.bottom, p.width, p.height / 1.1}; }
Box placeLowerAxes(const Box& p) { return {p.left * 1.2, p.bottom * 1.2, p.width, p.height / 1.1}; }

}  // namespace plots
