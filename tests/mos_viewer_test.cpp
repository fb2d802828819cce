// The MOS viewer's curves against ngspice DC sweeps, the measurement-file
// reader, and the viewer's fields and steps on the session.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "models/mos_curves.h"
#include "models/mos_measurement.h"
#include "session/viewer/mos_viewer.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;

TEST(MosMeasurement, TableAndListBlocksFillTheirSets) {
  const Measurement m = ParseMeasurement(
      "x\ntitle here\np   5.0 1.0\nIdVd 3 1.0 0 0.5\n10 0\n"
      "0 1 2 3\n1 1 2 3\n2 1 2 3\n3 1 2 3\n4 1 2 3\n5 1 2 3\n6 1 2 3\n7 1 2 3\n8 1 2 3\n9 1 2 3\n"
      "IdVg 0 0 0 0\n1 2\n-0.5 -1e-6 -1\n1.5 2e-6 -1\n");
  EXPECT_TRUE(m.loaded);
  EXPECT_TRUE(m.pmos);
  EXPECT_EQ(m.title, "title here");
  EXPECT_DOUBLE_EQ(m.wMicrons, 5.0);
  ASSERT_EQ(m.idVd.size(), 30u);
  EXPECT_DOUBLE_EQ(m.idVd[0].p, 1.0);
  EXPECT_DOUBLE_EQ(m.idVd[10].p, 1.5);
  EXPECT_DOUBLE_EQ(m.idVd[29].p, 2.0);
  EXPECT_DOUBLE_EQ(m.idVd[29].y, 3);
  ASSERT_EQ(m.idVg.size(), 2u);
  EXPECT_DOUBLE_EQ(m.idVg[0].x, 0.5) << "list values are stored as magnitudes";
  EXPECT_DOUBLE_EQ(m.idVg[0].y, 1e-6);
  EXPECT_DOUBLE_EQ(m.idVg[0].p, -1);
}

TEST(MosMeasurement, OversizedBlocksAndBadNumbersStopSafely) {
  const Measurement first = ParseMeasurement("a\nb\nN   1 2\nIdVd 1 0 0 0\n600 1\n");
  EXPECT_FALSE(first.loaded);
  const Measurement second =
      ParseMeasurement("a\nb\nN   1 2\nIdVd 1 0 0 0\n1 1\n1 2 3\nIdVg 0 0 0 0\n900 1\n1 1 1\n");
  EXPECT_TRUE(second.loaded);
  EXPECT_EQ(second.idVd.size(), 1u);
  EXPECT_TRUE(second.idVg.empty());
  const Measurement wide = ParseMeasurement("a\nb\nN   1 2\nIdVd 33 0 0 0\n2 0\n");
  EXPECT_FALSE(wide.loaded);
  EXPECT_FALSE(wide.problem.empty());
  const Measurement big = ParseMeasurement("a\nb\nN   1 2\nIdVd 32 0 0 1\n20 0\n" +
                                           [] {
                                             std::string rows;
                                             for (int r = 0; r < 20; ++r) {
                                               for (int c = 0; c <= 32; ++c) rows += "1 ";
                                               rows += "\n";
                                             }
                                             return rows;
                                           }());
  EXPECT_EQ(big.idVd.size(), kMaxMeasuredPoints) << "a table beyond a set keeps 500 points";
  const Measurement bad = ParseMeasurement("a\nb\nN   1 2\nIdVd 1 0 0 0\n2 0\n1 x\n");
  EXPECT_FALSE(bad.loaded);
  EXPECT_EQ(bad.problem, "Invalid numeric input at line 6");
  EXPECT_FALSE(ParseMeasurement("a\nb\nN one 2\n").loaded);
}

TEST(MosCurves, DefaultIdVgFamilyHasFiveBulkVoltages) {
  Fresh f;
  const MosModel model{f.s.technology, kModelLevel3};
  MosSweep sweep;
  sweep.w = 5e-6, sweep.l = 1e-6, sweep.mode = kCurveIdVg;
  const std::vector<MosCurve> curves = ComputeMosCurves(model, sweep);
  ASSERT_EQ(curves.size(), 5u);
  for (int k = 0; k < 5; ++k) EXPECT_DOUBLE_EQ(curves[size_t(k)].fixed, -0.5 * k);
  EXPECT_GT(curves[0].points.back()[1], curves[4].points.back()[1]) << "body effect";
  sweep.mode = kCurveIdVd;
  EXPECT_EQ(ComputeMosCurves(model, sweep).size(), 6u);
  EXPECT_EQ(ComputeMosCurves(model, sweep)[0].points.size(), 51u);
}

