#include <gtest/gtest.h>

#include <string>

#include "core/msk_file.h"
#include "process/parametric.h"
#include "session/analysis/extract_command.h"
#include "session/process/parametric_command.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::WithRules;

TEST(Stretch, StraddlingBoxesGrowAndWhatLiesBeyondMoves) {
  WithRules t;
  t.Add({{0, 0, 10, 4, kMetal}, {20, 0, 30, 4, kMetal}, {5, 10, 25, 14, kPoly}});
  AddLayoutText(t.layout, 22, 2, "beyond");
  AddLayoutText(t.layout, 2, 2, "before");
  AddResistanceMark(t.layout, 21, 1, "1k");
  // A vertical line drawn downwards at x = 15: the layout stretches along x.
  ASSERT_TRUE(StretchAcrossLine(t.layout, {{16, 20}, {15, -5}}, 3));
  const auto& b = t.layout.boxes;
  EXPECT_EQ(RectOf(b[1]), (Rect{0, 0, 10, 4}));
  EXPECT_EQ(RectOf(b[2]), (Rect{23, 0, 33, 4}));
  EXPECT_EQ(RectOf(b[3]), (Rect{5, 10, 28, 14}));
  EXPECT_EQ(t.layout.texts[1].x, 25);
  EXPECT_EQ(t.layout.texts[2].x, 2);
  EXPECT_EQ(t.layout.resistances[1].x, 24);
  EXPECT_EQ(t.layout.wide.extracted, 0);
  EXPECT_EQ(t.layout.wide.modified, 1);
  // A horizontal line stretches along y; shrinking the straddling box to
  // nothing is refused and changes nothing.
  ASSERT_TRUE(StretchAcrossLine(t.layout, {{0, 12}, {40, 12}}, -2));
  EXPECT_EQ(RectOf(b[3]), (Rect{5, 10, 28, 12}));
  EXPECT_FALSE(StretchAcrossLine(t.layout, {{0, 11}, {40, 11}}, -2));
  EXPECT_EQ(RectOf(b[3]), (Rect{5, 10, 28, 12}));
}

// The ring oscillator of the examples, swept.
struct Ring : WithRules {
  Ring() { Open("ring5.msk"); }
  std::string Saved() const {
    SilentProgress quiet;
    return FormatLayoutFile(layout, "ring5.msk", 0, quiet) + std::to_string(layout.wide.extracted) +
           std::to_string(layout.wide.modified);
  }
  SweepResult Sweep(SweepRequest r, SweepObserver* observer = nullptr) {
    r.measuredNode = r.measuredNode.empty() ? "out" : r.measuredNode;
    return RunParametric(s, r, observer);
  }
};

SweepRequest Spacing(double from, double to, double step) {
  SweepRequest r;
  r.parameter = SweepParameter::Spacing;
  r.range = {from, to, step};
  r.measure = kMeasureFrequency;
  r.line = {{60, -5}, {60, 60}};
  return r;
}

// Stops after `points` points.
struct StopAfter : SweepObserver {
  explicit StopAfter(int points) : left(points) {}
  void PointDone(const SweepPoint&, const std::string&) override { --left; }
  bool StopRequested() override { return left <= 0; }
  int left;
};

TEST(Sweep, LeavesTheLayoutAsItFoundItWhetherDoneStoppedOrFailed) {
  Ring t;
  const std::string before = t.Saved();
  const SweepResult done = t.Sweep(Spacing(1, 3, 1));
  EXPECT_EQ(done.points.size(), 3u);
  EXPECT_FALSE(done.failed);
  EXPECT_EQ(t.Saved(), before);
  StopAfter stop(1);
  const SweepResult stopped = t.Sweep(Spacing(1, 3, 1), &stop);
  EXPECT_TRUE(stopped.stopped);
  EXPECT_EQ(stopped.points.size(), 1u);
  EXPECT_EQ(stopped.message, "Parametric analysis stopped after 1 point");
  EXPECT_EQ(t.Saved(), before);
  SweepRequest missing = Spacing(1, 3, 1);
  missing.measuredNode = "nowhere";
  const SweepResult failed = t.Sweep(missing);
  EXPECT_TRUE(failed.failed);
  EXPECT_EQ(failed.message, "No node named \"nowhere\"");
  EXPECT_EQ(t.Saved(), before);
  // Stretching the rails to nothing fails at its first point.
  EXPECT_TRUE(t.Sweep(Spacing(-100, -100, 1)).failed);
  EXPECT_EQ(t.Saved(), before);
}

