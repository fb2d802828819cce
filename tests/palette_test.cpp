#include "session/editor/palette.h"

#include <gtest/gtest.h>

#include "session/session.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

TEST(PaletteLayers, MetalCountLimitsTheOfferedLayers) {
  testing::Fresh f;
  struct Case {
    int metals, highest;
    bool metal3, metal4, metal5;
  };
  const Case cases[] = {{2, kMetal2, false, false, false},
                        {3, kMetal3, true, false, false},
                        {4, kMetal4, true, true, false},
                        {5, kMetal5, true, true, true}};
  for (const Case& c : cases) {
    f.s.technology.META = c.metals;
    EXPECT_EQ(HighestUsableLayer(f.s), c.highest) << c.metals;
    EXPECT_EQ(PaletteLayerUsable(f.s, kMetal3), c.metal3) << c.metals;
    EXPECT_EQ(PaletteLayerUsable(f.s, kMetal4), c.metal4) << c.metals;
    EXPECT_EQ(PaletteLayerUsable(f.s, kMetal5), c.metal5) << c.metals;
    EXPECT_TRUE(PaletteLayerUsable(f.s, kMetal2));
  }
}

TEST(PaletteLayers, CurrentLayerStaysBelowTheHighestUsable) {
  testing::Fresh f;
  f.s.technology.META = 3;
  SetCurrentLayer(f.s, kMetal5);
  EXPECT_EQ(f.layout.wide.currentLayer, kMetal3);
  EXPECT_EQ(f.platform.Panel(0), "Set layer to metal3.");
  SetCurrentLayer(f.s, kVia2);  // below metal3: kept
  EXPECT_EQ(f.layout.wide.currentLayer, kVia2);
  f.s.technology.META = 2;
  LimitCurrentLayer(f.s);
  EXPECT_EQ(f.layout.wide.currentLayer, kMetal2);
  SetCurrentLayer(f.s, 21);  // not a layer: ignored
  EXPECT_EQ(f.layout.wide.currentLayer, kMetal2);
}

}  // namespace
}  // namespace tarnisk
