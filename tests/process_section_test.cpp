#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "process/geo_file.h"
#include "process/section.h"
#include "process/ucp_file.h"
#include "session/analysis/extract_command.h"
#include "session/process/process_view.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::WithRules;

std::vector<int> Layers(const std::vector<ProcessLevel>& levels) {
  std::vector<int> layers;
  for (const ProcessLevel& l : levels) layers.push_back(l.layer);
  return layers;
}

TEST(ProcessLevels, MetalsStandAtTheirHeightsAndViasFillTheGaps) {
  WithRules t;  // es207: metal1 at 1.5 (0.6 thick), metal2 at 3.0 (0.8 thick)
  const auto levels = ProcessLevels(t.layout.layers, 2);
  EXPECT_EQ(Layers(levels), (std::vector<int>{kContact, kMetal, kVia, kMetal2, kPassiv, kNitride}));
  for (size_t i = 1; i < levels.size(); ++i) EXPECT_DOUBLE_EQ(levels[i].bottom, levels[i - 1].top);
  EXPECT_DOUBLE_EQ(levels[1].bottom, 1.5);
  EXPECT_DOUBLE_EQ(levels[2].top, 3.0);
  EXPECT_DOUBLE_EQ(levels[5].top, 3.8 + 0.8 + 0.5);
  // The default table puts every metal at 1 um: each is stacked on the via
  // layer's thickness instead of overlapping the one below.
  const auto stacked = ProcessLevels(DefaultLayerTable(), 3);
  EXPECT_DOUBLE_EQ(stacked[3].bottom, 1.5 + 0.5);
  EXPECT_DOUBLE_EQ(stacked[5].bottom, stacked[3].top + 0.5);
}

TEST(SectionCut, FollowsTheLongerExtentThroughTheMidpoint) {
  const SectionCut h = CutThrough({40, 7}, {-10, 10});
  EXPECT_TRUE(h.horizontal);
  EXPECT_DOUBLE_EQ(h.across, 8.5);
  EXPECT_EQ(h.from, -10);
  EXPECT_EQ(h.to, 40);
  const SectionCut v = CutThrough({0, 0}, {5, 5});  // equal extents: vertical
  EXPECT_FALSE(v.horizontal);
  EXPECT_DOUBLE_EQ(v.across, 2.5);
  const SectionCut right = ShiftedCut(h, true), left = ShiftedCut(h, false);
  EXPECT_EQ(right.from, 0);
  EXPECT_EQ(right.to, 50);
  EXPECT_EQ(left.from, -20);
}

// A transistor-like stack: diffusion with a poly gate over it, metal1 in two
// pieces, metal2 over the second, a via between them, in an nwell.
struct Stack : WithRules {
  Stack() {
    Add({{0, 0, 40, 10, kNwell}, {2, 2, 30, 8, kDiffp}, {10, 0, 14, 10, kPoly},
         {0, 3, 8, 7, kMetal}, {20, 3, 30, 7, kMetal}, {22, 3, 34, 7, kMetal2},
         {24, 4, 26, 6, kVia}});
  }
  ProcessSection Section() { return BuildSection(layout, CutThrough({-5, 5}, {45, 5}), 2); }
};

std::vector<const SectionPiece*> PiecesOf(const ProcessSection& s, Material m) {
  std::vector<const SectionPiece*> found;
  for (const SectionPiece& p : s.pieces)
    if (p.material == m) found.push_back(&p);
  return found;
}