TEST(MosCurves, FullFitRoundsUpAndConductanceNeedsAStep) {
  Fresh f;
  const MosModel model{f.s.technology, kModelLevel1};
  MosSweep sweep;
  sweep.w = 10e-6, sweep.l = 1e-6;  // 0.5·4e-5·10·1.05·4.3² ≈ 3.9 mA
  EXPECT_DOUBLE_EQ(FullFitCurrent(model, sweep), 4e-3);
  sweep.mode = kCurveLogIdVg;
  EXPECT_DOUBLE_EQ(FullFitCurrent(model, sweep), 1e-3);
  EXPECT_TRUE(MeasuredConductance({{1, 1, 0}, {1, 2, 0}}).empty());
  const auto g = MeasuredConductance({{0, 0, 1}, {0.5, 1e-4, 1}, {1, 1e-4, 1}, {0, 0, 2}});
  ASSERT_EQ(g.size(), 2u);
  EXPECT_DOUBLE_EQ(g[0].y, 2e-4);
  EXPECT_DOUBLE_EQ(g[1].y, 1e-9);
}

TEST(MosViewer, FieldsStepsAndSizesReportAsTheWindowDoes) {
  Fresh f;
  MosViewer viewer(f.s);
  const ViewerParameter& kp = Level3Parameters()[2];
  const double shown = std::stod(viewer.ParameterText(kp));
  viewer.StepParameter(kp, 1);
  EXPECT_NEAR(std::stod(viewer.ParameterText(kp)) - shown, 5, 1e-9);
  EXPECT_FALSE(viewer.ApplyField(0, "abc"));
  EXPECT_EQ(f.platform.Panel(0), "Illegal Vd value");
  EXPECT_TRUE(viewer.ApplyField(2, "0,5"));
  EXPECT_EQ(f.platform.Panel(0), "Vg step");
  EXPECT_DOUBLE_EQ(f.s.viewerRanges.vgStep, 0.5);
  EXPECT_TRUE(viewer.ChooseSize("W=20\xC2\xB5m, L=20\xC2\xB5m"));
  EXPECT_EQ(viewer.WidthLambda(), 40);
  EXPECT_FALSE(viewer.ChooseSize("W=zz\xC2\xB5m, L=1\xC2\xB5m"));
  EXPECT_EQ(f.platform.Panel(0), "Error converting \"zz\"");
  EXPECT_EQ(viewer.WidthLambda(), 40);
  viewer.SelectModelPage(2);
  EXPECT_EQ(f.s.extractOptions.modelLevel, kModelLevel9);
  EXPECT_EQ(f.platform.Panel(0), "Select Philips Level 9 model");
}

TEST(MosViewer, MeasurementFileSwitchesTypeAndSize) {
  Fresh f;
  MosViewer viewer(f.s);
  testing::TempDir dir;
  testing::WriteFile(dir.File("dev.MES"), "x\nt\np   10.0 2.0\nIdVd 1 0 0 0\n1 0\n0 0\n");
  EXPECT_FALSE(viewer.LoadMeasurement(dir.File("missing.txt")));
  EXPECT_TRUE(viewer.LoadMeasurement(dir.File("dev.txt")));
  EXPECT_TRUE(viewer.Pmos());
  EXPECT_EQ(viewer.WidthLambda(), 20);
  EXPECT_EQ(viewer.LengthLambda(), 4);
  EXPECT_EQ(f.platform.Panel(0), "W=10.0\xC2\xB5m, L=2.0\xC2\xB5m");
}

// ---- The curves against ngspice DC sweeps ----------------------------------

// ngspice's drain currents of one DC sweep (the swept source's values), or
// empty when ngspice cannot run.
std::vector<double> SpiceSweep(const std::string& deck) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("sweep.cir"), deck);
  FILE* out = popen(("cd " + dir.Path().string() + " && ngspice -b sweep.cir 2>/dev/null").c_str(), "r");
  if (!out) return {};
  char line[512];
  while (fgets(line, sizeof line, out)) {}
  pclose(out);
  std::vector<double> currents;
  std::istringstream data(testing::ReadFile(dir.File("sweep.txt")));
  double x = 0, i = 0;
  while (data >> x >> i) currents.push_back(std::fabs(i));
  return currents;
}

std::string Card(const MosParameters& p, bool pmos) {
  std::ostringstream m;
  m.precision(10);
  m << ".model t " << (pmos ? "pmos" : "nmos") << " level=1 vto=" << p.VTO << " kp=" << p.KP
    << " gamma=" << p.GAMMA << " phi=" << p.PHI << " lambda=" << p.KAPPA << "\n";
  return m.str();
}

