#include "models/mos_curves.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/technology.h"

namespace tarnisk {

namespace {

// A tolerance for the sweep ends, so that limits reached by adding a step
// many times are not lost to rounding.
constexpr double kSweepSlack = 1e-9;
constexpr int kDrainPoints = 50;      // Id-Vd steps of VdMax/50
constexpr double kGdsDelta = 0.01;    // V, the conductance's difference step
constexpr double kIdVgStep = 0.01;    // fraction of VDD per Id-Vg step
constexpr int kMaxCurves = 1000;      // a guard against absurd step settings

double IdVdCurrent(const MosModel& m, const MosSweep& s, double vg, double vd) {
  const double vdd = m.technology.VDD;
  return s.pmos ? PmosCurrent(m, vdd, vg, vdd - vd, s.vbIdVd, s.w, s.l)
                : NmosCurrent(m, 0, vg, vd, s.vbIdVd, s.w, s.l);
}

double IdVgCurrent(const MosModel& m, const MosSweep& s, double vg, double vb) {
  const double vdd = m.technology.VDD;
  return s.pmos ? PmosCurrent(m, vdd, vdd - vg, vdd - s.vds, vb, s.w, s.l)
                : NmosCurrent(m, 0, vg, s.vds, vb, s.w, s.l);
}

// Gate voltages 0, step, ... up to the limit.
std::vector<double> Steps(double limit, double step) {
  std::vector<double> values;
  for (int i = 0; i < kMaxCurves; ++i) {
    const double v = i * step;
    if (v > limit + kSweepSlack) break;
    values.push_back(v);
    if (step <= 0) break;
  }
  return values;
}

std::vector<MosCurve> DrainFamily(const MosModel& m, const MosSweep& s, bool conductance) {
  std::vector<MosCurve> curves;
  const double vdStep = s.vdMax / kDrainPoints;
  for (const double vg : Steps(s.vgMax, s.vgStep)) {
    MosCurve curve{vg, {}};
    for (int i = 0; i <= kDrainPoints; ++i) {
      const double vd = i * vdStep;
      const double current = IdVdCurrent(m, s, vg, vd);
      const double y =
          conductance ? std::fabs((IdVdCurrent(m, s, vg, vd + kGdsDelta) - current) / kGdsDelta)
                      : std::fabs(current);
      curve.points.push_back({vd, y});
      if (vdStep <= 0) break;
    }
    curves.push_back(std::move(curve));
  }
  return curves;
}

std::vector<MosCurve> GateFamily(const MosModel& m, const MosSweep& s) {
  std::vector<MosCurve> curves;
  const int count =
      s.vbStep > 0 ? std::min(kMaxCurves, int(std::lround(std::fabs(s.vbMax / s.vbStep))) + 1) : 1;
  const double vgStep = m.technology.VDD * kIdVgStep;
  double vb = s.vbIdVd;
  for (int k = 0; k < count; ++k) {
    MosCurve curve{vb, {}};
    for (int i = 0; vgStep > 0; ++i) {
      const double vg = i * vgStep;
      if (vg >= s.vgMaxIdVg - kSweepSlack) break;
      curve.points.push_back({vg, std::fabs(IdVgCurrent(m, s, vg, vb))});
    }
    curves.push_back(std::move(curve));
    vb += s.pmos ? s.vbStep : -s.vbStep;
  }
  return curves;
}

}  // namespace

std::vector<MosCurve> ComputeMosCurves(const MosModel& model, const MosSweep& sweep) {
  switch (sweep.mode) {
    case kCurveIdVd: return DrainFamily(model, sweep, false);
    case kCurveGdsVd: return DrainFamily(model, sweep, true);
    default: return GateFamily(model, sweep);
  }
}

double FullFitCurrent(const MosModel& m, const MosSweep& s) {
  const double vdd = m.technology.VDD;
  double current = 1e-3;
  if (s.mode == kCurveIdVd)
    current = std::fabs(s.pmos ? PmosCurrent(m, 0, 0, vdd, vdd, s.w, s.l)
                               : NmosCurrent(m, 0, vdd, vdd, 0, s.w, s.l));
  else if (s.mode == kCurveIdVg)
    current = std::fabs(s.pmos ? PmosCurrent(m, vdd, vdd / 2, vdd - 0.1, vdd, s.w, s.l)
                               : NmosCurrent(m, 0, vdd / 2, 0.1, 0, s.w, s.l));
  // Rounded up within (1, 15] mA to a plot height that reads well.
  constexpr double kCeilings[] = {1e-3, 2e-3, 4e-3, 7e-3, 10e-3, 15e-3};
  for (size_t i = 1; i < std::size(kCeilings); ++i)
    if (current > kCeilings[i - 1] && current <= kCeilings[i]) return kCeilings[i];
  return current;
}

double FullFitVoltage(const MosSweep& s, double vdd) {
  switch (s.mode) {
    case kCurveIdVd: return s.vdMax;
    case kCurveGdsVd: return vdd;
    default: return s.vgMaxIdVg;
  }
}

std::vector<MeasuredPoint> MeasuredConductance(const std::vector<MeasuredPoint>& idVd) {
  std::vector<MeasuredPoint> gds;
  if (idVd.size() < 2 || idVd[1].x == idVd[0].x) return gds;
  const double step = idVd[1].x - idVd[0].x;
  for (size_t i = 0; i + 1 < idVd.size(); ++i) {
    if (idVd[i + 1].p != idVd[i].p) continue;
    const double g = (idVd[i + 1].y - idVd[i].y) / step;
    gds.push_back({idVd[i].x, std::max(g, 1e-9), idVd[i].p});
  }
  return gds;
}

}  // namespace tarnisk
