#pragma once
// Where plot windows and their axes go. Rectangles are [left bottom width height], measured
// from the bottom left corner (of the screen for windows, of the window for axes).
#include <string>

namespace plots {

struct Box {
    double left = 0, bottom = 0, width = 0, height = 0;
    bool operator==(const Box&) const = default;
};

enum class PlotKind { CCDF, Spectrum, Waterfall, IQTime, EyeDiagram, ScatterDiagram, SpectrumAnalyzer, Measure };

// "CCDF ", "Magnitude Spectrum ", ...: the window name is this followed by the label.
std::string windowPrefix(PlotKind kind);
// Where the window goes without a parent, in pixels.
Box defaultPosition(PlotKind kind);
// Where the window goes next to its parent, from the parent's rectangle.
Box placeNextToParent(PlotKind kind, const Box& parent);

// A new axes filling the window, and the two of a window split into an upper and a lower half.
inline constexpr Box kDefaultAxes{0.13, 0.11, 0.775, 0.815};
inline constexpr Box kUpperAxes{0.13, 0.5838, 0.775, 0.3412};
inline constexpr Box kLowerAxes{0.13, 0.11, 0.775, 0.3412};

// A window on the screen as the window system counts it: from the top left, y down.
struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const ScreenRect&) const = default;
};
// What the window's frame (title bar and borders) adds on each side of its contents.
struct FrameMargins {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The contents of a window moved, and made smaller where they must be (never below the minimum
// size), so that the window with its frame lies inside `area`: the title bar stays reachable. A
// window that cannot shrink enough keeps its top left corner inside.
ScreenRect fitInside(const ScreenRect& contents, const FrameMargins& frame, const ScreenRect& area, int minWidth = 0,
                     int minHeight = 0);

// Left and bottom moved in (x1.2, x1.4), height reduced (/1.1): room for the labels.
Box placeAxes(const Box& p);
// The split window: the upper axes only moves left and loses height, the lower one also moves
// up (x1.2).
Box placeUpperAxes(const Box& p);
Box placeLowerAxes(const Box& p);

}  // namespace plots
