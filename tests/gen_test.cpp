// The cell generator's structures: their geometry against the rules, the
// design rule checker and the extractor on what they draw, the pad file and
// the pad ring, paths and the logo font.

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "core/msk_file.h"
#include "gen/contact.h"
#include "gen/logo.h"
#include "gen/pad_ring.h"
#include "gen/path.h"
#include "gen/structures.h"
#include "gen/warnings.h"
#include "session/editor/editing.h"
#include "session/generator/generator.h"
#include "session/session.h"
#include "tests/test_support.h"
#include "verify/drc.h"
#include "verify/extract.h"

namespace tarnisk {
namespace {

using testing::DataFile;

struct Generator : ::testing::Test, testing::WithRules {
  Generator() { s.generator.cellDirectory = DataFile("pads"); }

  std::vector<Rect> Boxes(int layer) const {
    std::vector<Rect> found;
    ForEachLive(layout.boxes, [&](int, const Box& b) {
      if (b.layer == layer) found.push_back(RectOf(b));
    });
    return found;
  }
  // The rule check of every check on a copy, with its violations listed.
  std::string Violations() {
    Layout copy = layout;
    SilentProgress quiet;
    const DrcReport r = RunDesignRuleCheck(copy, s.technology, {.runEveryCheck = true}, quiet);
    std::ostringstream text;
    for (const DrcViolation& v : r.violations)
      text << v.label << v.what << " at " << v.rect.xmin << "," << v.rect.ymin << " ";
    for (const std::string& skipped : r.skipped) text << "skipped " << skipped << " ";
    return text.str();
  }
  // The extraction of a copy, which keeps the boxes as drawn.
  Circuit Extract(Layout& copy) {
    ExtractOptions options;
    options.cleaningMode = kMergeOnly;
    SilentProgress quiet;
    return ExtractLayout(copy, s.technology, options, quiet);
  }
};

int NodeAt(const Layout& l, int layer, Point p) {
  for (int i = 1; i <= l.boxes.Count(); ++i) {
    const Box& b = l.boxes[i];
    if (b.state != kErased && b.layer == layer && PointInRect(p, RectOf(b))) return b.node;
  }
  return -100;
}

TEST_F(Generator, AContactIsItsCutAndTheTwoLayersAroundIt) {
  LayoutWriter out(layout);
  DrawContact(out, s.technology, {10, 10}, kContactDiffn);
  EXPECT_EQ(Boxes(kContact), std::vector<Rect>{(Rect{9, 9, 11, 11})});
  EXPECT_EQ(Boxes(kMetal), std::vector<Rect>{(Rect{8, 8, 12, 12})});
  EXPECT_EQ(Boxes(kDiffn), std::vector<Rect>{(Rect{8, 8, 12, 12})});
  DrawContact(out, s.technology, {100, 100}, kContactVia);
  EXPECT_EQ(Boxes(kVia), std::vector<Rect>{(Rect{99, 99, 101, 101})});
  EXPECT_EQ(Boxes(kMetal2), std::vector<Rect>{(Rect{98, 98, 102, 102})});
  DrawContact(out, s.technology, {0, 0}, kMetal);  // no contact kind
  const Generated g = out.Result("");
  EXPECT_EQ(g.boxesAdded, 6);
  EXPECT_EQ(g.extentAdded, (Rect{8, 8, 102, 102}));
}

TEST_F(Generator, ArrayRowsStepAlongXAndColumnsAlongY) {
  LayoutWriter out(layout);
  DrawContactArray(out, s.technology, {0, 0}, 3, 2, kContactPoly);
  std::set<std::pair<int, int>> cuts;
  for (const Rect& r : Boxes(kContact)) cuts.insert({r.xmin + 1, r.ymin + 1});
  EXPECT_EQ(cuts, (std::set<std::pair<int, int>>{{0, 0}, {4, 0}, {8, 0}, {0, 4}, {4, 4}, {8, 4}}));
  Layout copy = layout;
  Extract(copy);
  std::set<int> nodes;
  ForEachLive(copy.boxes, [&](int, const Box& b) { nodes.insert(b.node); });
  EXPECT_EQ(nodes.size(), 1u) << "an array is one node";
}

TEST_F(Generator, VerticalBusWiresStepByWidthAndSpacing) {
  LayoutWriter out(layout);
  DrawBus(out, {0, 0},
          {.layer = kMetal,
           .width = 3,
           .spacing = 3,
           .repeat = 2,
           .length = 100,
           .orientation = Orientation::Vertical});
  EXPECT_EQ(Boxes(kMetal), (std::vector<Rect>{{0, 0, 3, 100}, {6, 0, 9, 100}}));
}

// Every structure of the generator with the window's first values, alone and
// beside an example layout, keeps the rules of the bundled technology.
TEST_F(Generator, EveryStructureWithItsDefaultsIsRuleClean) {
  for (Structure st : {Structure::Contact, Structure::Contacts, Structure::Pad, Structure::Bus,
                       Structure::Inductor, Structure::Mos, Structure::Logo, Structure::PadRing}) {
    ReleaseAll(layout);
    EXPECT_EQ(RuleWarning(st, s.generator.settings, s.technology), "") << int(st);
    const Generated g = GenerateStructure(s, st, {0, 0});
    EXPECT_GT(g.boxesAdded, 0) << int(st);
    EXPECT_TRUE(g.Complete());
    EXPECT_EQ(Violations(), "") << int(st);
  }
  GeneratorSettings& g = s.generator.settings;
  for (Polarization p : {Polarization::NwellTap, Polarization::SubstrateTap}) {
    ReleaseAll(layout);
    g.contacts = {.kind = p == Polarization::NwellTap ? kContactDiffp : kContactDiffn,
                  .rows = 3,
                  .columns = 2,
                  .polarization = p};
    GenerateStructure(s, Structure::Contacts, {0, 0});
    EXPECT_EQ(Violations(), "") << "polarization " << int(p);
  }
  ReleaseAll(layout);
  Open("inverter.msk");
  GeneratePadRing(layout, s.technology, g.pads, nullptr, "", s.progress);
  EXPECT_EQ(Violations(), "") << "a ring around a layout";
}

TEST_F(Generator, MosDevicesExtractToTheTransistorsTheyPromise) {
  for (MosType type : {MosType::Nmos, MosType::Pmos})
    for (int gates : {1, 3}) {
      ReleaseAll(layout);
      s.generator.settings.mos = {
          .widthMicrons = 6, .lengthMicrons = 2, .gates = gates, .type = type};
      GenerateStructure(s, Structure::Mos, {0, 0});
      EXPECT_EQ(Violations(), "");
      Layout copy = layout;
      const Circuit c = Extract(copy);
      const auto& devices = type == MosType::Nmos ? c.nmos : c.pmos;
      EXPECT_TRUE((type == MosType::Nmos ? c.pmos : c.nmos).empty());
      ASSERT_EQ(devices.size(), size_t(gates));
      std::set<int> gateNodes;
      for (const MosDevice& d : devices) {
        EXPECT_EQ(d.W, 12);
        EXPECT_EQ(d.L, 4);
        gateNodes.insert(d.Gate);
      }
      EXPECT_EQ(gateNodes.size(), size_t(gates)) << "every gate its own input";
      // The gates in series between the two contacted columns.
      const Rect diffusion = Boxes(type == MosType::Nmos ? kDiffn : kDiffp).at(0);
      const int source = NodeAt(copy, kMetal, {2, 6});
      const int drain = NodeAt(copy, kMetal, {diffusion.xmax - 2, 6});
      int ends = 0;
      for (const MosDevice& d : devices)
        ends += (d.Source == source || d.Drain == source) + (d.Source == drain || d.Drain == drain);
      EXPECT_EQ(ends, 2) << "source and drain reach the outer devices of the chain";
    }
}

TEST_F(Generator, AnInductorIsOneWireAsLongAsItsTurns) {
  s.generator.settings.inductor = {.turns = 4, .width = 20, .spacing = 20};
  GenerateStructure(s, Structure::Inductor, {0, 0});
  EXPECT_EQ(Violations(), "");
  Layout copy = layout;
  Extract(copy);
  std::set<int> nodes;
  ForEachLive(copy.boxes, [&](int, const Box& b) { nodes.insert(b.node); });
  ASSERT_EQ(nodes.size(), 1u);
  // Each turn of half-size a: a left side shortened by two spacings, a top
  // and a right side, a bottom side one spacing longer.
  int64_t length = 0;
  double squares = 0;
  for (int i = 0; i < 4; ++i) {
    const int64_t a = 200 + 40 * i;
    for (int64_t side : {2 * a - 40, 2 * a, 2 * a, 2 * a + 20}) {
      length += side;
      squares += double(side) / 20;
    }
  }
  const nodeBaseRecord& node = copy.nodes.nodes[*nodes.begin()];
  EXPECT_EQ(node.InterconnectLength, length);
  EXPECT_NEAR(node.MetalResistance, squares * copy.layers[kMetal2].sheetResistance, 1e-9);
}

TEST_F(Generator, APathSegmentRunsAlongTheLongerDirection) {
  PathSettings path{.layer = kMetal, .width = 3};
  LayoutWriter out(layout);
  PathSegment seg = DrawPathSegment(out, s.technology, path, 10, {0, 0}, {20, 7});
  EXPECT_EQ(seg.box, (Rect{-2, -2, 21, 1})) << "an odd width puts its extra lambda low";
  EXPECT_EQ(seg.nextStart, (Point{20, 0}));
  seg = DrawPathSegment(out, s.technology, path, 10, seg.nextStart, {25, 30});
  EXPECT_EQ(seg.box, (Rect{18, -2, 21, 31}));
  EXPECT_EQ(seg.nextStart, (Point{20, 30}));

  path = {.layer = kMetal, .width = 4, .contacts = 2, .contactsAtEnds = true, .alignToGrid = true};
  ReleaseAll(layout);
  LayoutWriter ends(layout);
  seg = DrawPathSegment(ends, s.technology, path, 10, {4, 6}, {26, 14});
  EXPECT_EQ(seg.box, (Rect{-2, 8, 32, 12})) << "both points on the routing grid";
  EXPECT_EQ(Boxes(kVia).size(), 8u) << "a 2 x 2 via array at each end";

  path = {.layer = kDiffn, .width = 4};
  ReleaseAll(layout);
  LayoutWriter taps(layout);
  DrawPathSegment(taps, s.technology, path, 10, {0, 0}, {40, 0});
  EXPECT_EQ(Boxes(kContact).size(), size_t(44 / 4 - 1)) << "a contact every contact cell";
  EXPECT_EQ(Boxes(kMetal).size(), 1 + Boxes(kContact).size());
  EXPECT_EQ(Violations(), "");
}

TEST(RoutingGrid, SnapsToTheNearestMultipleWithHalvesToEven) {
  EXPECT_EQ(SnapToGrid(14, 10), 10);
  EXPECT_EQ(SnapToGrid(15, 10), 20);
  EXPECT_EQ(SnapToGrid(25, 10), 20);
  EXPECT_EQ(SnapToGrid(-15, 10), -20);
  EXPECT_EQ(SnapToGrid(-14, 10), -10);
}

TEST(LogoFont, EveryGlyphIsRuleCleanAndThePixelFollowsTheLetterSize) {
  testing::WithRules w;
  Technology t = w.s.technology;
  t.LAMB = 0.4;
  EXPECT_EQ(LogoPixel(t, 100), 14);
  EXPECT_EQ(LogoPixel(t, 1), 1);
  int glyphs = 0;
  LayoutWriter out(w.layout);
  for (int code = 0; code <= kLastGlyphCode; ++code) {
    if (BuiltInLogoFont()[code] == Glyph{}) continue;
    ++glyphs;
    if (code >= 128) continue;  // drawn below through UTF-8
    const LogoSettings one{.text = std::string(1, char(code)), .layer = kMetal};
    DrawLogo(out, w.s.technology, {(glyphs % 16) * 120, (glyphs / 16) * 250}, one);
  }
  EXPECT_GT(glyphs, 95) << "digits, letters, punctuation and symbols";
  DrawLogo(out, w.s.technology, {0, -300},
           {.text = "\xC2\xB5m \xC2\xB1 1\xC2\xB0", .layer = kMetal});
  SilentProgress quiet;
  const DrcReport r = RunDesignRuleCheck(w.layout, w.s.technology, {.runEveryCheck = true}, quiet);
  EXPECT_TRUE(r.Clean()) << r.firstText;
}

TEST(LogoFont, MalformedTextsAreRefusedWithTheirLine) {
  int line = 0;
  EXPECT_FALSE(ParseLogoFont("# c\nglyph 65\n........\n", line));
  EXPECT_EQ(line, 4);
  EXPECT_FALSE(ParseLogoFont("glyph 300\n", line));
  EXPECT_FALSE(ParseLogoFont("hello\n", line));
  EXPECT_EQ(line, 1);
  std::string one = "glyph 66\n";
  for (int r = 0; r < kGlyphRows; ++r) one += r == 17 ? "#.......\n" : "........\n";
  const std::optional<LogoFont> font = ParseLogoFont(one, line);
  ASSERT_TRUE(font);
  EXPECT_EQ((*font)[66][0], 0x80) << "the last row is row 0, the first column the top bit";
}

TEST(PadFile, PadLinesKeepTheirNamesAsWritten) {
  const PadFileRead r =
      ParsePadFile("My chip\r\n4 2 1\r\nN 1 I clk\r\nn  2 Iclk\r\ns 1 dvdd\r\nW 1 Q x\r\n");
  ASSERT_TRUE(r.Ok());
  EXPECT_EQ(r.file.chipName, "My chip");
  EXPECT_EQ(r.file.padsX, 2);
  EXPECT_EQ(r.file.padsY, 1);
  ASSERT_EQ(r.file.pads.size(), 4u);
  EXPECT_EQ(r.file.pads[0].name, " clk");
  EXPECT_EQ(r.file.pads[0].type, kPadInput);
  EXPECT_EQ(r.file.pads[1].side, 'N');
  EXPECT_EQ(r.file.pads[1].position, 2);
  EXPECT_EQ(r.file.pads[1].name, "clk");
  EXPECT_EQ(r.file.pads[2].type, kPadVdd);
  EXPECT_EQ(r.file.pads[3].type, kPadBare) << "an unknown type leaves the pad bare";
  EXPECT_EQ(FindPad(r.file, 'N', 2), &r.file.pads[1]);
  EXPECT_EQ(FindPad(r.file, 'E', 1), nullptr);
}

TEST(PadFile, ShortAndMalformedFiles) {
  const PadFileRead shortFile = ParsePadFile("chip\n9 3 3\nN 1 Sa\nN 2 Db\n");
  EXPECT_TRUE(shortFile.Ok());
  EXPECT_EQ(shortFile.file.pads.size(), 2u) << "stops at the end of the file";
  EXPECT_EQ(ParsePadFile("chip\nthree 3 3\n").malformedLine, 2);
  EXPECT_EQ(ParsePadFile("chip\n2 3 3\nN 1 Sa\nN x Db\n").malformedLine, 4);
  EXPECT_NE(ReadPadFile("/nonexistent/a.pad").ioError, 0);
}

// The pads, their texts, strips and cells as the demo pad file asks.
TEST_F(Generator, ThePadRingPlacesItsPadsBetweenTwoClosedRings) {
  Open("inverter.msk");
  ASSERT_TRUE(LoadPadFile(s, DataFile("pads/demo.pad")).Ok());
  EXPECT_EQ(s.platform.StatusPanelText(0), "Create pad ring for Tarnisk demo chip");
  s.generator.settings.pads.padsX = 5;
  const int before = layout.boxes.Count();
  const Generated g = GenerateStructure(s, Structure::PadRing, {});
  ASSERT_TRUE(g.Complete()) << g.message;
  EXPECT_EQ(Boxes(kPassiv).size(), 16u) << "5 pads north and south, 3 west and east";
  EXPECT_EQ(g.textsAdded, 12);
  EXPECT_EQ(Violations(), "");
  Layout copy = layout;
  Extract(copy);
  // The outer ring's outer edge is the extent; the inner ring lies a pad
  // pitch and a ring width (240 + 60) inside it; pads are centred in between.
  const Rect& e = g.extentAdded;
  const int32_t midX = (e.xmin + e.xmax) / 2, midY = (e.ymin + e.ymax) / 2;
  const auto ring = [&](int32_t in) {
    std::set<int> nodes;
    for (Point p : {Point{e.xmin + in, midY}, Point{e.xmax - in, midY}, Point{midX, e.ymin + in},
                    Point{midX, e.ymax - in}})
      nodes.insert(NodeAt(copy, kMetal, p));
    EXPECT_EQ(nodes.size(), 1u) << "a closed ring " << in << " inside";
    return *nodes.begin();
  };
  const int outer = ring(1), inner = ring(301);
  EXPECT_NE(outer, inner) << "the supply rings are apart";
  const auto pad = [&](int i, int32_t y) {
    return NodeAt(copy, kMetal, {e.xmin + 180 + 240 * i, y});
  };
  EXPECT_EQ(pad(1, e.ymin + 180), outer) << "the ground pad S 1";
  EXPECT_EQ(pad(2, e.ymin + 180), inner) << "the supply pad S 2";
  for (int i : {1, 2, 3, 4}) {
    EXPECT_NE(pad(i, e.ymax - 180), outer) << "north pad " << i;
    EXPECT_NE(pad(i, e.ymax - 180), inner) << "north pad " << i;
  }
  // Undo takes the ring and the inserted cells away.
  Undo(s);
  Purge(layout);
  EXPECT_EQ(layout.boxes.Count(), before);
}

TEST_F(Generator, AMissingPadCellIsReportedAndThePadLeftBare) {
  ASSERT_TRUE(LoadPadFile(s, DataFile("pads/demo.pad")).Ok());
  s.generator.cellDirectory = "/nonexistent";
  const Generated g = GenerateStructure(s, Structure::PadRing, {});
  EXPECT_NE(g.message.find("Error reading \"/nonexistent/padin_n.msk\""), std::string::npos)
      << g.message;
  EXPECT_EQ(Boxes(kPassiv).size(), 12u);
}

TEST_F(Generator, WarningsNameTheRuleTheFieldsBreak) {
  GeneratorSettings g;
  g.bus.width = 2;
  EXPECT_NE(RuleWarning(Structure::Bus, g, s.technology).find("metal width rule of 3"),
            std::string::npos);
  g.bus = {.layer = kMetal3};
  EXPECT_NE(RuleWarning(Structure::Bus, g, s.technology).find("not a layer"), std::string::npos);
  g.mos.widthMicrons = 1.5;  // 3 lambda: no room for a contact
  EXPECT_NE(RuleWarning(Structure::Mos, g, s.technology).find("no room for contacts"),
            std::string::npos);
  g.logo.letterSizeMicrons = 10;  // a pixel of 1 lambda
  EXPECT_NE(RuleWarning(Structure::Logo, g, s.technology).find("Pixel 1 lambda"),
            std::string::npos);
  g.pads.ringWidthMicrons = 40;
  EXPECT_NE(RuleWarning(Structure::PadRing, g, s.technology), "");
}

TEST_F(Generator, UndoRemovesWhatAPlacementAdded) {
  AddBox(layout, 0, 0, 10, 10, kMetal);
  PlaceAt(s, kCommandPlaceMos, {50, 50});
  EXPECT_EQ(layout.wide.modified, 1);
  EXPECT_GT(layout.boxes.Count(), 1);
  Undo(s);
  Purge(layout);
  EXPECT_EQ(layout.boxes.Count(), 1);
}

TEST_F(Generator, AFullTableStopsTheStructureAndSaysSo) {
  s.generator.settings.contacts = {.kind = kContactDiffn, .rows = 300, .columns = 300};
  const Generated g = GenerateStructure(s, Structure::Contacts, {0, 0});
  EXPECT_FALSE(g.Complete());
  EXPECT_EQ(layout.boxes.Count(), kMaxBoxes);
  EXPECT_EQ(s.LastError, kErrorBoxTableFull);
  EXPECT_EQ(s.platform.StatusPanelText(0), kBoxTableFullMessage);
}

}  // namespace
}  // namespace tarnisk
