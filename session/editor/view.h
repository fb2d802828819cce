#pragma once
// The mapping between lambda and the pixels of the drawing area, the view
// window with its zoom and pan commands, and the display modes.

#include <cstdint>
#include <string>

#include "core/geometry.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

struct Session;

struct DisplayColours {
  Colour background = MakeColour(0, 0, 0);
  Colour foreground = MakeColour(255, 255, 255);
  Colour ruler = MakeColour(0, 255, 0);
  Colour grid = MakeColour(0, 0, 255);
  Colour accent[5] = {MakeColour(255, 255, 0), MakeColour(255, 0, 0), MakeColour(255, 0, 0),
                      MakeColour(128, 128, 128), MakeColour(255, 255, 0)};
};

// What the drawing area shows. Without a surface (batch runs) the view keeps
// its size and scale but draws nothing.
struct ViewState {
  DrawingSurface* surface = nullptr;
  int clientWidth = 1024;
  int clientHeight = 768;
  bool colourMode = true;
  DisplayColours colours;
};

// Attaches a surface (or nullptr) and takes over its size.
void AttachSurface(Session& s, DrawingSurface* surface);

int32_t LambdaToPixelX(const Session& s, double x);
int32_t LambdaToPixelY(const Session& s, double y);
int32_t PixelToLambdaX(const Session& s, double px);
int32_t PixelToLambdaY(const Session& s, double py);

// A pixel rectangle (two corners in any order) as a lambda area.
Rect PixelAreaToLambda(const Session& s, Point a, Point b);

void SetWindow(Session& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void Redraw(Session& s);
void ViewAll(Session& s);
void ZoomToArea(Session& s, Point a, Point b);
void ZoomOut(Session& s);
void PreviousZoom(Session& s);
void PanHorizontal(Session& s, int direction);
void PanVertical(Session& s, int direction);
// The window that shows the layout `factor` times larger (below 1: smaller)
// with the lambda point under `pixel` staying under it. The window fills the
// drawing area at the new scale; zooming in stops at about ten lambda across.
Rect WindowZoomedAbout(const Session& s, Point pixel, double factor);
// The window `from` moved so that the layout follows a pointer that moved by
// `pixels` (y down) at the present scale.
Rect WindowPannedBy(const Session& s, const Rect& from, Point pixels);
// Wheel zoom: SetWindow with WindowZoomedAbout, so Previous Zoom returns.
void ZoomAboutPixel(Session& s, Point pixel, double factor);

// The pointer's position in lambda and in µm, for the coordinate field.
std::string PointerPosition(const Session& s, Point pixel);

// Clears every mark (boxes back to state 1) and redraws.
void RedrawClean(Session& s);

void SetColourMode(Session& s);
void SetMonochromeMode(Session& s);

// Sets pen and brush to a drawing colour, merging on a black background.
void SetDrawingColour(Session& s, Colour colour);

// Prints the drawing area through the platform in monochrome.
void PrintLayout(Session& s);

}  // namespace tarnisk
