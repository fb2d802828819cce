#include <gtest/gtest.h>

#include <algorithm>

#include "session/editor/render.h"
#include "session/editor/ruler.h"
#include "session/editor/view.h"
#include "tests/test_support.h"
#include "ui/buffer_surface.h"
#include "ui/recording_surface.h"

namespace tarnisk {
namespace {

using testing::Fresh;

// A view at 10 pixels per lambda with lambda (0, 0) at pixel (0, 310), and
// the grid drawn in black so that it does not show through the boxes.
struct Canvas {
  explicit Canvas(Fresh& f, int width = 400, int height = 320) : surface(width, height) {
    f.s.view.colours.grid = 0;
    AttachSurface(f.s, &surface);
    SetWindow(f.s, 0, 0, width / 10, (height - 30) / 10);
  }
  BufferSurface surface;
};

constexpr Colour kBlack = 0, kWhite = 0xFFFFFF;

TEST(Render, OverlappingLayersMixTheirColoursOnBlack) {
  Fresh f;
  Canvas c(f);
  AddBox(f.s.layout, 2, 2, 12, 12, kDiffn);
  AddBox(f.s.layout, 8, 0, 10, 20, kPoly);
  Redraw(f.s);
  auto at = [&](int x, int y) { return c.surface.At(LambdaToPixelX(f.s, x) + 3, LambdaToPixelY(f.s, y) - 3); };
  EXPECT_EQ(at(4, 4), MakeColour(0, 128, 0));
  EXPECT_EQ(at(8, 15), MakeColour(255, 0, 0));
  EXPECT_EQ(at(8, 4), MakeColour(255, 128, 0));
}

TEST(Render, PatternsAreAnchoredToTheScreen) {
  Fresh f;
  Canvas c(f);
  AddBox(f.s.layout, 3, 4, 17, 20, kMetal3);  // style 3: outline and pattern
  Redraw(f.s);
  const FillPattern& pattern = f.layout.layers[kMetal3].pattern;
  const int x1 = LambdaToPixelX(f.s, 3), x2 = LambdaToPixelX(f.s, 17);
  const int y1 = LambdaToPixelY(f.s, 20), y2 = LambdaToPixelY(f.s, 4);
  int set = 0;
  for (int y = y1 + 1; y < y2; ++y)
    for (int x = x1 + 1; x < x2; ++x) {
      const bool bit = pattern[y % 8] & (0x80 >> (x % 8));
      ASSERT_EQ(c.surface.At(x, y), bit ? MakeColour(0, 0, 255) : kBlack) << x << "," << y;
      set += bit;
    }
  EXPECT_GT(set, 0);
  EXPECT_EQ(c.surface.At(x1, y1 + 5), MakeColour(0, 0, 255));  // the outline
}

TEST(Render, LayerStylesAndBoxStates) {
  Fresh f;
  Canvas c(f);
  AddBox(f.s.layout, 1, 1, 9, 9, kNwell);     // outline
  AddBox(f.s.layout, 11, 1, 19, 9, kVia);     // outline and diagonals
  AddBox(f.s.layout, 21, 1, 29, 9, kPassiv);  // inset outline and cross
  AddBox(f.s.layout, 1, 11, 9, 19, kMetal);   // marked: grey outline
  AddBox(f.s.layout, 11, 11, 19, 19, kPoly);  // highlighted
  AddBox(f.s.layout, 21, 11, 29, 19, kMetal); // protected layer below
  f.layout.boxes[4].state = kMarked;
  f.layout.boxes[5].state = kHighlighted;
  f.layout.boxes[5].highlightColour = MakeColour(12, 34, 56);
  Redraw(f.s);
  auto px = [&](double x) { return LambdaToPixelX(f.s, x); };
  auto py = [&](double y) { return LambdaToPixelY(f.s, y); };
  EXPECT_EQ(c.surface.At(px(1), py(5)), MakeColour(0, 128, 0));
  EXPECT_EQ(c.surface.At(px(5), py(5)), kBlack);
  EXPECT_EQ(c.surface.At(px(15), py(5)), kWhite);  // centre lies on both diagonals
  EXPECT_EQ(c.surface.At(px(21), py(3)), kBlack);  // passiv: outline inset by one pixel
  EXPECT_EQ(c.surface.At(px(21) + 1, py(3)), MakeColour(0, 255, 0));
  EXPECT_EQ(c.surface.At(px(25), py(3)), MakeColour(0, 255, 0));  // the vertical bar
  EXPECT_EQ(c.surface.At(px(1), py(15)), MakeColour(128, 128, 128));
  EXPECT_EQ(c.surface.At(px(5), py(15)), kBlack);
  EXPECT_EQ(c.surface.At(px(15), py(15)), MakeColour(12, 34, 56));
  EXPECT_EQ(c.surface.At(px(11), py(15)), MakeColour(12, 34, 56));
  EXPECT_EQ(c.surface.At(px(25), py(15)), MakeColour(0, 0, 255));  // metal: filled
  f.layout.layers[kMetal].isProtected = 1;
  Redraw(f.s);
  EXPECT_EQ(c.surface.At(px(25), py(15)), kBlack);
  EXPECT_EQ(c.surface.At(px(21), py(15)), MakeColour(0, 0, 255));
}

TEST(Render, MonochromeDrawsOutlinesAndPatternsInBlackOnWhite) {
  Fresh f;
  Canvas c(f);
  SetMonochromeMode(f.s);
  AddBox(f.s.layout, 2, 2, 18, 18, kContact);  // pattern FF: solid
  Redraw(f.s);
  EXPECT_EQ(c.surface.At(LambdaToPixelX(f.s, 10), LambdaToPixelY(f.s, 10)), kBlack);
  EXPECT_EQ(c.surface.At(LambdaToPixelX(f.s, 30), LambdaToPixelY(f.s, 10) + 1), kWhite);
  SetColourMode(f.s);
  EXPECT_EQ(f.layout.layers[kContact].colourMode, 1);
}

TEST(Render, BoxesRunningOffTheScreenShowNoOutlineAtItsEdge) {
  Fresh f;
  Canvas c(f);
  AddBox(f.s.layout, -1000, -1000, 1000, 1000, kNwell);
  AddBox(f.s.layout, 500, 500, 600, 600, kMetal);  // wholly outside
  Redraw(f.s);
  EXPECT_EQ(c.surface.At(0, 150), kBlack);
  EXPECT_EQ(c.surface.At(399, 150), kBlack);
}

std::vector<std::string> DrawnWith(Fresh& f, const std::string& prefix) {
  RecordingSurface surface(400, 320);
  AttachSurface(f.s, &surface);
  SetWindow(f.s, 0, 0, 40, 29);
  std::vector<std::string> found;
  for (const std::string& call : surface.Calls())
    if (call.rfind(prefix, 0) == 0) found.push_back(call);
  AttachSurface(f.s, nullptr);
  return found;
}

TEST(Render, TextsShowTheirPropertyInLabelStyleAndSign) {
  Fresh f;
  AddLayoutText(f.s.layout, 10, 10, "ck");
  f.layout.texts[1].property = kPropertyPulse;
  AddLayoutText(f.s.layout, 20, 20, "vdd");
  f.layout.texts[2].property = kPropertyVdd;
  f.layout.texts[2].visible = 1;
  const auto texts = DrawnWith(f, "text ");
  // Scale bar texts come first, then the layout's texts.
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[2], "text 100,210 9 1 ffffff ck");
  EXPECT_EQ(texts[3], "text 200,110 9 6 ffffff vdd+");
  const auto lines = DrawnWith(f, "line ");
  // The pulse sign starts 14 pixels right of the anchor (label of 2 characters).
  EXPECT_NE(std::find(lines.begin(), lines.end(), "line 114,220,119,220"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "line 124,220,129,220"), lines.end());
  EXPECT_EQ(std::find(lines.begin(), lines.end(), "line 129,220,129,215"), lines.end());
  f.layout.texts[1].property = kPropertyClock;
  const auto clockLines = DrawnWith(f, "line ");
  EXPECT_NE(std::find(clockLines.begin(), clockLines.end(), "line 129,220,129,215"), clockLines.end());
  const auto rects = DrawnWith(f, "rect ");
  EXPECT_NE(std::find(rects.begin(), rects.end(), "rect 99,209,101,211"), rects.end());
}

TEST(Render, ResistanceMarksZigzagBetweenTheirEnds) {
  Fresh f;
  AddResistanceMark(f.s.layout, 10, 10, "2k");
  const auto lines = DrawnWith(f, "line ");
  // 5 lambda = 50 pixels, k = 8.
  const std::vector<std::string> zigzag = {"line 100,210,108,210", "line 108,210,116,202",
                                           "line 116,202,132,218", "line 132,218,140,210",
                                           "line 140,210,150,210"};
  for (const std::string& segment : zigzag)
    EXPECT_NE(std::find(lines.begin(), lines.end(), segment), lines.end()) << segment;
  const auto texts = DrawnWith(f, "text ");
  EXPECT_EQ(texts.back(), "text 100,213 9 0 ffffff 2k");
}

TEST(Ruler, ReportsBothLegsInLambdaAndMicrons) {
  Fresh f;
  Canvas c(f);
  auto pixel = [&](int x, int y) { return Point{LambdaToPixelX(f.s, x), LambdaToPixelY(f.s, y)}; };
  Ruler(f.s, pixel(0, 0), pixel(20, 5));
  EXPECT_EQ(f.platform.Panel(0), "dx=20 lambda (10.0\xC2\xB5m),dy=5 lambda (2.5\xC2\xB5m)");
  std::vector<std::string> labels;
  for (const auto& t : c.surface.Texts())
    if (t.pointSize == 7 && t.colour == f.s.view.colours.ruler) labels.push_back(t.text);
  // Vertical leg of 5: only the 0 label is major, so the total is written;
  // horizontal leg of 20: majors every 10.
  EXPECT_EQ(labels, (std::vector<std::string>{"0", "5", "0", "10", "20"}));
  EXPECT_EQ(c.surface.At(LambdaToPixelX(f.s, 10), LambdaToPixelY(f.s, 5)), f.s.view.colours.ruler);

  Ruler(f.s, pixel(0, 0), pixel(-20, 0));
  EXPECT_EQ(f.platform.Panel(0), "dx=20 lambda (10.0\xC2\xB5m),");
  Ruler(f.s, pixel(1, 1), pixel(1, 31));
  EXPECT_EQ(f.platform.Panel(0), ",dy=30 lambda (15.0\xC2\xB5m)");
  Ruler(f.s, pixel(3, 4), pixel(3, 4));
  EXPECT_EQ(f.platform.Panel(0), "Click at location 3,4");
}

TEST(RasterSurface, NotXorTwiceRestoresAndOutlinesTouchEachPixelOnce) {
  BufferSurface s(40, 40);
  s.SetPen(MakeColour(10, 20, 30), 1, PenStyle::Solid, PenMode::Copy);
  s.SetBrush(MakeColour(10, 20, 30));
  s.FillRect(5, 5, 30, 30);
  s.SetPen(MakeColour(200, 100, 50), 1, PenStyle::Solid, PenMode::NotXor);
  s.SetHollowBrush();
  s.Rectangle(2, 3, 20, 25);
  s.Line(0, 0, 39, 17);
  EXPECT_NE(s.At(2, 10), 0u);
  s.Rectangle(2, 3, 20, 25);
  s.Line(0, 0, 39, 17);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 5 && x <= 30 && y >= 5 && y <= 30;
      ASSERT_EQ(s.At(x, y), inside ? MakeColour(10, 20, 30) : 0u) << x << "," << y;
    }
}

