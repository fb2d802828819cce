// The navigator's analyses: the node under a point against the extraction's
// box-to-node map, one interconnect, the colour scale and gain, the length
// histogram, and the statistics' classes and zoom.

#include <gtest/gtest.h>

#include <random>

#include "session/analysis/extract_command.h"
#include "session/navigator/navigator_commands.h"
#include "stats/layout_statistics.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"
#include "verify/crosstalk_view.h"
#include "verify/interconnect.h"
#include "verify/navigator.h"

namespace tarnisk {
namespace {

using testing::WithRules;

// The node under a point is the node of the last box (in table order) that
// holds it, on random layouts of poly, metal, diffusion and contacts.
TEST(Navigator, NodeAtAgreesWithTheExtractionsBoxNodes) {
  std::mt19937 rng(17);
  for (int round = 0; round < 8; ++round) {
    WithRules f;
    std::uniform_int_distribution<int> coordinate(0, 120), size(2, 30), layer(0, 4);
    const int layers[] = {kPoly, kMetal, kDiffn, kContact, kMetal2};
    for (int i = 0; i < 60; ++i) {
      const int x = coordinate(rng), y = coordinate(rng);
      AddBox(f.layout, x, y, x + size(rng), y + size(rng), layers[layer(rng)]);
    }
    ASSERT_TRUE(EnsureExtracted(f.s));
    for (int probe = 0; probe < 200; ++probe) {
      const Point p{coordinate(rng), coordinate(rng)};
      int expected = -1;
      for (int i = 1; i <= f.layout.boxes.Count(); ++i)
        if (PointInRect(p, RectOf(f.layout.boxes[i]))) expected = f.layout.boxes[i].node;
      EXPECT_EQ(NodeAt(f.layout, p, 0).node, expected) << p.x << "," << p.y;
    }
  }
}

TEST(Navigator, InterconnectStopsAtDiffusionAndIsFilteredByLength) {
  WithRules f;
  // A metal wire 600 lambda long (300 um at 0.5 um) over a contact to diffusion
  // crossed by poly, and a separate short wire.
  f.Add({{0, 0, 600, 4, kMetal}, {0, 0, 4, 4, kContact}, {-6, -6, 10, 10, kDiffn},
         {2, -10, 4, 20, kPoly}, {0, 50, 100, 54, kMetal}});
  EXPECT_FALSE(TraceInterconnect(f.layout, f.s.technology, {2000, 2000}, f.s.progress).found);
  EXPECT_EQ(f.platform.Panel(0), "No interconnect foun at this location. Try again.");
  const Interconnect wire = TraceInterconnect(f.layout, f.s.technology, {300, 2}, f.s.progress);
  EXPECT_TRUE(wire.found);
  EXPECT_EQ(wire.boxes, 3) << "metal, contact and diffusion; the poly is only marked";
  EXPECT_EQ(wire.length, 600 + 4 + 16);
  EXPECT_NE(InterconnectMessage(wire, 0.5, 100).find("(analysed)"), std::string::npos);
  const Interconnect shortWire = TraceInterconnect(f.layout, f.s.technology, {50, 52}, f.s.progress);
  EXPECT_EQ(shortWire.boxes, 1);
  EXPECT_NE(InterconnectMessage(shortWire, 0.5, 100).find("(filtered)"), std::string::npos);
  EXPECT_EQ(f.layout.wide.extracted, 0);
}

TEST(CrosstalkView, ColourScaleAndGainSteps) {
  EXPECT_EQ(CrosstalkColour(0), MakeColour(0, 0, 250));
  EXPECT_EQ(CrosstalkColour(-5), MakeColour(0, 0, 250));
  EXPECT_EQ(CrosstalkColour(25), MakeColour(0, 250, 0));
  EXPECT_EQ(CrosstalkColour(50), MakeColour(250, 250, 0));
  EXPECT_EQ(CrosstalkColour(75), MakeColour(250, 250, 0));
  EXPECT_EQ(CrosstalkColour(100), MakeColour(250, 250, 250));
  EXPECT_EQ(CrosstalkColour(180), MakeColour(250, 250, 250));
  EXPECT_EQ(ScaleLabel(5, kInitialGain), "1.00V");
  EXPECT_EQ(LowerScale(50), 50);
  EXPECT_EQ(LowerScale(5), 10);
  EXPECT_EQ(HigherScale(0.5), 0.5);
  EXPECT_EQ(HigherScale(5), 2);
  EXPECT_EQ(LegendStripes().size(), 26u + 26u + 16u);
}

TEST(Navigator, HistogramMarksTheFilterAndConvertsToMicrons) {
  NodeTable nodes;
  nodes.count = 4;
  nodes.nodes[1].InterconnectLength = 10;    // 5 um
  nodes.nodes[2].InterconnectLength = 400;   // 200 um
  nodes.nodes[3].InterconnectLength = 30000; // 15000 um
  const std::vector<std::string> lines = LengthHistogram(nodes, 0.5, 100);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "----Below Filter-------");
  EXPECT_EQ(lines[1], "0-10\xC2\xB5m 25.0 %");
  EXPECT_EQ(lines[4], "----Above Filter-------");
  EXPECT_EQ(lines[5], "100-300\xC2\xB5m 25.0 %");
  EXPECT_EQ(lines[9], "> 10000\xC2\xB5m 25.0 %");
  nodes.count = 0;
  EXPECT_EQ(LengthHistogram(nodes, 0.5, 100).size(), 1u);
}

TEST(Statistics, ClassesAveragesAndZoom) {
  NodeTable nodes;
  EXPECT_EQ(ClassifyLengths(nodes, 0.5).counts[0], 1) << "node 1 counts before extraction";
  nodes.count = 0;
  EXPECT_EQ(ClassifyLengths(nodes, 0.5).averageLength, 0);
  nodes.count = 2;
  nodes.nodes[1].InterconnectLength = 100;      // 50 um: class 5
  nodes.nodes[2].InterconnectLength = 20000;    // 10000 um: the last class
  const LengthClasses c = ClassifyLengths(nodes, 0.5);
  EXPECT_EQ(c.counts[5], 1);
  EXPECT_EQ(c.counts[kLengthClasses], 1);
  EXPECT_DOUBLE_EQ(c.averageLength, 5025);
  HistogramRange r;
  for (const int expected : {50, 25, 12, 6, 3, 1, 1}) {
    ZoomHistogramIn(r);
    EXPECT_EQ(r.yMax, expected);
  }
}

TEST(NavigatorCli, NodeCrosstalkAndStatsCommands) {
  const std::string layout = testing::DataFile("examples/inverter.msk");
  const testing::CliResult stats = testing::RunTool({"stats", layout, "--json", "--quiet"});
  ASSERT_EQ(stats.status, 0) << stats.err;
  EXPECT_NE(stats.out.find("\"interconnect_classes\""), std::string::npos);
  EXPECT_NE(stats.out.find("\"extracted\":true"), std::string::npos);
  const testing::CliResult bad = testing::RunTool({"node", layout, "--at", "x"});
  EXPECT_EQ(bad.status, 2);
  const testing::CliResult crosstalk = testing::RunTool({"crosstalk", layout, "--json", "--quiet"});
  ASSERT_EQ(crosstalk.status, 0) << crosstalk.err;
  EXPECT_NE(crosstalk.out.find("\"driven_noise_v\""), std::string::npos);
}

TEST(MosCli, CurvesAndMeasurementAsJson) {
  const testing::CliResult r =
      testing::RunTool({"mos", "--type", "p", "--level", "1", "--curve", "idvg", "--json", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"level\":1,\"type\":\"p\",\"curves\":[{\"fixed_v\":5.0", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\"measure\":null"), std::string::npos);
  EXPECT_EQ(testing::RunTool({"mos", "--level", "2"}).status, 2);
  const testing::CliResult m = testing::RunTool(
      {"mos", "--measure", testing::DataFile("measurements/nmos10x2.MES"), "--json", "--quiet"});
  ASSERT_EQ(m.status, 0) << m.err;
  EXPECT_NE(m.out.find("\"loaded\":true"), std::string::npos);
}

}  // namespace
}  // namespace tarnisk
