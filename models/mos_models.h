#pragma once
// Drain current of one MOS transistor at three model levels: Level 1 (square
// law), Level 3 (square law with mobility degradation, velocity saturation and
// a weak-inversion tail) and Level 9 (Philips MOS Model 9), from the
// technology's parameters.
//
// The current functions are called for every device at every simulation step:
// they allocate nothing and read the temperature-corrected values that
// UpdateTemperature computes once per run.

#include <cstdint>
#include <string>

namespace tarnisk {

struct Technology;

// MOS model levels as the program codes them.
enum ModelLevelCode : int { kModelLevel1 = 0, kModelLevel3 = 1, kModelLevel9 = 2 };

// "Level 1", "Level 3", "Level 9" or "unknown".
std::string ModelName(int modelLevel);

// Where a Level 9 evaluation that stops at one of its guards leaves the
// guard's message, for the caller to show.
struct ModelHalt {
  const std::string* message = nullptr;
};

// Everything a drain current depends on besides the bias and the size.
struct MosModel {
  const Technology& technology;  // parameters, supply and temperature
  int level = kModelLevel3;
  ModelHalt* halt = nullptr;  // optional
};

// Channel width and length in metres of a device drawn Wλ by Lλ, as the
// current functions take them: the length loses the lateral diffusion at
// Level 3 (never below 0.5 µm) and the per-side reduction at Level 9.
double EffectiveWidth(const Technology& t, int32_t widthLambda);
double EffectiveLength(const Technology& t, int level, int32_t lengthLambda, bool pmos);

inline double Min(double a, double b) { return a < b ? a : b; }
inline double Max(double a, double b) { return a > b ? a : b; }

// The mobility (m²/Vs) behind the Level 3 saturation voltage of a device
// type: VC = VMAX·L/mobility.
double Level3SaturationMobility(bool pmos);

// x^y as exp(y·ln x); 0 for x <= 0.
double Power(double x, double y);

// Recomputes VTO_T, KP_T and NSS_T of both device types for the operating
// temperature in degrees Celsius.
void UpdateTemperature(Technology& t, double celsius);

// The bias-independent terms of one device's Level 9 evaluation: the
// parameters scaled to its size and the temperature, and the back-bias terms
// at a source-bulk voltage of 0, where most devices of a circuit sit.
struct Level9Terms {
  double vto = 0, k = 0, k0 = 0, r = 0;  // threshold, body factors, their mixing
  double us0 = 0, ust = 0, usx = 0;      // surface potential roots
  double gamo = 0, gamma1 = 0, mo = 0;   // DIBL and slope factors
  double theta1 = 0, theta2 = 0, theta3 = 0, twoTheta3 = 0;
  double phiT = 0, beta = 0, zet1 = 0, inverseZet1 = 0, alp = 0, inverseVp = 0, etads = 0, etam = 0;
  double phib = 0;
  // The back-bias dependent terms at VSB = 0.
  struct BackBias {
    double us = 0, vt1 = 0, us1 = 0, gamma0 = 0, twoMPhiT = 0, delta1 = 0;
    double onePlusDelta1 = 0, oneMinusDelta1 = 0, halfOnePlusDelta1 = 0, theta2Body = 0;
    const std::string* guard = nullptr;  // the guard that stops the evaluation, if any
  } zeroBias;
};

// One device of a type and size with the part of its evaluation that does
// not depend on the bias done once: the simulator prepares every device when
// a run starts. Valid while the technology's parameters and temperature stay
// as they were.
struct PreparedMos {
  bool pmos = false;
  double w = 0, l = 0;  // effective, metres
  Level9Terms level9;   // filled at Level 9 only
};

PreparedMos PrepareMos(const MosModel& m, bool pmos, double w, double l);

// The current of a prepared device, as NmosCurrent or PmosCurrent gives it.
double MosCurrent(const MosModel& m, const PreparedMos& d, double v1, double vg, double v2,
                  double vb);

// Current in amperes of an nMOS (pMOS) with diffusion terminals v1 and v2,
// gate vg and bulk vb (volts), effective width w and length l (metres, from
// EffectiveWidth and EffectiveLength). The nMOS result is positive when
// v1 > v2 and is then the current from v1 to v2; the pMOS result is positive
// when v2 > v1 and is then the current from v2 to v1. A forward-biased bulk
// gives 0, and so does a Level 9 evaluation that stops at one of its guards
// (its message then goes to the model's halt record).
double NmosCurrent(const MosModel& m, double v1, double vg, double v2, double vb, double w,
                   double l);
double PmosCurrent(const MosModel& m, double v1, double vg, double v2, double vb, double w,
                   double l);

}  // namespace tarnisk
