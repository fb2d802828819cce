#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "models/mos_models.h"
#include "session/analysis/extract_command.h"
#include "session/session.h"
#include "tests/test_support.h"
#include "verify/extract.h"
#include "verify/parasitics.h"

namespace tarnisk {
namespace {

using testing::DataFile;
using testing::Fresh;

using B = testing::BoxSpec;

struct Extract : testing::WithRules {
  const nodeBaseRecord& Node(int k) const { return layout.nodes.nodes[k]; }
  std::string Name(int k) const { return Node(k).name; }
  // The node that a text named `name` gave its name to.
  int Named(const std::string& name) const {
    for (int k = 0; k <= layout.nodes.count; ++k)
      if (Node(k).name == name) return k;
    return -100;
  }
  const Circuit& E() const { return s.circuit; }
};

bool SameDiffusions(const MosDevice& d, int a, int b) {
  return (d.Source == a && d.Drain == b) || (d.Source == b && d.Drain == a);
}

TEST(ExtractExamples, InverterIsOneNmosAndOnePmosBetweenTheRails) {
  Extract x;
  x.Open("inverter.msk");
  ASSERT_TRUE(EnsureExtracted(x.s));
  ASSERT_EQ(x.E().nmos.size(), 1u);
  ASSERT_EQ(x.E().pmos.size(), 1u);
  const MosDevice& n = x.E().nmos[0];
  const MosDevice& p = x.E().pmos[0];
  EXPECT_EQ(n.W, 6);
  EXPECT_EQ(n.L, 2);
  EXPECT_EQ(p.W, 12);
  EXPECT_EQ(p.L, 2);
  const int vdd = x.Named("Vdd"), vss = x.Named("Vss"), in = x.Named("in"), out = x.Named("out");
  EXPECT_EQ(n.Gate, in);
  EXPECT_EQ(p.Gate, in);
  EXPECT_TRUE(SameDiffusions(n, vss, out));
  EXPECT_TRUE(SameDiffusions(p, vdd, out));
  EXPECT_EQ(p.Bulk, vdd) << "the well is tied to the supply";
  EXPECT_EQ(n.Bulk, 0);
  EXPECT_EQ(x.layout.nodes.count, 5) << "vss, vdd and four drawn nodes";
  EXPECT_EQ(x.Node(in).property, kPropertyClock);
  EXPECT_EQ(x.Node(out).display, 2);
  EXPECT_NEAR(n.Wm, 6 * x.s.technology.LAMB * 1e-6, 1e-15);
  EXPECT_TRUE(FloatingNodes(x.s.layout).empty());
  EXPECT_EQ(x.layout.wide.extracted, 1);
  EXPECT_EQ(x.E().summary.rfind("Extraction complete :", 0), 0u) << x.E().summary;
  EXPECT_NE(x.E().summary.find(" boxes, 1 nMOS,1 pMOS, 5 nodes, in "), std::string::npos)
      << x.E().summary;
  for (int i = 1; i <= x.layout.boxes.Count(); ++i) {
    EXPECT_NE(x.layout.boxes[i].layer, kGaten);
    EXPECT_NE(x.layout.boxes[i].layer, kGatep);
  }
}

TEST(ExtractExamples, NandHasSeriesNmosAndParallelPmos) {
  Extract x;
  x.Open("nand2.msk");
  ASSERT_TRUE(EnsureExtracted(x.s));
  ASSERT_EQ(x.E().nmos.size(), 2u);
  ASSERT_EQ(x.E().pmos.size(), 2u);
  const int vdd = x.Named("Vdd"), vss = x.Named("Vss"), a = x.Named("a"), b = x.Named("b"),
            out = x.Named("out");
  const MosDevice& na = x.E().nmos[0].Gate == a ? x.E().nmos[0] : x.E().nmos[1];
  const MosDevice& nb = x.E().nmos[0].Gate == a ? x.E().nmos[1] : x.E().nmos[0];
  EXPECT_EQ(na.Gate, a);
  EXPECT_EQ(nb.Gate, b);
  // Series: one shared inner node between the rail and the output.
  const int inner = na.Source == vss ? na.Drain : na.Drain == vss ? na.Source : -1;
  ASSERT_GT(inner, 1) << "nMOS a sits on the ground rail";
  EXPECT_TRUE(SameDiffusions(nb, inner, out));
  for (const MosDevice& p : x.E().pmos) EXPECT_TRUE(SameDiffusions(p, vdd, out));
  EXPECT_NE(x.E().pmos[0].Gate, x.E().pmos[1].Gate);
}

TEST(ExtractExamples, RingOscillatorHasFiveStagesAndSevenDrawnNodes) {
  Extract x;
  x.Open("ring5.msk");
  ASSERT_TRUE(EnsureExtracted(x.s));
  EXPECT_EQ(x.E().nmos.size(), 5u);
  EXPECT_EQ(x.E().pmos.size(), 5u);
  EXPECT_EQ(x.layout.nodes.count, 8) << "vss, vdd, two rails and five stage nodes (one named out)";
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(x.E().nmos[i].Gate, x.E().pmos[i].Gate);
}

TEST(ExtractSteps, PolyAcrossDiffnIsOneGateBetweenTwoNodes) {
  Extract x;
  x.Add({{0, 0, 10, 4, kDiffn}, {4, -2, 6, 6, kPoly}});
  ASSERT_TRUE(EnsureExtracted(x.s));
  ASSERT_EQ(x.E().nmos.size(), 1u);
  const MosDevice& d = x.E().nmos[0];
  EXPECT_EQ(d.W, 4);
  EXPECT_EQ(d.L, 2);
  EXPECT_NE(d.Source, d.Drain);
  EXPECT_EQ(x.layout.nodes.count, 4);  // two diffusions and the gate
  int diffn = 0;
  for (int i = 1; i <= x.layout.boxes.Count(); ++i) diffn += x.layout.boxes[i].layer == kDiffn;
  EXPECT_EQ(diffn, 3) << "two diffusion sides and the gate returned to diffn";
  // The gate node reaches no diffusion: it floats.
  EXPECT_EQ(FloatingNodes(x.s.layout), std::vector<int>{d.Gate});
  EXPECT_EQ(ReportFloatingNodes(x.s), std::vector<int>{d.Gate});
  EXPECT_EQ(x.platform.Panel(0), "1 floating node found...");
  EXPECT_EQ(x.platform.Panel(1), x.Name(d.Gate) + " floating");
  ASSERT_EQ(x.layout.texts.Count(), 1);
  EXPECT_EQ(x.layout.texts[1].text, x.Name(d.Gate));
  EXPECT_EQ(x.layout.texts[1].x, 4) << "at the poly's lower-left corner";
  ReportFloatingNodes(x.s);
  EXPECT_EQ(x.layout.texts.Count(), 1) << "a node with its text gets no second one";
}

TEST(ExtractSteps, ParallelFingersMergeAndVerticalGatesTakeTheirWidthAcross) {
  Extract x;
  // Two fingers on one poly comb, source and drain strapped with metal.
  x.Add({{0, 0, 14, 4, kDiffn}, {3, -2, 5, 6, kPoly}, {9, -2, 11, 6, kPoly}, {3, 6, 11, 8, kPoly},
         {0, 0, 2, 2, kContact}, {12, 0, 14, 2, kContact}, {0, -6, 14, -4, kMetal},
         {0, -6, 2, 2, kMetal}, {12, -6, 14, 2, kMetal}, {6, 0, 8, 2, kContact},
         {6, 0, 8, 12, kMetal}});
  ASSERT_TRUE(EnsureExtracted(x.s));
  ASSERT_EQ(x.E().nmos.size(), 1u);
  EXPECT_EQ(x.E().nmos[0].W, 8);
  EXPECT_EQ(x.E().nmos[0].L, 2);

  Extract v;  // poly horizontal over a vertical strip of diffusion
  v.Add({{0, 0, 3, 10, kDiffn}, {-2, 4, 5, 7, kPoly}});
  ASSERT_TRUE(EnsureExtracted(v.s));
  ASSERT_EQ(v.E().nmos.size(), 1u);
  EXPECT_EQ(v.E().nmos[0].W, 3);
  EXPECT_EQ(v.E().nmos[0].L, 3);
}

TEST(ExtractSteps, PmosWithoutWellIsKeptWithBulkZeroAndAWarning) {
  Extract x;
  x.Add({{0, 0, 10, 4, kDiffp}, {4, -2, 6, 6, kPoly}});
  ASSERT_TRUE(EnsureExtracted(x.s));
  ASSERT_EQ(x.E().pmos.size(), 1u);
  EXPECT_EQ(x.E().pmos[0].Bulk, 0);
  EXPECT_EQ(x.E().warnings, std::vector<std::string>{"Warning : well missing in pMOS"});
}

TEST(ExtractSteps, SupplyTextKeepsFillNumbersAndOnlyNodesZeroAndOneMoveToSource) {
  Extract x;
  x.Add({{0, 0, 30, 4, kDiffn}, {4, -2, 6, 20, kPoly}});
  AddLayoutText(x.s.layout, 2, 2, "Vdd");
  x.s.layout.texts[1].property = kPropertyVdd;
  ASSERT_TRUE(EnsureExtracted(x.s));
  const int vdd = x.Named("Vdd");
  EXPECT_GE(vdd, 2) << "a text names the node, it does not renumber it";
  EXPECT_TRUE(x.E().nmos[0].Source == vdd || x.E().nmos[0].Drain == vdd);

  // A short diffusion released to node 0 goes to the source side.
  Extract y;
  y.s.extractOptions.ignoreShortInterconnects = true;
  y.s.extractOptions.ignoreThreshold = 4 * y.s.technology.LAMB + 0.01;
  y.Add({{0, 0, 30, 4, kDiffn}, {4, -2, 6, 20, kPoly}});
  ASSERT_TRUE(EnsureExtracted(y.s));
  ASSERT_EQ(y.E().nmos.size(), 1u);
  EXPECT_EQ(y.E().nmos[0].Source, 0);
  EXPECT_GE(y.E().nmos[0].Drain, 2);
}

TEST(ExtractSteps, ShortStubIsIgnoredAndItsBoxesJoinNodeZero) {
  Extract x;
  x.s.extractOptions.ignoreShortInterconnects = true;
  x.Add({{0, 0, 10, 3, kMetal}, {0, 20, 400, 23, kMetal}});
  ASSERT_TRUE(EnsureExtracted(x.s));
  EXPECT_EQ(x.layout.nodes.count, 2) << "only the long wire is a node";
  EXPECT_EQ(x.E().ignoredNodes, 1);
  for (int i = 1; i <= x.layout.boxes.Count(); ++i) {
    const Box& b = x.layout.boxes[i];
    EXPECT_EQ(b.node, b.x2 == 10 ? 0 : 2);
  }
}

TEST(ExtractSteps, SecondRunWithoutEditDoesNothing) {
  Extract x;
  x.Open("inverter.msk");
  ASSERT_TRUE(EnsureExtracted(x.s));
  x.layout.nodes.nodes[3].name = "marked";
  ASSERT_TRUE(EnsureExtracted(x.s));
  EXPECT_EQ(x.Name(3), "marked");
  x.layout.wide.extracted = 0;
  ASSERT_TRUE(EnsureExtracted(x.s));
  EXPECT_NE(x.Name(3), "marked");
}

TEST(ExtractSteps, NodeMeasuresAndResistanceMarks) {
  Extract x;
  x.layout.layers[kMetal].sheetResistance = 0.05;
  x.Add({{0, 0, 20, 2, kMetal}, {18, 2, 20, 10, kMetal}, {30, 0, 34, 4, kMetal}});
  AddResistanceMark(x.s.layout, 15, 1, "2,5");
  AddResistanceMark(x.s.layout, 31, 1, "bogus");
  ASSERT_TRUE(EnsureExtracted(x.s));
  const nodeBaseRecord& wire = x.Node(x.layout.boxes[1].node);
  EXPECT_EQ(wire.InterconnectLength, 28);
  EXPECT_NEAR(wire.MetalResistance, 0.05 * (10 + 4), 1e-12);
  EXPECT_DOUBLE_EQ(x.layout.resistances[1].value, 2.5);
  EXPECT_DOUBLE_EQ(x.layout.resistances[2].value, 1000) << "unreadable text keeps the value";
  EXPECT_EQ(x.layout.resistances[1].nodeA, x.layout.resistances[1].nodeB);
  EXPECT_EQ(x.layout.resistances[2].nodeB, 0) << "nothing under the second point";
}

TEST(ExtractSteps, EffectiveLengthFollowsTheModelLevel) {
  Extract x;
  x.s.technology.LAMB = 0.5;
  x.s.technology.nmos.LD = 0.1;
  x.s.technology.nmos.LAP = 5e-8;
  x.s.extractOptions.modelLevel = kModelLevel1;
  EXPECT_DOUBLE_EQ(EffectiveLength(x.s.technology, x.s.extractOptions.modelLevel, 4, false), 2e-6);
  x.s.extractOptions.modelLevel = kModelLevel3;
  EXPECT_NEAR(EffectiveLength(x.s.technology, x.s.extractOptions.modelLevel, 4, false), 1.8e-6, 1e-18);
  EXPECT_DOUBLE_EQ(EffectiveLength(x.s.technology, x.s.extractOptions.modelLevel, 1, false), 5e-7) << "never below half a micron";
  x.s.extractOptions.modelLevel = kModelLevel9;
  EXPECT_NEAR(EffectiveLength(x.s.technology, x.s.extractOptions.modelLevel, 4, false), 1.9e-6, 1e-18);
}

// ---- Plain and fast paths -----------------------------------------------------

// Random boxes on the conducting layers, many of them overlapping or abutting.
void RandomLayout(Session& s, unsigned seed, int count) {
  std::mt19937 rng(seed);
  const int layers[] = {kNwell, kDiffp, kDiffn, kContact, kPoly, kMetal, kVia, kMetal2};
  for (int i = 0; i < count; ++i) {
    const int layer = layers[rng() % 8];
    const int32_t x = int32_t(rng() % 60), y = int32_t(rng() % 60);
    const int32_t w = 2 + int32_t(rng() % 12), h = 2 + int32_t(rng() % 12);
    const bool aligned = rng() % 3 == 0;  // shares a width with a neighbour
    AddBox(s.layout, aligned ? x - x % 4 : x, y, aligned ? x - x % 4 + 4 : x + w, y + h, layer);
  }
}

struct Snapshot {
  std::vector<std::tuple<int, int, int, int, int, int>> boxes;
  std::vector<std::tuple<std::string, int, double, double>> nodes;
  std::vector<std::tuple<int, int, int, int, int, int>> devices;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const Session& s) {
  Snapshot snap;
  for (int i = 1; i <= s.layout.boxes.Count(); ++i) {
    const Box& b = s.layout.boxes[i];
    snap.boxes.emplace_back(b.x1, b.y1, b.x2, b.y2, b.layer, b.node);
  }
  for (int k = 0; k <= s.layout.nodes.count; ++k) {
    const nodeBaseRecord& n = s.layout.nodes.nodes[k];
    snap.nodes.emplace_back(n.name, n.InterconnectLength, n.NodeCapacitance, n.PolyDiffResistance);
  }
  for (const auto* table : {&s.circuit.nmos, &s.circuit.pmos})
    for (const MosDevice& d : *table)
      snap.devices.emplace_back(d.W, d.L, d.Gate, d.Source, d.Drain, d.Bulk);
  return snap;
}

// ---- Full tables ------------------------------------------------------------

// A table that fills leaves the circuit incomplete: the extracted flag stays
// clear, the summary does not call it complete, the table's code is the
// run's (and LastError), and a warning, also shown in a box, names the table
// and what was left out.
struct FullTable : Extract {
  // A row of `count` abutting metal boxes: one node, much of the box table.
  void MetalRow(int count) {
    for (int32_t i = 0; i < count; ++i) AddBox(s.layout, 2 * i, 100, 2 * i + 2, 102, kMetal);
  }
  void ExpectIncomplete(TableStatus table, const std::string& warning) {
    EXPECT_FALSE(EnsureExtracted(s));
    EXPECT_EQ(layout.wide.extracted, 0);
    EXPECT_EQ(E().table, table);
    EXPECT_EQ(s.LastError, table);
    EXPECT_EQ(E().summary.rfind("Extraction incomplete :", 0), 0u) << E().summary;
    EXPECT_NE(std::find(E().warnings.begin(), E().warnings.end(), warning), E().warnings.end())
        << ::testing::PrintToString(E().warnings);
    ASSERT_FALSE(platform.Messages().empty());
    EXPECT_NE(platform.Messages().back().text.find(warning), std::string::npos);
  }
};

TEST(ExtractFullTables, GateCuttingThatWouldNotFitCutsNothing) {
  FullTable x;
  x.s.extractOptions.cleaningMode = kFastExtraction;
  x.MetalRow(kMaxBoxes - 2);
  x.Add({{0, 0, 10, 4, kDiffn}, {4, -2, 6, 6, kPoly}});  // three pieces for one box
  x.ExpectIncomplete(
      kErrorBoxTableFull,
      "Box table full (80000 boxes): the gates need 2 more, no transistor extracted");
  EXPECT_TRUE(x.E().nmos.empty());
  int diffn = 0;
  for (int i = 1; i <= x.layout.boxes.Count(); ++i)
    diffn += x.layout.boxes[i].layer == kDiffn && RectOf(x.layout.boxes[i]) == Rect{0, 0, 10, 4};
  EXPECT_EQ(diffn, 1) << "the diffusion stays as it was drawn";
}

TEST(ExtractFullTables, OverlapsLeftUncutWhileCleaning) {
  FullTable x;
  x.s.extractOptions.cleaningMode = kPurgeOnly;
  x.MetalRow(kMaxBoxes - 2);
  x.Add({{0, 0, 10, 10, kPoly}, {5, 5, 15, 15, kPoly}});  // one box would become four
  x.ExpectIncomplete(kErrorBoxTableFull,
                     "Box table full (80000 boxes): 1 overlapping box pairs left uncut while "
                     "cleaning");
}

TEST(ExtractFullTables, NodesBeyondTheNodeTable) {
  FullTable x;
  for (int32_t i = 0; i < kMaxNodeNumber + 1; ++i)
    AddBox(x.s.layout, 3 * i, 0, 3 * i + 1, 1, kMetal);
  x.ExpectIncomplete(kErrorNodeTableFull,
                     "Node table full (5000 nodes): 2 boxes left without a node");
}

TEST(ExtractFullTables, TransistorsBeyondTheDeviceTable) {
  FullTable x;
  // 45 rows of 45 poly fingers across a diffusion strip: 2025 distinct nMOS.
  for (int32_t row = 0; row < 45; ++row) {
    AddBox(x.s.layout, 0, 10 * row, 272, 10 * row + 4, kDiffn);
    for (int32_t finger = 0; finger < 45; ++finger)
      AddBox(x.s.layout, 6 * finger + 3, 10 * row - 2, 6 * finger + 5, 10 * row + 6, kPoly);
  }
  x.ExpectIncomplete(kErrorDeviceTableFull,
                     "nMOS table full (2000 devices): 25 transistors left out");
  EXPECT_EQ(x.E().nmos.size(), size_t(kMaxMosDevices));
}

TEST(ExtractFullTables, CouplingsBeyondTheCouplingTable) {
  FullTable x;
  x.s.extractOptions.verticalCrosstalk = true;
  for (int32_t i = 0; i < 505; ++i) AddBox(x.s.layout, 10 * i, 0, 10 * i + 4, 4, kMetal);
  AddBox(x.s.layout, 10 * 504, -5, 10 * 504 + 4, 10, kMetal2);  // crosses node 506
  x.ExpectIncomplete(kErrorCouplingTableFull,
                     "Coupling table full (500 nodes): 1 couplings of higher nodes left out");
}

TEST(ExtractFastPaths, AgreeWithThePlainScanOnRandomLayouts) {
  for (unsigned seed = 1; seed <= 30; ++seed)
    for (int mode : {kPurgeAndMerge, kMergeOnly, kPurgeOnly, kFastExtraction}) {
      Snapshot results[2];
      for (bool fast : {false, true}) {
        Extract x;
        RandomLayout(x.s, seed, 120);
        AddLayoutText(x.s.layout, 20, 20, "t1");
        AddLayoutText(x.s.layout, 30, 40, "t2");
        x.s.extractOptions.cleaningMode = mode;
        x.s.extractOptions.fast = fast;
        x.s.extractOptions.ignoreShortInterconnects = seed % 2 == 0;
        x.s.extractOptions.ignoreThreshold = 6;
        ASSERT_TRUE(EnsureExtracted(x.s));
        results[fast] = Take(x.s);
      }
      ASSERT_EQ(results[0], results[1]) << "seed " << seed << " mode " << mode;
    }
}

TEST(ExtractFastPaths, CleaningLeavesNoOverlapWithinALayer) {
  for (unsigned seed = 1; seed <= 10; ++seed) {
    Extract x;
    RandomLayout(x.s, seed, 80);
    Circuit circuit;
    ExtractionRun run{x.s.layout, x.s.technology, x.s.extractOptions, circuit, x.s.progress};
    CleanBoxes(run, kPurgeAndMerge, true);
    const auto& boxes = x.layout.boxes;
    for (int a = 1; a <= boxes.Count(); ++a)
      for (int b = a + 1; b <= boxes.Count(); ++b) {
        const Box &p = boxes[a], &q = boxes[b];
        if (p.layer != q.layer) continue;
        const bool overlap = std::max(p.x1, q.x1) < std::min(p.x2, q.x2) &&
                             std::max(p.y1, q.y1) < std::min(p.y2, q.y2);
        ASSERT_FALSE(overlap) << "seed " << seed << " boxes " << a << ", " << b;
      }
  }
}

}  // namespace
}  // namespace tarnisk