TEST(RasterSurface, PensHaveWidthStyleAndMode) {
  BufferSurface s(20, 20);
  s.SetPen(MakeColour(0, 255, 0), 3, PenStyle::Solid, PenMode::Copy);
  s.Line(2, 10, 17, 10);
  EXPECT_EQ(s.At(5, 9), MakeColour(0, 255, 0));
  EXPECT_EQ(s.At(5, 11), MakeColour(0, 255, 0));
  EXPECT_EQ(s.At(5, 12), 0u);
  s.SetPen(MakeColour(255, 0, 0), 1, PenStyle::Dotted, PenMode::Merge);
  s.Line(0, 0, 9, 0);
  EXPECT_EQ(s.At(0, 0), MakeColour(255, 0, 0));
  EXPECT_EQ(s.At(1, 0), 0u);
  s.Line(5, 10, 5, 10);
  EXPECT_EQ(s.At(5, 10), MakeColour(255, 255, 0));
  s.Pixel(-1, 50, 0xFFFFFF);  // off the surface: ignored
}

}  // namespace
}  // namespace tarnisk

namespace tarnisk {
namespace {

// Shapes reaching billions of pixels beyond the surface (labels far outside
// the window) draw only their visible part, in time by the surface's pixels,
// and the same pixels as the shape cut to the surface would.
TEST(Render, ShapesFarBeyondTheSurfaceDrawOnlyTheirVisiblePart) {
  BufferSurface far(40, 30), near(40, 30);
  for (BufferSurface* s : {&far, &near}) {
    s->Clear(kBlack);
    s->SetPen(kWhite, 1, PenStyle::Solid, PenMode::Copy);
    s->SetBrush(MakeColour(0, 0, 255));
  }
  far.Rectangle(5, -2147483647, 2147483647, 2147483646);
  near.Rectangle(5, -1, 45, 35);
  far.Line(-2000000000, 10, 2000000000, 10);
  near.Line(0, 10, 39, 10);
  far.Line(-2000000000, -2000000000, -1000000000, 2000000000);  // wholly off the left edge
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(far.At(x, y), near.At(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace tarnisk
