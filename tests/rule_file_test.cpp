#include <gtest/gtest.h>

#include "session/files.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;

RuleLoadResult Load(Fresh& f, const std::string& body) {
  return LoadRules(f.s, "title line\n" + body);
}

TEST(RuleFile, ATitleOnlyFileResetsLambdaAndMetalsAndKeepsRules) {
  Fresh f;
  f.s.technology.R101 = 7;
  f.s.technology.LAMB = 0.3;
  f.s.technology.META = 4;
  EXPECT_EQ(LoadRules(f.s, "only a title").status, RuleLoadStatus::Loaded);
  EXPECT_EQ(f.s.technology.R101, 7);
  EXPECT_EQ(f.s.technology.LAMB, 0.5);
  EXPECT_EQ(f.s.technology.META, 2);
  EXPECT_EQ(f.s.technology.Name, "standard 1.0");
  EXPECT_EQ(f.platform.Panel(2), "standard 1.0");
}

TEST(RuleFile, RulesAreRoundedHalfToEven) {
  Fresh f;
  Load(f, "R101 = 2.5\nR102 = 3.5\nR201 = -2.5\nR202=2.51\n");
  EXPECT_EQ(f.s.technology.R101, 2);
  EXPECT_EQ(f.s.technology.R102, 4);
  EXPECT_EQ(f.s.technology.R201, -2);
  EXPECT_EQ(f.s.technology.R202, 3);
}

TEST(RuleFile, KeysMatchWithoutCaseAndAsPrefixes) {
  Fresh f;
  Load(f, "vdd=3.3\nR101extra = 6\nr102 = 8\nR10 = 99\n* R201 = 5\n{ R202 = 5\n R203 = 5\n");
  const Technology& t = f.s.technology;
  EXPECT_DOUBLE_EQ(t.VDD, 3.3);
  EXPECT_EQ(t.R101, 6);
  EXPECT_EQ(t.R102, 8);
  EXPECT_EQ(t.R201, 0);
  EXPECT_EQ(t.R202, 0);
  EXPECT_EQ(t.R203, 0);
  EXPECT_DOUBLE_EQ(f.s.viewerRanges.vdMax, 3.3);
  EXPECT_DOUBLE_EQ(f.s.viewerRanges.vgMax, 3.3);
  EXPECT_DOUBLE_EQ(f.s.viewerRanges.vgStep, 0.5);
  EXPECT_DOUBLE_EQ(f.s.defaultVddTextLevel, 3.3);
}

TEST(RuleFile, MosKeysFollowTheSection) {
  Fresh f;
  Load(f, "L3VT = 0.8\nPMOS\nL3VT = -0.9\nL3PH = 0.81\nNMOS anything\nL3KP = 5e-5\nL3TO = 2e-8\n");
  const Technology& t = f.s.technology;
  EXPECT_DOUBLE_EQ(t.nmos.VTO, 0.8);
  EXPECT_DOUBLE_EQ(t.pmos.VTO, -0.9);
  EXPECT_DOUBLE_EQ(t.pmos.SQRT_PHI, 0.9);
  EXPECT_DOUBLE_EQ(t.nmos.KP, 5e-5);
  EXPECT_DOUBLE_EQ(t.pmos.KP, 2e-5);
  EXPECT_DOUBLE_EQ(t.TOX, 2e-8);
  // A new load starts in the NMOS section and resets TOX.
  Load(f, "L3VT = 0.5\n");
  EXPECT_DOUBLE_EQ(f.s.technology.nmos.VTO, 0.5);
  EXPECT_DOUBLE_EQ(f.s.technology.TOX, 0);
}

TEST(RuleFile, CifLinesFillTheLayerTable) {
  Fresh f;
  Load(f, "CIF metal2 CMS 49 0.1\nCIF Metal2 CXX 1 0\nCIF text CTX 0 0\nCIF poly CPG 300 0\n");
  const LayerInfo& m2 = f.layout.layers[kMetal2];
  EXPECT_EQ(m2.cifName, "CMS");
  EXPECT_EQ(m2.gds2, 49);
  EXPECT_DOUBLE_EQ(m2.overetch, 0.1);
  EXPECT_EQ(f.s.technology.CifTextLayer, "CTX");
  EXPECT_EQ(f.layout.layers[kPoly].gds2, 300 & 0xFF);
  const auto& h = f.platform.StatusHistory();
  EXPECT_NE(std::find(h.begin(), h.end(), "Warning : layer \"Metal2\" not identified..."), h.end());
}

TEST(RuleFile, ASecondBlankInACifLineShiftsTheFieldsAndStopsTheLoad) {
  Fresh f;
  // The CIF name comes out empty and "CMF" is then read as the GDS2 number.
  EXPECT_EQ(Load(f, "CIF metal  CMF 10 0\n").status, RuleLoadStatus::Malformed);
  EXPECT_EQ(f.layout.layers[kMetal].cifName, "xxx");
}