// A deck sweeping source `swept` ("vd" or "vg") from `from` to `to` by
// `step`, the other terminals fixed.
std::string SweepDeck(const Fresh& f, bool pmos, const MosSweep& s, double vd, double vg,
                      double vb, double vs, const std::string& swept, double from, double to,
                      double step) {
  std::ostringstream deck;
  deck.precision(12);
  deck << "* sweep\n.options temp=27 tnom=27\n"
       << Card(pmos ? f.s.technology.pmos : f.s.technology.nmos, pmos) << "vd d 0 " << vd
       << "\nvg g 0 " << vg << "\nvb b 0 " << vb << "\nvs s 0 " << vs
       << "\nm1 d g s b t w=" << s.w << " l=" << s.l << "\n.control\ndc " << swept << " " << from
       << " " << to << " " << step << "\nwrdata sweep.txt i(vd)\n.endc\n.end\n";
  return deck.str();
}

// ngspice's points of one of our curves: y of the same mode at the same x.
std::vector<double> SpiceCurve(const Fresh& f, const MosSweep& s, const MosCurve& c) {
  const double vdd = f.s.technology.VDD;
  const double last = c.points.back()[0];
  const double sign = s.pmos ? -1 : 1, base = s.pmos ? vdd : 0;
  if (s.mode == kCurveIdVg || s.mode == kCurveLogIdVg) {
    const double step = vdd * 0.01;
    return SpiceSweep(SweepDeck(f, s.pmos, s, base + sign * s.vds, 0, c.fixed, base, "vg", base,
                                base + sign * last, sign * step));
  }
  if (s.mode == kCurveIdVd)
    return SpiceSweep(SweepDeck(f, s.pmos, s, 0, c.fixed, s.vbIdVd, base, "vd", base,
                                base + sign * last, sign * s.vdMax / 50));
  // The conductance from currents 0.01 V apart.
  const std::vector<double> fine = SpiceSweep(SweepDeck(
      f, s.pmos, s, 0, c.fixed, s.vbIdVd, base, "vd", base, base + sign * (last + 0.01), sign * 0.01));
  std::vector<double> gds;
  const int ratio = int(std::lround(s.vdMax / 50 / 0.01));
  for (size_t i = 0; i < c.points.size() && size_t(ratio) * i + 1 < fine.size(); ++i)
    gds.push_back(std::fabs(fine[size_t(ratio) * i + 1] - fine[size_t(ratio) * i]) / 0.01);
  return gds;
}

// Below a nanoampere (or nanosiemens) ngspice's currents are those of the
// 1e-12 S conductances it puts across every junction, which no model of ours
// has: such points are not compared.
constexpr double kLeakageFloor = 1e-9;

double WorstDeviation(const MosCurve& ours, const std::vector<double>& spice) {
  if (spice.size() < ours.points.size()) return 1;
  double worst = 0;
  for (size_t i = 0; i < ours.points.size(); ++i) {
    const double a = ours.points[i][1], b = spice[i];
    if (std::max(a, b) < kLeakageFloor) continue;
    worst = std::max(worst, std::fabs(a - b) / std::max(a, b));
  }
  return worst;
}

// Every curve of the four modes at Level 1 against ngspice's level 1 with the
// same card: drain sweeps for Id-Vd and gds (gds from ngspice's currents at
// Vd and Vd + 0.01 V), gate sweeps at each bulk voltage for Id-Vg.
TEST(MosNgspice, Level1CurvesOfEveryModeAgreeWithinHalfAPercent) {
  Fresh f;
  f.s.technology.pmos.KAPPA = 0.02;
  if (SpiceSweep("* probe\n.end\n").empty() && std::system("ngspice -v > /dev/null 2>&1") != 0)
    GTEST_SKIP() << "ngspice is not available";
  const Technology& t = f.s.technology;
  const MosModel model{t, kModelLevel1};
  for (const bool pmos : {false, true})
    for (const int mode : {kCurveIdVd, kCurveIdVg, kCurveLogIdVg, kCurveGdsVd}) {
      MosSweep s;
      s.pmos = pmos, s.mode = mode, s.w = 10e-6, s.l = 2e-6, s.vbIdVd = pmos ? t.VDD : 0;
      for (const MosCurve& c : ComputeMosCurves(model, s)) {
        SCOPED_TRACE((pmos ? "pmos mode " : "nmos mode ") + std::to_string(mode) + " at " +
                     std::to_string(c.fixed));
        EXPECT_LT(WorstDeviation(c, SpiceCurve(f, s, c)), 0.005);
      }
    }
}

}  // namespace
}  // namespace tarnisk
