#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "session/analysis/extract_command.h"
#include "session/files.h"
#include "session/session.h"
#include "tests/test_support.h"
#include "verify/parasitics.h"

namespace tarnisk {
namespace {

using testing::DataFile;
using testing::Fresh;

using B = testing::BoxSpec;

struct Netlist : testing::WithRules {
  int AddText(int32_t x, int32_t y, const std::string& name, uint8_t property) {
    AddLayoutText(s.layout, x, y, name);
    layout.texts[layout.texts.Count()].property = property;
    return layout.texts.Count();
  }
  double Cap(int node) const { return layout.nodes.nodes[node].NodeCapacitance; }
  std::vector<std::string> Lines(const std::string& circuit = "test.msk") {
    std::vector<std::string> lines;
    std::istringstream in(SpiceDeck(SpiceSourceOf(s), circuit, 2e-8));
    for (std::string line; std::getline(in, line);) {
      EXPECT_EQ(line.back(), '\r');
      lines.push_back(line.substr(0, line.size() - 1));
    }
    return lines;
  }
  std::vector<std::string> LinesStarting(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& l : Lines())
      if (l.rfind(prefix, 0) == 0) found.push_back(l);
    return found;
  }
  bool Has(const std::string& line) {
    const auto lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

// ---- Capacitances and crosstalk ----------------------------------------------

TEST(ExtractCapacitance, MetalAndDiffusionBoxesAddAreaAndPerimeterTerms) {
  Netlist c;
  c.s.technology.CMEB = 3e-17;
  c.s.technology.CMEL = 5e-17;
  c.s.technology.CDNP = 7e-17;
  c.s.technology.CLDN = 11e-17;
  c.Add({{0, 0, 10, 4, kMetal}, {20, 0, 30, 4, kDiffn}});
  ASSERT_TRUE(EnsureExtracted(c.s));
  int metal = 0, diffn = 0;
  for (int i = 1; i <= c.layout.boxes.Count(); ++i)
    (c.layout.boxes[i].layer == kMetal ? metal : diffn) = c.layout.boxes[i].node;
  EXPECT_NEAR(c.Cap(metal), 40 * 3e-17 + 28 * 5e-17, 1e-30);
  EXPECT_NEAR(c.Cap(diffn), 40 * 7e-17 + 14 * 11e-17, 1e-30);
}

TEST(ExtractCrosstalk, ParallelWiresCoupleWithinTheReachOnly) {
  for (int32_t gap : {2, 3}) {
    Netlist c;
    c.s.technology.R501 = 3;
    c.s.technology.CMEX = 4e-17;
    c.s.extractOptions.lateralCrosstalk = true;
    c.Add({{0, 0, 20, 2, kMetal}, {0, 2 + gap, 20, 4 + gap, kMetal}});
    ASSERT_TRUE(EnsureExtracted(c.s));
    const double expected = gap == 2 ? 4e-17 * 20 / 2 : 0;
    EXPECT_DOUBLE_EQ(c.s.circuit.coupling.At(2, 3), expected) << "gap " << gap;
    EXPECT_DOUBLE_EQ(c.s.circuit.coupling.At(3, 2), expected) << "gap " << gap;
  }
}

TEST(ExtractCrosstalk, VictimWithoutTransistorsHasDrivenNoiseEqualToCrosstalkNoise) {
  Netlist c;
  c.s.technology.R501 = 3;
  c.s.technology.CMEX = 4e-17;
  c.s.extractOptions.lateralCrosstalk = true;
  c.s.extractOptions.verticalCrosstalk = true;
  c.Add({{0, 0, 200, 2, kMetal}, {0, 4, 200, 6, kMetal}, {50, -10, 52, 20, kMetal2}});
  ASSERT_TRUE(EnsureExtracted(c.s));
  const nodeBaseRecord& victim = c.layout.nodes.nodes[2];
  ASSERT_GT(victim.CrosstalkNoise, 0);
  EXPECT_DOUBLE_EQ(victim.DrivenNoise, victim.CrosstalkNoise);
  EXPECT_GT(c.s.circuit.maxCouplingRatio, 0);
  EXPECT_GT(c.s.circuit.coupling.At(2, 4), 0) << "metal2 crosses the first wire";
  EXPECT_EQ(c.platform.StatusHistory().back().rfind("Extraction complete :", 0), 0u);
}

TEST(ExtractCrosstalk, CoordinateOverflowEndsTheRunWithoutTheExtractedFlag) {
  Netlist c;
  c.s.extractOptions.lateralCrosstalk = true;
  for (int32_t i = 0; i < 1600; ++i) AddBox(c.s.layout, 3 * i, 0, 3 * i + 1, 10, kMetal);
  AddBox(c.s.layout, 0, 20, 4, 24, kDiffn);
  AddBox(c.s.layout, 1, 18, 3, 26, kPoly);
  EXPECT_FALSE(EnsureExtracted(c.s));
  EXPECT_EQ(c.layout.wide.extracted, 0);
  EXPECT_EQ(c.platform.Messages().back().text, "Too much coordinates in X");
  EXPECT_EQ(c.platform.Panel(0), "Crosstalk extraction : data base overload");
  for (int i = 1; i <= c.layout.boxes.Count(); ++i)
    EXPECT_NE(c.layout.boxes[i].layer, kGaten) << "gates go back to diffusion";
}

// ---- The deck -------------------------------------------------------------------

TEST(SpiceDeck, InverterWritesSupplyTerminalsAsOneAndZeroWithoutSupplyCapacitors) {
  Netlist c;
  c.Open("inverter.msk");
  ASSERT_TRUE(EnsureExtracted(c.s));
  const auto lines = c.Lines("inverter.msk");
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[0], "CIRCUIT inverter.msk");
  EXPECT_EQ(lines[4], "VDD 1 0 DC  5.0");
  const auto nmos = c.LinesStarting("MN"), pmos = c.LinesStarting("MP");
  ASSERT_EQ(nmos.size(), 1u);
  ASSERT_EQ(pmos.size(), 1u);
  const int in = c.layout.texts[3].node, out = c.layout.texts[4].node;
  EXPECT_EQ(nmos[0], "MN1 0 " + std::to_string(in) + " " + std::to_string(out) +
                         " 0 TN  W= 3.00U L= 1.00U");
  EXPECT_EQ(pmos[0], "MP1 1 " + std::to_string(in) + " " + std::to_string(out) +
                         " 1 TP  W= 6.00U L= 1.00U");
  for (const std::string& cap : c.LinesStarting("C"))
    EXPECT_TRUE(cap.rfind("CIRCUIT", 0) == 0 || cap.rfind("C" + std::to_string(in) + " ", 0) == 0 ||
                cap.rfind("C" + std::to_string(out) + " ", 0) == 0)
        << cap;
  EXPECT_FALSE(c.Has("* Crosstalk capacitance"));
  EXPECT_EQ(c.LinesStarting(".MODEL").size(), 2u);
  EXPECT_TRUE(c.Has("* \"out\" corresponds to n\xC2\xB0" + std::to_string(out)));
}

TEST(SpiceDeck, ClockSourceNodeListAndLevelOneCards) {
  Netlist c;
  c.Add({{0, 0, 10, 2, kMetal}, {0, 10, 10, 12, kMetal}, {0, 20, 10, 22, kMetal},
         {0, 30, 10, 32, kMetal}});
  const int clock = c.AddText(1, 1, "clk", kPropertyClock);
  c.layout.texts[clock].edgeTimes = {4.9e-9, 5.0e-9, 9.9e-9, 10.0e-9};
  c.AddText(1, 11, "N12", kPropertyNone);
  c.AddText(1, 21, "N7", kPropertyNone);
  c.AddText(1, 31, "n123", kPropertyNone);
  c.s.extractOptions.modelLevel = kModelLevel1;
  ASSERT_TRUE(EnsureExtracted(c.s));
  EXPECT_TRUE(c.Has("Vclk 2 0 PULSE(0.00 5.00 4.90N 0.10N 0.10N 4.90N 10.00N)"));
  const auto listed = c.LinesStarting("* \"");
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].substr(0, 7), "* \"clk\"");
  EXPECT_EQ(listed[1].substr(0, 6), "* \"N7\"");
  EXPECT_EQ(listed[2].substr(0, 8), "* \"n123\"");
  const auto models = c.LinesStarting(".MODEL");
  ASSERT_EQ(models.size(), 2u);
  EXPECT_EQ(models[0].rfind(".MODEL TN NMOS LEVEL=1 VTO=", 0), 0u);
  EXPECT_FALSE(c.Has("* n-MOS Model 3 :"));
}