TEST(RuleFile, MalformedNumbersStopTheLoadWithAMessageBox) {
  for (const char* bad : {"R102 = 3um\n", "R102 = 3,5\n", "R102 = five\n", "R102 =\nR103 = 1\n"}) {
    Fresh f;
    f.s.technology.R201 = 9;
    const RuleLoadResult r = Load(f, std::string("NAME my tech\nR101 = 4\n") + bad + "R201 = 6\n");
    EXPECT_EQ(r.status, RuleLoadStatus::Malformed) << bad;
    EXPECT_EQ(f.s.technology.R101, 4) << bad;
    EXPECT_EQ(f.s.technology.R201, 9) << bad;
    ASSERT_EQ(f.platform.Messages().size(), 1u);
    EXPECT_EQ(f.platform.Messages()[0].text, "Invalid numeric input");
    EXPECT_EQ(f.layout.layers[kNwell].minWidth, 2) << "derived values are not computed";
  }
}

TEST(RuleFile, ANumberMayFollowOnTheNextLine) {
  Fresh f;
  EXPECT_EQ(Load(f, "R101 =   \n  7 trailing\nR102 = 3\n").status, RuleLoadStatus::Loaded);
  EXPECT_EQ(f.s.technology.R101, 7);
  EXPECT_EQ(f.s.technology.R102, 3);
  Fresh g;
  EXPECT_EQ(Load(g, "R101 =").status, RuleLoadStatus::Loaded);  // end of file: the number is 0
  EXPECT_EQ(g.s.technology.R101, 0);
}

TEST(RuleFile, NameLineShowsTheTechnology) {
  Fresh f;
  Load(f, "NAME=cmos 0.8 um\n");
  EXPECT_EQ(f.s.technology.Name, "cmos 0.8 um");
  EXPECT_EQ(f.platform.Panel(2), "cmos 0.8 um");
  const auto& h = f.platform.StatusHistory();
  EXPECT_NE(std::find(h.begin(), h.end(), "Read \"cmos 0.8 um\" rule file"), h.end());
}

TEST(RuleFile, NamedCapacitancesAreConvertedOthersKeepTheirValues) {
  Fresh f;
  Load(f, "LAMB = 0.4\nCPOO = 1000\nCMEB = 30\nCMEL = 40\nCLDN = 200\n");
  const Technology& t = f.s.technology;
  EXPECT_DOUBLE_EQ(t.CPOO, 1000 * 0.75 * 0.16e-18);
  EXPECT_DOUBLE_EQ(t.CMEB, 30 * 0.16e-18);
  EXPECT_DOUBLE_EQ(t.CMEL, 40 * 0.4e-18);
  EXPECT_DOUBLE_EQ(t.CLDN, 200 * 0.75 * 0.4e-18);
  EXPECT_DOUBLE_EQ(t.CDNP, 3e-16);  // not named: stays in farads as it was
  Load(f, "LAMB = 0.4\n");
  EXPECT_DOUBLE_EQ(f.s.technology.CPOO, 1000 * 0.75 * 0.16e-18);
}

TEST(RuleFile, CapacitancesReadBeforeAMalformedLineAreStillInFarads) {
  Fresh f;
  Load(f, "CMEB = 30\nR101 = oops\n");
  EXPECT_DOUBLE_EQ(f.s.technology.CMEB, 30 * 0.25e-18);
}

TEST(RuleFile, DerivedValuesFollowTheRules) {
  Fresh f;
  Load(f, "R401 = 2\nR405 = 2\nR501 = 3\nR101 = 10\nR201 = 4\nVDD = 1.5\n");
  const Technology& t = f.s.technology;
  EXPECT_EQ(t.ContactCellWidth, 6);
  EXPECT_EQ(t.VerilogTrackPitch, 16);
  EXPECT_EQ(f.layout.layers[kMetal].minWidth, 3);
  EXPECT_EQ(f.layout.layers[kNwell].minWidth, 10);
  EXPECT_EQ(f.layout.layers[kDiffn].minWidth, 4);
  EXPECT_EQ(f.layout.layers[kDiffp].minWidth, 4);
  EXPECT_DOUBLE_EQ(f.s.viewerRanges.vgStep, 0.25);
  EXPECT_DOUBLE_EQ(f.s.viewerRanges.vbMax, -1.0);
}