TEST(Section, StacksEachColumnAndNumbersTheMetalPieces) {
  Stack t;
  const ProcessSection s = t.Section();
  EXPECT_EQ(s.boundaries, (std::vector<int32_t>{-5, 0, 2, 8, 10, 14, 20, 22, 24, 26, 30, 34, 40, 45}));
  EXPECT_EQ(s.crossedBoxes.size(), 7u);
  // The diffusion stops under the gate: two pieces, 1 um deep, either side.
  const auto diffusion = PiecesOf(s, Material::DiffusionP);
  ASSERT_EQ(diffusion.size(), 2u);
  EXPECT_EQ(diffusion[0]->x1, 10);
  EXPECT_EQ(diffusion[1]->x0, 14);
  EXPECT_DOUBLE_EQ(diffusion[0]->bottom, -kDiffusionDepth);
  const auto well = PiecesOf(s, Material::Nwell);
  ASSERT_EQ(well.size(), 1u);  // adjacent columns make one piece
  EXPECT_DOUBLE_EQ(well[0]->bottom, -kWellDepth);
  const auto poly = PiecesOf(s, Material::Poly);
  ASSERT_EQ(poly.size(), 1u);
  EXPECT_DOUBLE_EQ(poly[0]->bottom, 0.5);
  EXPECT_NEAR(poly[0]->top, 0.9, 1e-12);
  // Metal pieces in the order met, each the run of its columns.
  ASSERT_EQ(s.conductors.size(), 3u);
  const CutConductor& a = s.conductors[0];
  EXPECT_EQ(a.number, 1);
  EXPECT_EQ(a.x0, 0);
  EXPECT_EQ(a.x1, 8);
  EXPECT_EQ(s.conductors[1].layer, kMetal);
  EXPECT_EQ(s.conductors[1].x0, 20);
  EXPECT_EQ(s.conductors[1].x1, 30);
  EXPECT_EQ(s.conductors[2].layer, kMetal2);
  EXPECT_EQ(s.conductors[2].x0, 22);
  EXPECT_EQ(s.conductors[2].x1, 34);
  EXPECT_DOUBLE_EQ(s.conductors[2].bottom, 3.0);
  EXPECT_EQ(PiecesOf(s, Material::Via).size(), 1u);
}

TEST(Section, CapsTheColumnsAndTheConductorList) {
  WithRules t;
  for (int i = 0; i < 150; ++i) t.Add({{4 * i, 0, 4 * i + 2, 10, kMetal}});
  const ProcessSection s = BuildSection(t.layout, CutThrough({-1, 5}, {700, 5}), 2);
  EXPECT_EQ(s.boundaries.size(), size_t(kMaxSectionColumns) + 1);
  EXPECT_EQ(s.conductors.size(), size_t(kMaxSectionConductors));
  EXPECT_EQ(s.conductors.back().number, kMaxSectionConductors);
  EXPECT_EQ(s.unlistedConductors, 100 - kMaxSectionConductors);  // pieces within the 200 columns
  // The unlisted pieces are still drawn as metal.
  EXPECT_EQ(PiecesOf(s, Material::Metal).size(), 100u);
}

TEST(Section, OneNodeIsOneSolverConductorJoinedByItsVia) {
  Stack t;
  ASSERT_TRUE(EnsureExtracted(t.s));
  ProcessSection section = t.Section();
  std::vector<std::vector<int>> owners;
  const CrossSection cross = SolverSectionOf(section, t.layout.layers, 0.5, &owners);
  ASSERT_EQ(cross.conductors.size(), 2u);
  EXPECT_EQ(owners[1], (std::vector<int>{1, 2}));
  ASSERT_EQ(cross.conductors[1].rects.size(), 3u);  // metal1, metal2 and the via between
  EXPECT_DOUBLE_EQ(cross.conductors[1].rects[2].bottom, 1.5 + 0.6);
  EXPECT_DOUBLE_EQ(cross.conductors[1].rects[2].top, 3.0);
  EXPECT_EQ(cross.dielectrics.size(), 6u);
  EXPECT_DOUBLE_EQ(cross.dielectrics.back().permittivity, 7.0);
  const SectionCapacitance c = SolveSection(t.s, section);
  ASSERT_TRUE(c.solution.ok()) << c.solution.error;
  EXPECT_LT(c.solution.C(0, 1), 0);
  EXPECT_DOUBLE_EQ(section.conductors[2].value, c.solution.C(1, 1));
}

// ---------------------------------------------------------------- GEO