TEST(SpiceDeck, MendedNamesAreUniqueAndReadable) {
  Netlist c;
  for (int i = 0; i < 22; ++i) AddNode(c.s.layout, "?");
  OrderBoxesByLayer(c.s.layout, c.s.progress);
  c.s.extractOptions.lateralCrosstalk = true;
  c.s.circuit.coupling.At(2, 13) = c.s.circuit.coupling.At(13, 2) = 1e-15;
  c.s.circuit.coupling.At(3, 21) = c.s.circuit.coupling.At(21, 3) = 2e-15;
  nodeBaseRecord& a = c.layout.nodes.nodes[4];
  a.name = "data in";
  a.property = kPropertyPulse;
  nodeBaseRecord& b = c.layout.nodes.nodes[5];
  b.name = "data-in";
  b.property = kPropertyPulse;
  EXPECT_TRUE(c.Has("Cx2_13 2 13 1.000fF"));
  EXPECT_TRUE(c.Has("Cx3_21 3 21 2.000fF"));
  const auto sources = c.LinesStarting("Vdata");
  ASSERT_EQ(sources.size(), 2u);
  EXPECT_EQ(sources[0].substr(0, 10), "Vdata_in 4");
  EXPECT_EQ(sources[1].substr(0, 12), "Vdata_in_5 5");
}

