#pragma once
// The static characteristics of one transistor as the MOS viewer draws them:
// the Id-Vd family over gate voltages, its output conductance, and the Id-Vg
// family over bulk voltages, with the reference current that fills the plot
// and the conductance derived from measured Id-Vd points.

#include <array>
#include <vector>

#include "models/mos_measurement.h"
#include "models/mos_models.h"

namespace tarnisk {

// Curve modes in the order of the viewer's tabs.
enum MosCurveMode : int { kCurveIdVd = 1, kCurveIdVg = 2, kCurveLogIdVg = 3, kCurveGdsVd = 4 };

// What to sweep: the device and the limits of the two families (volts).
struct MosSweep {
  bool pmos = false;
  double w = 0, l = 0;  // effective width and length, metres
  int mode = kCurveIdVd;
  double vdMax = 5, vgMax = 5, vgStep = 1;                   // Id-Vd and gds-Vd
  double vgMaxIdVg = 2, vbMax = -2, vbStep = 0.5, vds = 0.1;  // Id-Vg
  double vbIdVd = 0;  // bulk of the Id-Vd family, first bulk of the Id-Vg family
};

// One curve: the voltage held fixed along it (the gate voltage of an Id-Vd or
// gds-Vd curve, the bulk voltage of an Id-Vg curve) and its points (volts;
// amperes, or siemens for the conductance), the current as a magnitude.
struct MosCurve {
  double fixed = 0;
  std::vector<std::array<double, 2>> points;
};

// The family of the sweep's mode. The caller brings the temperature-corrected
// parameters up to date first.
std::vector<MosCurve> ComputeMosCurves(const MosModel& model, const MosSweep& sweep);

// The current (A) that a full fit makes fill the plot height: the device fully
// on (Id-Vd) or at half the supply with 0.1 V across it (Id-Vg), rounded up to
// 2, 4, 7, 10 or 15 mA in the decades between; 1 mA in the other modes.
double FullFitCurrent(const MosModel& model, const MosSweep& sweep);

// The horizontal range (V) that a full fit spreads over the plot width.
double FullFitVoltage(const MosSweep& sweep, double vdd);

// The conductance of measured Id-Vd points (x = Vd, y = Id, p = Vg): within a
// run of equal p, (y(i+1) - y(i)) over the x step of the set's first two
// points, never below 1e-9. Empty when that step is 0.
std::vector<MeasuredPoint> MeasuredConductance(const std::vector<MeasuredPoint>& idVd);

}  // namespace tarnisk