// Layer values that make every line of the stack distinct.
LayerTable GeoLayers() {
  LayerTable layers = DefaultLayerTable();
  layers[kContact].thickness = 1.5;
  layers[kMetal].thickness = 0.6;
  layers[kVia].thickness = 0.9;
  layers[kMetal2].thickness = 0.8;
  layers[kVia2].thickness = 1.1;
  layers[kMetal3].thickness = 1.0;
  layers[kPassiv].thickness = 0.7;
  layers[kPassiv].permittivity = 4.2;
  layers[kNitride].thickness = 0.45;
  return layers;
}

TEST(GeoFile, TwoMetalsWithTwoConductors) {
  CutConductor a, b;
  a.number = 1, a.level = 1, a.x0 = 3, a.x1 = 7;
  b.number = 2, b.level = 2, b.x0 = -4, b.x1 = 10;
  const auto lines = GeoFileLines(GeoLayers(), 2, 0.5, {a, b}, {}, "12/03/2024", "10:11:12");
  const std::vector<std::string> expected = {
      "// Meshcap Translator Version 1.3",
      "// 12/03/2024",
      "// 10:11:12",
      "------------ Dielectrics : Thickness (\xC2\xB5m), Epsilon ------",
      "Ncou = INF   6 GND",
      "     7   1.000",
      "     6    7.000    0.450",
      "     5    4.200    0.700",
      "     4    3.900    0.800",
      "     3    3.900    0.900",
      "     2    3.900    0.600",
      "     1    3.900    1.500",
      "------------ Conductors : layer, x0, x1 (\xC2\xB5m) ------",
      "NCond = 1",
      "Mesh =   0.050   0.050",
      "     1      2    1.500    3.500",
      "     2      4   -2.000    5.000",
      "------------ Parameters ------",
      "     5     10     1.0E-8"};
  EXPECT_EQ(lines, expected);
}

TEST(GeoFile, NoConductorsAndThreeMetalsAndLongPrecision) {
  GeoOptions options;
  options.precision = "0.000000001";  // 11 characters: no filling blanks
  options.images = 7.4;
  const auto lines = GeoFileLines(GeoLayers(), 3, 0.5, {}, options, "d", "t");
  EXPECT_EQ(lines[4], "Ncou = INF   8 GND");
  EXPECT_EQ(lines[5], "     9   1.000");
  EXPECT_EQ(lines[7], "     7    4.200    0.700");  // passivation above metal3
  EXPECT_EQ(lines[9], "     5    3.900    1.100");  // via2
  EXPECT_EQ(lines[13], "     1    3.900    1.500");
  EXPECT_EQ(lines[15], "NCond = -1");
  EXPECT_EQ(lines[17], "------------ Parameters ------");
  EXPECT_EQ(lines[18], "     7     10  0.000000001");
  EXPECT_DOUBLE_EQ(DefaultMeshStep(0.8), 0.08);
  EXPECT_EQ(ReplaceExtension("dir.v2/chip.msk", "geo"), "dir.v2/chip.geo");
  EXPECT_EQ(ReplaceExtension("dir.v2/chip", "geo"), "dir.v2/chip.geo");
}

// ---------------------------------------------------------------- UCP

struct UcpLayout : WithRules {
  UcpLayout() : WithRules("es207.rul") {}
  UcpFile Write(const UcpSettings& settings = {}, bool extract = true) {
    if (extract) {
      EXPECT_TRUE(EnsureExtracted(s));
    }
    return UcpFileLines(layout, s.technology.LAMB, 2, settings, "01/02/2024 03:04:05");
  }
  std::vector<std::string> LinesAfter(const UcpFile& f, const std::string& header) {
    std::vector<std::string> found;
    for (size_t i = 0; i + 1 < f.lines.size(); ++i)
      if (f.lines[i] == header) found.push_back(f.lines[i + 1]);
    return found;
  }
};

const char* kConductorHeader = "CONDUCTOR : INDEX X1 (MICR.) X2 (MICR.) Y1 (MICR.) Y2 (MICR.)";