TEST(SpiceDeck, ResistorOnASupplyNetIsWrittenOnTheDeckSupply) {
  Netlist c;
  c.Add({{0, 0, 10, 2, kMetal}, {20, 0, 30, 2, kMetal}});
  c.AddText(1, 1, "Vdd", kPropertyVdd);
  AddResistanceMark(c.s.layout, 5, 1, "2,5");
  ASSERT_TRUE(EnsureExtracted(c.s));
  EXPECT_TRUE(c.Has("R1 1 1 2.500"));
}

TEST(SpiceDeck, FailedWriteIsReportedAndKeepsTheLastFile) {
  Netlist c;
  c.Open("inverter.msk");
  ASSERT_TRUE(EnsureExtracted(c.s));
  testing::TempDir dir;
  EXPECT_EQ(SaveSpiceFile(c.s, dir.File("inverter.msk"), 2e-8), 0);
  EXPECT_EQ(c.s.lastSpiceFile, dir.File("inverter.CIR"));
  EXPECT_EQ(c.platform.Panel(0), "Generate " + dir.File("inverter.CIR") + " with 1 nMOS and 1 pMOS");
  EXPECT_NE(SaveSpiceFile(c.s, dir.File("missing/inverter.msk"), 2e-8), 0);
  EXPECT_EQ(c.s.lastSpiceFile, dir.File("inverter.CIR"));
  EXPECT_EQ(c.platform.Panel(0).rfind("Cannot write ", 0), 0u);
}

