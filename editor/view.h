#pragma once
// The mapping between lambda and the pixels of the drawing area, the view
// window with its zoom and pan commands, and the display modes.

#include <cstdint>

#include "core/geometry.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

struct AppState;

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
void AttachSurface(AppState& s, DrawingSurface* surface);

int32_t LambdaToPixelX(const AppState& s, double x);
int32_t LambdaToPixelY(const AppState& s, double y);
int32_t PixelToLambdaX(const AppState& s, double px);
int32_t PixelToLambdaY(const AppState& s, double py);

// A pixel rectangle (two corners in any order) as a lambda area.
Rect PixelAreaToLambda(const AppState& s, Point a, Point b);

void SetWindow(AppState& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
void Redraw(AppState& s);
void ViewAll(AppState& s);
void ZoomToArea(AppState& s, Point a, Point b);
void ZoomOut(AppState& s);
void PreviousZoom(AppState& s);
void PanHorizontal(AppState& s, int direction);
void PanVertical(AppState& s, int direction);
// Clears every mark (boxes back to state 1) and redraws.
void RedrawClean(AppState& s);

void SetColourMode(AppState& s);
void SetMonochromeMode(AppState& s);

// Sets pen and brush to a drawing colour, merging on a black background.
void SetDrawingColour(AppState& s, Colour colour);

// Prints the drawing area through the platform in monochrome.
void PrintLayout(AppState& s);

}  // namespace tarnisk
