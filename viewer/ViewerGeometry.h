#pragma once

#include <string>
#include <vector>

namespace varnetto {

// The rectangle pictures are drawn in; right and bottom are exclusive.
struct ViewArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Which part of the shown picture is visible and where it goes on screen.
struct ViewState {
    int imageWidth = 0;
    int imageHeight = 0;
    int zoomStep = 100;  // whole percent, chosen with zoom in and zoom out
    // Destination rectangle.
    int destX = 0;
    int destY = 0;
    int destWidth = 0;
    int destHeight = 0;
    // Visible source rectangle; right and bottom are exclusive.
    int sourceLeft = 0;
    int sourceTop = 0;
    int sourceRight = 0;
    int sourceBottom = 0;
    bool panningAllowed = false;

    int sourceWidth() const { return sourceRight - sourceLeft; }
    int sourceHeight() const { return sourceBottom - sourceTop; }
    // Screen pixels per picture pixel on each axis.
    double scaleX() const { return sourceWidth() > 0 ? double(destWidth) / sourceWidth() : 1; }
    double scaleY() const { return sourceHeight() > 0 ? double(destHeight) / sourceHeight() : 1; }
    bool operator==(const ViewState&) const = default;
};

// A picture of width x height just shown: at actual size, centred; one larger
// than the area starts on its top-left part and may be panned.
ViewState shownAtActualSize(const ViewArea& area, int width, int height);

// The view in a screen's own pixels, density of them to the window's one: the
// part of the picture stays, the screen rectangle and the scale grow.
ViewState inScreenPixels(const ViewState& view, double density);

// The view at zoom factor: centred when the picture fits the area, otherwise
// the visible part stays centred on the same part of the picture.
void applyZoom(ViewState& view, const ViewArea& area, double factor);

// The next zoom step in percent: in 10 -> 20 -> 40 ... -> 200, out
// 200 -> 180 ... -> 20 -> 10.
int zoomedIn(int step);
int zoomedOut(int step);
// The factor that fits the whole picture into the area.
double fitFactor(const ViewArea& area, int width, int height);
// The zoom label for a factor ("46.67%").
std::string zoomLabel(double factor);
// The zoom label of a picture just shown.
inline constexpr const char* kActualSizeLabel = "100% ";

// Moves the visible part against a drag of (dx, dy) screen pixels, by whole
// picture pixels at the zoom step, and stops at every edge of the picture.
// False, with nothing changed, while the drag is still under one picture
// pixel on both axes (the caller keeps its drag start then).
bool panView(ViewState& view, int dx, int dy);

// Step codes of the toolbar, the keys and the wheel.
inline constexpr int kFirst = -2;
inline constexpr int kPrevious = -1;
inline constexpr int kNext = 1;
inline constexpr int kLast = 2;

// The row a step leads to among rowCount rows, from current.
int stepViewerRow(int current, int rowCount, int step);
// The locked row a step leads to from cursor; cursor itself when none.
int stepLockedCursor(int cursor, const std::vector<bool>& locked, int step);
// The step a user who just made step would most likely make next.
int likelyNextStep(int step);

}  // namespace varnetto