// Random boxes of the conducting layers with a clock, the supplies and a
// visible text, as a layout file.
std::string RandomLayoutFile(const testing::TempDir& dir, unsigned seed) {
  std::mt19937 rng(seed);
  const char* codes[] = {"NW", "DP", "DN", "CO", "PO", "ME", "VI", "M2"};
  std::string text;
  for (int i = 0; i < 120; ++i)
    text += "REC(" + std::to_string(rng() % 60) + "," + std::to_string(rng() % 60) + "," +
            std::to_string(2 + rng() % 12) + "," + std::to_string(2 + rng() % 12) + "," +
            codes[rng() % 8] + ")\n";
  text += "TITLE 20 20  #clk\n$c 1000 0 2.00 2.10 4.10 4.20\nTITLE 30 30  #Vdd\n$1 1000 0\n"
          "TITLE 40 40  #Vss\n$0 1000 0\nTITLE 10 50  #out\n$v 1000 0\n";
  const std::string path = dir.File("random" + std::to_string(seed) + ".msk");
  testing::WriteFile(path, text);
  return path;
}

// Every example's deck, at every model level and with crosstalk, loads and
// runs in ngspice without an error or a warning about the deck; so does a
// layout with floating gates, a lone wire, a pMOS without well and source
// names that SPICE cannot take, and random layouts. The ring oscillator's operating point is
// metastable: the notes of ngspice's gmin and source stepping on the way to
// it are not about the deck.
TEST(SpiceDeck, EveryDeckRunsInNgspice) {
  if (std::system("ngspice --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no ngspice";
  testing::TempDir dir;
  const std::string odd = dir.File("odd.msk");
  testing::WriteFile(odd,
                     "REC(0,0,10,4,DP)\nREC(4,-2,2,8,PO)\nREC(0,10,10,4,DN)\nREC(4,8,2,8,PO)\n"
                     "REC(20,0,4,4,ME)\nTITLE 21 1  #a b\n$c 1000 0 2.00 2.10 4.10 4.20\n"
                     "TITLE 1 1  #x-y\n$p 1000 0 2.00 2.10 4.10 4.20\n");
  std::vector<std::string> layouts = {DataFile("examples/inverter.msk"),
                                      DataFile("examples/nand2.msk"),
                                      DataFile("examples/ring5.msk"), odd};
  for (unsigned seed = 1; seed <= 4; ++seed) layouts.push_back(RandomLayoutFile(dir, seed));
  for (const std::string& layout : layouts)
    for (int level : {kModelLevel1, kModelLevel3, kModelLevel9}) {
      SCOPED_TRACE(layout + " level " + std::to_string(level));
      Netlist c;
      ASSERT_EQ(OpenLayoutFile(c.s, layout, ReadMode::Open).LastError(), 0);
      c.s.extractOptions.modelLevel = level;
      c.s.extractOptions.lateralCrosstalk = c.s.extractOptions.verticalCrosstalk = true;
      ASSERT_TRUE(EnsureExtracted(c.s));
      ASSERT_EQ(SaveSpiceDeck(c.s, dir.File("deck.cir"), layout, 2e-8), 0);
      const std::string command =
          "cd '" + dir.Path().string() + "' && ngspice -b deck.cir > log.txt 2>&1";
      const int status = std::system(command.c_str());
      const std::string log = testing::ReadFile(dir.File("log.txt"));
      EXPECT_EQ(status, 0) << log;
      std::istringstream in(log);
      for (std::string line; std::getline(in, line);) {
        const bool convergence = line.find("gmin") != std::string::npos ||
                                 line.find("stepping") != std::string::npos;
        for (const char* bad : {"rror", "arning", "nrecognized", "nknown", "bort", "ingular"})
          EXPECT_TRUE(convergence || line.find(bad) == std::string::npos) << line;
      }
      EXPECT_NE(log.find("Transient Analysis"), std::string::npos) << log;
    }
}

}  // namespace
}  // namespace tarnisk