TEST(Sweep, EachSpacingPointStandsAtItsOwnStretch) {
  Ring t;
  ComputeExtent(t.layout);
  const int32_t right = t.layout.wide.extent.xmax;
  SweepRequest keep = Spacing(1, 3, 1);
  keep.restore = false;
  const SweepResult r = t.Sweep(keep);
  ASSERT_EQ(r.points.size(), 3u);
  ASSERT_EQ(r.dataLines.size(), 4u);
  EXPECT_EQ(r.dataLines[0], "L(\xC2\xB5m)   freq(MHz)");
  EXPECT_EQ(r.dataLines[3].substr(0, 7), "3.000  ");
  ComputeExtent(t.layout);
  EXPECT_EQ(t.layout.wide.extent.xmax, right + 6);  // 3 um at 0.5 um per lambda, not 1 + 2 + 3
}

TEST(Sweep, RingOscillatorSpeedsUpWithTheSupply) {
  Ring t;
  SweepRequest r;
  r.parameter = SweepParameter::Supply;
  r.range = {3, 5, 0.5};
  r.measure = kMeasureFrequency;
  const SweepResult result = t.Sweep(r);
  ASSERT_EQ(result.points.size(), 5u) << result.message;
  for (size_t i = 1; i < result.points.size(); ++i)
    EXPECT_GT(result.points[i].value, result.points[i - 1].value) << i;
  EXPECT_GT(result.points[0].value, 100);  // MHz
  EXPECT_DOUBLE_EQ(t.s.technology.VDD, 5.0);  // put back
  r.restore = false;
  r.range = {3, 3.2, 0.5};
  t.Sweep(r);
  EXPECT_DOUBLE_EQ(t.s.technology.VDD, 3.0);  // kept as asked
}

TEST(Sweep, AddedNodeCapacitanceSlowsTheRingAndIsTakenBack) {
  Ring t;
  ASSERT_TRUE(EnsureExtracted(t.s));
  SweepRequest r;
  r.parameter = SweepParameter::Capacitance;
  r.range = {0, 100, 50};
  r.measure = kMeasureFrequency;
  int out = 0;
  for (int k = 2; k <= t.layout.nodes.count; ++k)
    if (t.layout.nodes.nodes[k].name == "out") out = k;
  ASSERT_NE(out, 0);
  r.node = out;
  const double before = t.layout.nodes.nodes[out].NodeCapacitance;
  const SweepResult result = t.Sweep(r);
  ASSERT_EQ(result.points.size(), 3u);
  EXPECT_LT(result.points[2].value, result.points[0].value);
  EXPECT_EQ(result.dataLines[0], "Capa   freq(MHz)");
  EXPECT_DOUBLE_EQ(t.layout.nodes.nodes[out].NodeCapacitance, before);
}

TEST(Sweep, EmptyRangesAndMissingNodesSimulateNothing) {
  Ring t;
  SweepRequest backwards = Spacing(5, 1, 1);
  const SweepResult none = t.Sweep(backwards);
  EXPECT_TRUE(none.points.empty());
  EXPECT_FALSE(none.failed);
  SweepRequest voltage;
  voltage.parameter = SweepParameter::Voltage;
  voltage.range = {2, 5, 0.5};
  const SweepResult unchosen = t.Sweep(voltage);
  EXPECT_TRUE(unchosen.failed);
  EXPECT_TRUE(unchosen.points.empty());
  EXPECT_TRUE(SweepAdvances({1, 2, 0.5, false}));
  EXPECT_FALSE(SweepAdvances({1, 2, 0, false}));
  EXPECT_FALSE(SweepAdvances({1, 10, 1, true}));  // a factor of 1 never advances
  EXPECT_FALSE(SweepAdvances({0, 10, 2, true}));
  EXPECT_STREQ(MeasureAxisLabel(kMeasureCrosstalk), "crosstalk(V)");
  EXPECT_STREQ(MeasureAxisLabel(kMeasureSwitching), "commut point(V)");
}

TEST(Sweep, SpacingLineFindsTheNodeOfANearbyText) {
  Ring t;
  ASSERT_TRUE(EnsureExtracted(t.s));
  // "out" is written at (113, 18).
  const SweepNodeChoice byText = SweepNodeNear(t.s, {{110, 15}, {110, 25}});
  ASSERT_GE(byText.node, 2);
  EXPECT_EQ(t.layout.nodes.nodes[byText.node].name, "out");
  EXPECT_FALSE(byText.byBox);
  const SweepNodeChoice byBox = SweepNodeNear(t.s, {{16, 20}, {17, 21}});
  EXPECT_TRUE(byBox.byBox);
  EXPECT_GE(byBox.node, 2);
}

}  // namespace
}  // namespace tarnisk
