#include <gtest/gtest.h>

#include "session/editor/view.h"
#include "tests/test_support.h"
#include "ui/buffer_surface.h"

namespace tarnisk {
namespace {

using testing::Fresh;

TEST(View, ConversionsRoundHalvesToEven) {
  Fresh f;
  LayoutWideState& w = f.layout.wide;
  w.scale = 0.5;
  w.xOffset = 0;
  w.yOffset = 0;
  EXPECT_EQ(LambdaToPixelX(f.s, 1), 0);   // 0.5 -> 0
  EXPECT_EQ(LambdaToPixelX(f.s, 3), 2);   // 1.5 -> 2
  EXPECT_EQ(LambdaToPixelX(f.s, 5), 2);   // 2.5 -> 2
  EXPECT_EQ(LambdaToPixelY(f.s, 1), 768);  // 767.5 -> 768
  w.scale = 2;
  EXPECT_EQ(PixelToLambdaX(f.s, 5), 2);   // 2.5 -> 2
  EXPECT_EQ(PixelToLambdaX(f.s, 7), 4);   // 3.5 -> 4
  EXPECT_EQ(PixelToLambdaY(f.s, 763), 2);  // (768 - 763) / 2 = 2.5 -> 2
}

TEST(View, TheEmptyLayoutShowsTheDefaultWindow) {
  Fresh f;
  BufferSurface surface(650, 400);
  AttachSurface(f.s, &surface);
  ViewAll(f.s);
  EXPECT_EQ(f.layout.wide.window, (Rect{-20, -20, 55, 55}));
  SetWindow(f.s, -15, -15, 50, 50);
  EXPECT_EQ(LambdaToPixelX(f.s, -15), 0);
  EXPECT_EQ(LambdaToPixelY(f.s, -15), 400 - 10);
  EXPECT_DOUBLE_EQ(f.layout.wide.scale, std::min(650.0 / 65, 370.0 / 65));
}

TEST(View, NarrowWindowsAreShownAtTenPixelsPerLambda) {
  Fresh f;
  SetWindow(f.s, 0, 0, 5, 5);
  EXPECT_DOUBLE_EQ(f.layout.wide.scale, 10.0);
  SetWindow(f.s, 0, 0, 5, 1000);
  EXPECT_DOUBLE_EQ(f.layout.wide.scale, std::min(10.0, 738.0 / 1000));
  SetWindow(f.s, 10, 20, 0, 0);  // corners are ordered
  EXPECT_EQ(f.layout.wide.window, (Rect{0, 0, 10, 20}));
}

TEST(View, ZoomPanAndPreviousWindow) {
  Fresh f;
  SetWindow(f.s, 0, 0, 60, 60);
  const Point centre{LambdaToPixelX(f.s, 30), LambdaToPixelY(f.s, 30)};
  ZoomToArea(f.s, centre, {centre.x + 2, centre.y + 2});
  EXPECT_EQ(f.layout.wide.window.xmax - f.layout.wide.window.xmin, 40);
  ZoomToArea(f.s, {LambdaToPixelX(f.s, 12), LambdaToPixelY(f.s, 40)},
             {LambdaToPixelX(f.s, 40), LambdaToPixelY(f.s, 15)});
  EXPECT_EQ(f.layout.wide.window, (Rect{12, 15, 40, 40}));

  SetWindow(f.s, 0, 0, 30, 30);
  ZoomOut(f.s);
  EXPECT_EQ(f.layout.wide.window, (Rect{-5, -5, 35, 35}));

  SetWindow(f.s, 0, 0, 100, 5);
  PanVertical(f.s, 1);
  EXPECT_EQ(f.layout.wide.window, (Rect{0, 0, 100, 5}));
  PanHorizontal(f.s, -1);
  EXPECT_EQ(f.layout.wide.window, (Rect{-16, 0, 84, 5}));

  SetWindow(f.s, 0, 0, 100, 100);
  SetWindow(f.s, 0, 0, 200, 200);
  PreviousZoom(f.s);
  EXPECT_EQ(f.layout.wide.window, (Rect{0, 0, 100, 100}));
  EXPECT_EQ(f.platform.Panel(0), "Previous zoom ...");
}

TEST(View, AWindowCloseToThePreviousOneDoesNotReplaceIt) {
  Fresh f;  // window (-15, -15, 50, 50), previous (0, 0, 200, 100)
  SetWindow(f.s, -10, -10, 55, 55);
  EXPECT_EQ(f.layout.wide.previousWindow, (Rect{-15, -15, 50, 50}));
  SetWindow(f.s, 0, 0, 300, 300);  // the shown window was within 10 lambda of it
  EXPECT_EQ(f.layout.wide.previousWindow, (Rect{-15, -15, 50, 50}));
}

// The lambda point under the pointer stays under it, within the rounding of
// the window's corners to whole lambda.
TEST(View, ZoomAboutAPixelKeepsThePointUnderIt) {
  Fresh f;
  for (const Rect& start : {Rect{0, 0, 100, 100}, Rect{-5000, 200, 9000, 700}})
    for (const double factor : {1.25, 0.8, 1.5625, 4.0, 0.05})
      for (const Point p : {Point{0, 0}, Point{512, 384}, Point{1000, 700}, Point{37, 759}}) {
        SetWindow(f.s, start.xmin, start.ymin, start.xmax, start.ymax);
        const double scale = f.layout.wide.scale;
        const double x = (p.x - f.layout.wide.xOffset) / scale;
        const double y = (768 - p.y - f.layout.wide.yOffset) / scale;
        ZoomAboutPixel(f.s, p, factor);
        const double newScale = f.layout.wide.scale;
        EXPECT_NEAR(newScale / scale, factor, factor * 0.05);
        EXPECT_NEAR((p.x - f.layout.wide.xOffset) / newScale, x, 1.0) << factor;
        EXPECT_NEAR((768 - p.y - f.layout.wide.yOffset) / newScale, y, 1.0) << factor;
      }
}

TEST(View, WheelZoomStopsAtTenLambdaAndPansFollowThePointer) {
  Fresh f;
  SetWindow(f.s, 0, 0, 100, 100);
  for (int i = 0; i < 40; ++i) ZoomAboutPixel(f.s, {500, 400}, 1.25);
  const Rect& w = f.layout.wide.window;
  EXPECT_GE(std::min(w.xmax - w.xmin, w.ymax - w.ymin), 9);
  EXPECT_LE(std::min(w.xmax - w.xmin, w.ymax - w.ymin), 11);
  for (int i = 0; i < 200; ++i) ZoomAboutPixel(f.s, {500, 400}, 0.25);
  EXPECT_EQ(w.xmin, -kCoordinateLimit) << "far out, the window stops at the coordinate limits";

  SetWindow(f.s, 0, 0, 128, 90);  // 8 pixels per lambda
  ASSERT_DOUBLE_EQ(f.layout.wide.scale, 8.0);
  EXPECT_EQ(WindowPannedBy(f.s, w, {40, -30}), (Rect{-5, -4, 123, 86}));
  EXPECT_EQ(WindowPannedBy(f.s, w, {-3, 3}), (Rect{0, 0, 128, 90})) << "less than half a lambda";
}

TEST(View, PointerPositionInLambdaAndMicrons) {
  Fresh f;
  SetWindow(f.s, 0, 0, 128, 90);
  f.s.technology.LAMB = 0.25;
  EXPECT_EQ(PointerPosition(f.s, {LambdaToPixelX(f.s, -6), LambdaToPixelY(f.s, 40)}),
            "-6, 40 lambda  (-1.50, 10.00 \xC2\xB5m)");
}

TEST(View, RedrawCleanClearsMarks) {
  Fresh f;
  AddBox(f.s.layout, 0, 0, 10, 10, kMetal);
  AddBox(f.s.layout, 0, 0, 10, 10, kPoly);
  f.layout.boxes[1].state = kMarked;
  f.layout.boxes[2].state = kHighlighted;
  f.layout.wide.currentFileName = "a.msk";
  RedrawClean(f.s);
  EXPECT_EQ(f.layout.boxes[1].state, kNormal);
  EXPECT_EQ(f.layout.boxes[2].state, kNormal);
  EXPECT_EQ(f.platform.Panel(0), "Redraw a.msk (2 boxes)");
}

TEST(View, GridDotsAndMajorSquares) {
  Fresh f;
  BufferSurface surface(800, 630);
  AttachSurface(f.s, &surface);
  SetWindow(f.s, 1, 1, 81, 61);  // 10 pixels per lambda: dots every 5, squares every 50
  const Colour grid = f.s.view.colours.grid;
  ASSERT_EQ(LambdaToPixelX(f.s, 50), 490);
  ASSERT_EQ(LambdaToPixelY(f.s, 50), 130);
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) EXPECT_EQ(surface.At(490 + dx, 130 + dy), grid);
  EXPECT_EQ(surface.At(540, 130), grid);  // (55, 50): a single dot
  EXPECT_EQ(surface.At(541, 130), 0u);
  EXPECT_EQ(surface.At(540, 131), 0u);
  EXPECT_EQ(surface.At(510, 130), 0u);  // x = 52 is not on the grid
}

TEST(View, ScaleBarShowsTheStepInLambdaAndMicrons) {
  Fresh f;
  BufferSurface surface(400, 330);
  AttachSurface(f.s, &surface);
  SetWindow(f.s, 0, 0, 40, 30);
  ASSERT_GE(surface.Texts().size(), 2u);
  EXPECT_EQ(surface.Texts()[0].text, "5 lambda");
  EXPECT_EQ(surface.Texts()[0].x, 5);
  EXPECT_EQ(surface.Texts()[0].y, 40);
  EXPECT_EQ(surface.Texts()[1].text, "2.50\xC2\xB5m");
  EXPECT_EQ(surface.Texts()[1].pointSize, 7);
  const Colour fg = f.s.view.colours.foreground;
  EXPECT_EQ(surface.At(0, 56), fg);
  EXPECT_EQ(surface.At(50, 64), fg);
  EXPECT_EQ(surface.At(25, 60), fg);
  EXPECT_EQ(surface.At(25, 61), fg);
  EXPECT_EQ(surface.At(25, 62), 0u);
}

TEST(View, PrintingUsesTheMonochromeImageAndRestoresColour) {
  Fresh f;
  BufferSurface surface(200, 200);
  AttachSurface(f.s, &surface);
  AddBox(f.s.layout, 0, 0, 20, 20, kPoly);
  SetWindow(f.s, -5, -5, 30, 30);
  Colour printedBackground = 1;
  f.platform.SetPrintConfirmed(true);
  f.platform.SetPrintHandler([&](const DrawingSurface& image) {
    printedBackground = static_cast<const BufferSurface&>(image).At(0, 0);
  });
  PrintLayout(f.s);
  EXPECT_EQ(printedBackground, MakeColour(255, 255, 255));
  EXPECT_TRUE(f.s.view.colourMode);
  EXPECT_EQ(surface.At(0, 0), 0u);
  EXPECT_EQ(f.platform.Panel(0), "Print complete");
}

}  // namespace
}  // namespace tarnisk