TEST(RuleFile, LayerProcessValuesGoToTheirLayers) {
  Fresh f;
  Load(f, "REPO = 25\nREDN = 60\nREM5 = 0.03\nTHNI = 0.7\nHEPA = 4.5\n");
  EXPECT_DOUBLE_EQ(f.layout.layers[kPoly].sheetResistance, 25);
  EXPECT_DOUBLE_EQ(f.layout.layers[kDiffn].sheetResistance, 60);
  EXPECT_DOUBLE_EQ(f.layout.layers[kMetal5].sheetResistance, 0.03);
  EXPECT_DOUBLE_EQ(f.layout.layers[kNitride].thickness, 0.7);
  EXPECT_DOUBLE_EQ(f.layout.layers[kPassiv].height, 4.5);
}

TEST(RuleFile, OutOfRangeValuesAreHeldSafely) {
  Fresh f;
  EXPECT_EQ(Load(f, "META = 9\nR401 = 1e300\nR405 = 3e9\nR101 = 1e400\n").status,
            RuleLoadStatus::Malformed);
  EXPECT_EQ(f.s.technology.META, 5);
  EXPECT_EQ(f.s.technology.R401, INT32_MAX);
  Fresh g;
  Load(g, "R401 = 2e9\nR405 = 2e9\n");
  EXPECT_EQ(g.s.technology.ContactCellWidth, INT32_MAX);
}

// Physical values that would turn into infinities or divisions by zero are
// refused at their line, as a malformed number is.
TEST(RuleFile, PhysicalValuesOutsideTheirRangeAreRefusedAtTheirLine) {
  for (const char* line : {"CPOO = 1e300", "REME = -1e10", "L3KP = 5e-324", "LAMB = 0",
                           "LAMB = -0.5", "TEMP = -300", "VDD = 0", "CIF poly CPG 46 1e9"}) {
    SCOPED_TRACE(line);
    Fresh f;
    const RuleLoadResult r = LoadRules(f.s, std::string("title\nLAMB = 0.4\n") + line + "\n");
    EXPECT_EQ(r.status, RuleLoadStatus::Malformed);
    EXPECT_EQ(r.errorLine, 3);
  }
  Fresh f;
  EXPECT_EQ(LoadRules(f.s, "title\nCPOO = 0\nTEMP = -40\nL3KP = 2e-5\n").status,
            RuleLoadStatus::Loaded);
}

// A file in which no line names a key loads as the title-only file does,
// but says that it held no rule.
TEST(RuleFile, AFileWithoutAKeyIsNotRecognised) {
  Fresh f;
  const RuleLoadResult none = LoadRules(f.s, "hello world\nfoo bar\n* R101 = 3\nXYZ = 4\n");
  EXPECT_EQ(none.status, RuleLoadStatus::Loaded);
  EXPECT_FALSE(none.recognised);
  ASSERT_EQ(f.platform.Messages().size(), 1u);
  EXPECT_EQ(f.platform.Messages()[0].text, kNoRuleRecognisedMessage);
  for (const char* body : {"R101 = 3\n", "NAME x\n", "PMOS\n", "CIF poly CPG 46 0.0\n"})
    EXPECT_TRUE(Load(f, body).recognised) << body;
  EXPECT_EQ(f.platform.Messages().size(), 1u);
}

TEST(RuleFile, AMissingFileResetsWithoutAMessage) {
  Fresh f;
  f.s.technology.LAMB = 0.2;
  f.s.technology.Name = "x";
  EXPECT_EQ(LoadRuleFile(f.s, "/nonexistent.rul").status, RuleLoadStatus::NotOpened);
  EXPECT_EQ(f.s.technology.LAMB, 0.5);
  EXPECT_EQ(f.platform.Panel(2), "standard 1.0");
  EXPECT_TRUE(f.platform.Messages().empty());
}

TEST(RuleFile, BundledRuleFilesNameEveryKey) {
  for (const char* name : {"es207.rul", "cmos33-5m.rul"}) {
    Fresh f;
    ASSERT_EQ(LoadRuleFile(f.s, testing::DataFile(name)).status, RuleLoadStatus::Loaded) << name;
    EXPECT_EQ(f.layout.wide.ruleFileName, name);
    const Technology& t = f.s.technology;
    for (const RuleKey& k : RuleKeys()) EXPECT_GT(t.*k.field, 0) << name << " " << k.key;
    for (const CapacitanceKey& k : CapacitanceKeys())
      EXPECT_GT(t.*k.field, 0) << name << " " << k.key;
    for (int layer = 1; layer <= kLayerCount; ++layer)
      EXPECT_NE(f.layout.layers[layer].cifName, "xxx") << name << " layer " << layer;
    EXPECT_TRUE(f.platform.Messages().empty()) << name;
    const auto& h = f.platform.StatusHistory();
    EXPECT_EQ(std::count_if(h.begin(), h.end(),
                            [](const std::string& m) { return m.rfind("Warning", 0) == 0; }),
              0) << name;
  }
}

}  // namespace
}  // namespace tarnisk