TEST(UcpFile, OneWireOfThreeBoxesSharesItsIndex) {
  UcpLayout t;
  // An L-shaped wire that the extraction cannot merge into fewer boxes.
  t.Add({{0, 0, 10, 4, kMetal}, {6, 0, 10, 20, kMetal}, {6, 16, 30, 20, kMetal},
         {0, 20, 100, 24, kMetal2}});
  const UcpFile f = t.Write();
  const auto entries = t.LinesAfter(f, kConductorHeader);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].substr(0, 2), entries[1].substr(0, 2));
  EXPECT_EQ(entries[1].substr(0, 2), entries[2].substr(0, 2));
  EXPECT_NE(entries[0].substr(0, 2), entries[3].substr(0, 2));
  // Lambda 0.5, 10 um around: the origin is 20 lambda left of and below the boxes.
  EXPECT_NE(std::find(entries.begin(), entries.end(), entries[0].substr(0, 2) +
                          "    10.00    15.00    10.00    12.00"),
            entries.end())
      << ::testing::PrintToString(entries);
  EXPECT_EQ(f.conductors, 4);
  const std::vector<std::string> head(f.lines.begin(), f.lines.begin() + 9);
  EXPECT_EQ(head, (std::vector<std::string>{
                      "! UCP translator version 2.0", f.lines[1], "! Time: 01/02/2024 03:04:05",
                      "BASE SURFACE : X . Y (MICRONS)", "70.00 32.00", "! Initial oxide to metal1",
                      "LAYER : THICK (MICRONS) REL. PERMITTIVITY", " 1.50     4", "! Layer metal"}));
  EXPECT_EQ(t.LinesAfter(f, "! Interlayer via"),
            std::vector<std::string>{"LAYER : THICK (MICRONS) REL. PERMITTIVITY"});
  EXPECT_EQ(f.lines[f.lines.size() - 1], "10.00     1");
  EXPECT_EQ(f.lines[f.lines.size() - 3], "! Air, 10\xC2\xB5m, er=1");
}

TEST(UcpFile, BaseSurfaceOfAHundredLambdaAtPointFour) {
  WithRules t;
  t.s.technology.LAMB = 0.4;
  t.Add({{0, 0, 100, 100, kMetal}});
  const UcpFile f = UcpFileLines(t.layout, 0.4, 2, {}, "now");
  EXPECT_EQ(f.lines[4], "60.00 60.00");
}

TEST(UcpFile, TextsTakeTheAltitudeOfTheLastBoxUnderThem) {
  UcpLayout t;
  t.Add({{0, 0, 20, 20, kMetal}, {0, 0, 20, 20, kMetal2}, {40, 0, 60, 20, kMetal2},
         {40, 0, 60, 20, kMetal}});
  AddLayoutText(t.layout, 10, 10, "upper");
  AddLayoutText(t.layout, 50, 10, "lower");
  AddLayoutText(t.layout, 100, 100, "nowhere");
  AddLayoutText(t.layout, 20, 20, "gnd");
  AddLayoutText(t.layout, 5, 5, "clk");
  t.layout.texts[4].property = kPropertyVss;
  t.layout.texts[5].property = kPropertyClock;
  UcpSettings settings;
  settings.groundAltitude = -1;
  const UcpFile f = t.Write(settings, false);  // the boxes keep their order
  const std::vector<std::string> tail(f.lines.end() - 4, f.lines.end());
  // metal2 tops at 3.0 + 0.8, metal1 at 1.5 + 0.6; the origin is 20 lambda off.
  EXPECT_EQ(tail, (std::vector<std::string>{"PROP 15.00 15.00 3.80 upper", "PROP 35.00 15.00 2.10 lower",
                                            "GND 20.00 20.00 -1.00 3.80 gnd",
                                            "SOURCE 12.50 12.50 3.80 clk"}));
  EXPECT_EQ(f.texts, 4);
  const auto rows = UcpProperties(t.layout);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[2].name, "nowhere");
  EXPECT_EQ(rows[2].type, "prop");
  EXPECT_EQ(rows[4].type, "source");
}

}  // namespace
}  // namespace tarnisk
