#include "models/mos_models.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "core/technology.h"

namespace tarnisk {
namespace {

// The pMOS is evaluated with the nMOS equations in a mirrored frame: every
// absolute voltage x becomes VDD − x and the Level 1/3 threshold changes
// sign, so that an "on" pMOS looks like an "on" nMOS. The few constants in
// which the two Level 3 variants differ travel with the device.
struct Device {
  const MosParameters& p;  // the device type's own parameters
  const MosParameters& n;  // the nMOS set: Level 9 parameters the pMOS has no copy of
  double vto;              // VTO_T in the nMOS frame
  double vonFactor;        // Level 3 weak-inversion limit VON = vonFactor·VT
  double weakLimit;        // Level 3 upper bound of the weak-inversion exponent
  double vcFactor;         // Level 3 saturation voltage VC = VMAX·L·vcFactor
};

// Terminal voltages after the ordering: v1 is the source. In the nMOS frame
// vgs and vds are >= 0 for a conducting device; v1 and vb are absolute
// (mirrored for the pMOS). sign turns the magnitude into the signed result.
struct Bias {
  double v1, vgs, vds, vb, sign;
};

// Level 9 guard messages, built once so that a guard allocates nothing.
const std::string kUs0Zero = "us0 is 0";
const std::string kUs1Zero = "us1 is 0, halt";
const std::string kUsRatio = "us0/us1 <=0, halt";
const std::string kDelta1 = "1-delta1=0, halt";
const std::string kVdss = "1-vdss1=0, halt";

// Level 3 saturation voltage factors: VC = VMAX·L·factor.
constexpr double kNmosVcFactor = 50.0 / 3, kPmosVcFactor = 50;

Device NmosDevice(const Technology& t) {
  return {t.nmos, t.nmos, t.nmos.VTO_T, 1.2, 2, kNmosVcFactor};
}

Device PmosDevice(const Technology& t) {
  return {t.pmos, t.nmos, -t.pmos.VTO_T, 1.1, 5, kPmosVcFactor};
}

Bias NmosBias(double v1, double vg, double v2, double vb) {
  double sign = -1;
  if (v2 < v1) {
    std::swap(v1, v2);
    sign = 1;
  }
  return {v1, vg - v1, v2 - v1, vb, sign};
}

Bias PmosBias(double vdd, double v1, double vg, double v2, double vb) {
  double sign = -1;
  if (v2 > v1) {
    std::swap(v1, v2);
    sign = 1;
  }
  return {vdd - v1, v1 - vg, v1 - v2, vdd - vb, sign};
}

double Level1(const Device& d, const Bias& b, double w, double l) {
  const MosParameters& p = d.p;
  // The bulk voltage enters as it is, not relative to the source.
  const double vt =
      b.vb == 0 ? d.vto : d.vto + p.GAMMA * (std::sqrt(std::fabs(p.PHI - b.vb)) - p.SQRT_PHI);
  if (b.vgs < vt) return 0;
  const double vgt = b.vgs - vt;
  const double gain = p.KP * (w / l) * (1 + p.KAPPA * b.vds);
  if (b.vds > vgt) return 0.5 * gain * vgt * vgt;
  return gain * (b.vds * vgt - 0.5 * b.vds * b.vds);
}

// Level 3 strong-inversion current at gate-source voltage vg and drain-source
// voltage vd, threshold vt.
double Level3Strong(const Device& d, double vt, double vg, double vd, double w, double l) {
  const MosParameters& p = d.p;
  const double mobility = p.KP_T / (1 + p.THETA * vg);
  const double vgt = vg - vt;
  const double vc = p.VMAX * l * d.vcFactor;
  const double vdsat = vgt + vc - std::sqrt(vc * vc + vgt * vgt);
  const double vde = Min(vd, vdsat);
  return mobility * (w / l) * (1 + p.KAPPA * vd) * vde * (vgt - 0.5 * vde);
}

double Level3(const Device& d, const Bias& b, double w, double l) {
  if (b.vds == 0) return 0;
  const MosParameters& p = d.p;
  const double vb = Min(b.vb, b.v1 + 0.6);  // no more than a diode drop of forward bias
  const bool flat = vb == 0 || p.PHI <= vb || p.PHI <= 0;
  const double vt = flat ? d.vto : d.vto + p.GAMMA * (std::sqrt(p.PHI - vb) - p.SQRT_PHI);
  const double von = d.vonFactor * vt;
  if (b.vgs < 0) return 0;
  if (b.vgs > von) return Level3Strong(d, vt, b.vgs, b.vds, w, l);
  // Weak inversion: the current at VON, falling exponentially below it.
  const double x = Min(Max((b.vgs - von) / p.NSS_T, -30), d.weakLimit);
  return std::exp(x) * Level3Strong(d, vt, von, b.vds, w, l);
}

// Offsets of the operating point from the reference device: temperature (K),
// 1/Leff and 1/Weff.
struct Offsets {
  double dt, dl, dw;
};

double Scaled(double value, double st, double sl, double sw, const Offsets& o) {
  return value + st * o.dt + sl * o.dl + sw * o.dw;
}

// The surface-potential roots are taken of non-negative arguments only: a
// bulk forward-biased beyond PHIB, or a negative PHIB, gives a zero root and
// stops at the guards instead of producing NaN.
double Root(double x) { return std::sqrt(Max(x, 0)); }

double Halt(const MosModel& m, const std::string& message) {
  if (m.halt) m.halt->message = &message;
  return 0;
}

using BackBias = Level9Terms::BackBias;

// The terms that depend on the source-bulk voltage, with the guard that
// stops the evaluation there.
BackBias BackBiasAt(const Level9Terms& c, double vsb) {
  BackBias b;
  b.us = Root(c.phib + vsb);
  double dvb = c.k0 * (b.us - c.us0);
  if (b.us >= c.usx)
    dvb = c.k * std::sqrt(b.us * b.us - c.r * c.usx * c.usx) + c.k0 * c.r * c.usx - c.k0 * c.us0;
  b.vt1 = c.vto + dvb;
  b.us1 = b.us - 0.5 * ((b.us - c.ust) + std::fabs(b.us - c.ust) + 0.04);
  if (c.us0 == 0) {
    b.guard = &kUs0Zero;
    return b;
  }
  b.gamma0 = c.gamo * (b.us1 / c.us0) * (b.us1 / c.us0);
  if (b.us1 == 0 || c.us0 / b.us1 <= 0) {
    b.guard = b.us1 == 0 ? &kUs1Zero : &kUsRatio;
    return b;
  }
  const double m = 1 + c.mo * Power(c.us0 / b.us1, c.etam);
  b.twoMPhiT = 2 * m * c.phiT;
  b.delta1 = 0.3 * c.k / b.us;
  if (b.delta1 == 1) {
    b.guard = &kDelta1;
    return b;
  }
  b.onePlusDelta1 = 1 + b.delta1;
  b.oneMinusDelta1 = 1 - b.delta1;
  b.halfOnePlusDelta1 = 0.5 * (1 + b.delta1);
  b.theta2Body = c.theta2 * (b.us - c.us0);
  return b;
}

Level9Terms PrepareLevel9(const Technology& tech, const Device& d, double w, double l) {
  const MosParameters& p = d.p;
  const MosParameters& n = d.n;
  constexpr double tr = 300;
  const double t = tech.TEMP + 273;
  const double weff = w - 2 * p.WOT;
  const Offsets o{t - tr, 1 / l - 1 / p.LER, 1 / weff - 1 / p.WER};
  Level9Terms c;
  c.vto = Scaled(p.VTOR, p.STVTO, p.SLVTO, p.SWVTO, o);
  c.k = Scaled(n.KR, 0, n.SLK, n.SWK, o);
  c.k0 = Scaled(p.KOR, 0, p.SLKO, p.SWKO, o);
  c.r = 1 - (c.k / c.k0) * (c.k / c.k0);
  c.phib = p.PHIB;
  c.us0 = Root(p.PHIB);
  c.ust = Root(p.PHIB + p.VSBTR);
  c.usx = Root(p.PHIB + p.VSBXR);
  c.gamo = p.GAMOR + p.SLGAMO * (1 / (l * l) - 1 / (p.LER * p.LER));
  c.gamma1 = Scaled(p.GAM1R, 0, p.SLGAM1, p.SWGAM1, o);
  c.mo = p.MOR + n.SLMO * (1 / std::sqrt(l) - 1 / std::sqrt(p.LER));
  c.phiT = t * 1.38e-23 * 6.25e18;  // kT/q
  c.theta1 = Scaled(p.THE1R, p.STTHE1, p.SLTHE1, p.SWTHE1, o);
  c.theta2 = Scaled(p.THE2R, p.STTHE2, p.SLTHE2, p.SWTHE2, o);
  c.theta3 = Scaled(p.THE3R, p.STTHE3, p.SLTHE3, p.SWTHE3, o);
  c.twoTheta3 = 2 * c.theta3;
  c.beta = (weff / l) * p.BETSQ * Power(tr / t, n.ETABET);
  c.zet1 = p.ZET1R;
  c.inverseZet1 = 1 / p.ZET1R;
  c.alp = n.ALP, c.inverseVp = 1 / n.VP, c.etads = n.ETADS, c.etam = n.ETAM;
  c.zeroBias = BackBiasAt(c, 0);
  return c;
}

// Above this VDS/phiT, exp(-VDS/phiT) is below half an ulp of 1, so that
// 1 - exp(-VDS/phiT) is exactly 1.
constexpr double kNoWeakConduction = 40;

// The bulk guard zeroes a device whose bulk is forward-biased beyond both
// diffusions; where only the source is, its bias is held at the same 0.6 V,
// beyond which the model's roots and quotients lose their meaning.
constexpr double kMostForwardSourceBulk = -0.6;

// The MOS Model 9 drain current at the bias, from the prepared terms.
double Level9(const MosModel& s, const Level9Terms& c, const Bias& b) {
  const double vsb = std::max(b.v1 - b.vb, kMostForwardSourceBulk);
  BackBias other;
  if (vsb != 0) other = BackBiasAt(c, vsb);
  const BackBias& bb = vsb == 0 ? c.zeroBias : other;
  if (bb.guard) return Halt(s, *bb.guard);

  const double vgt1 = b.vgs >= bb.vt1 ? b.vgs - bb.vt1 : 0;
  const double sq = vgt1 * vgt1;
  double dvd = 0;
  if (b.vds > 0 && sq == 0) {
    dvd = -bb.gamma0 * b.vds;  // no gate overdrive: the bracket below is exactly 1
  } else if (b.vds > 0) {
    dvd = -bb.gamma0 * b.vds *
          (0.5 / (sq + 0.5) - c.gamma1 * Power(b.vds, c.etads) * sq / (sq + 0.5));
  }
  const double vgt2 = b.vgs - (bb.vt1 + dvd);
  const double z = vgt2 / bb.twoMPhiT;
  const double e = std::exp(z);
  // Once 1 + e rounds to e, log(1 + e) is z to within an ulp of e.
  const double vgt3 = bb.twoMPhiT * (1 + e == e ? z : std::log(1 + e));
  const double vdss =
      (2 * vgt3 / bb.onePlusDelta1) / (1 + std::sqrt(1 + c.twoTheta3 * vgt3 / bb.oneMinusDelta1));
  if (vdss == -1) return Halt(s, kVdss);

  // Smooth transition of the effective drain voltage from VDS to VDSS.
  // A gate so far below threshold that exp(z) underflows leaves no channel
  // (VDSS 0): eps²/VDSS then takes its limit 0 instead of 0/0.
  const double eps = 0.1 * vdss / (1 + vdss);
  const double dd = vdss - b.vds - (vdss == 0 ? 0 : eps * eps / vdss);
  const double vds1 = vdss - 0.5 * (std::sqrt(4 * eps * eps + dd * dd) + dd);
  const double cl = 1 + c.alp * std::log(1 + (b.vds - vds1) * c.inverseVp);
  const double x = b.vds / c.phiT;
  const double weak = x > kNoWeakConduction ? 1 : 1 - std::exp(-x);
  // G = (CL·E + ZET1·weak)/(1/ZET1 + E) joins the final quotient; once E
  // overflows (a gate tens of volts above threshold), G is its limit CL.
  const bool strong = std::isinf(e);
  const double gNumerator = strong ? cl : cl * e + c.zet1 * weak;
  const double gDenominator = strong ? 1 : c.inverseZet1 + e;
  return gNumerator * c.beta * (vgt3 * vds1 - bb.halfOnePlusDelta1 * vds1 * vds1) /
         (gDenominator * (1 + c.theta3 * vds1) * (1 + c.theta1 * vgt1 + bb.theta2Body));
}

// Levels 1 and 3 and an unknown level; Level 9 goes through its prepared terms.
double PlainLevelCurrent(const MosModel& s, const Device& d, const Bias& b, double w, double l) {
  switch (s.level) {
    case kModelLevel1:
      return b.sign * Level1(d, b, w, l);
    case kModelLevel3:
      return b.sign * Level3(d, b, w, l);
    default:
      return 0;
  }
}

bool NmosBulkForward(double v1, double v2, double vb) { return vb > Max(v1, v2) + 0.6; }
bool PmosBulkForward(double v1, double v2, double vb) { return vb < Min(v1, v2) - 0.6; }

}  // namespace

double Level3SaturationMobility(bool pmos) { return 1 / (pmos ? kPmosVcFactor : kNmosVcFactor); }

std::string ModelName(int modelLevel) {
  switch (modelLevel) {
    case kModelLevel1: return "Level 1";
    case kModelLevel3: return "Level 3";
    case kModelLevel9: return "Level 9";
    default: return "unknown";
  }
}

double EffectiveWidth(const Technology& t, int32_t widthLambda) {
  return widthLambda * t.LAMB * 1e-6;
}

double EffectiveLength(const Technology& t, int level, int32_t lengthLambda, bool pmos) {
  const MosParameters& p = pmos ? t.pmos : t.nmos;
  const double lm = lengthLambda * t.LAMB * 1e-6;
  switch (level) {
    case kModelLevel1: return lm;
    case kModelLevel9: return lm - 2 * p.LAP;
    default: return Max(lm - 2 * p.LD * 1e-6, 5e-7);
  }
}

double Power(double x, double y) { return x > 0 ? std::exp(y * std::log(x)) : 0; }

void UpdateTemperature(Technology& t, double celsius) {
  const double f = Power((celsius + 273) / 300, -1.5);
  for (MosParameters* p : {&t.nmos, &t.pmos}) {
    p->KP_T = p->KP * f;
    p->NSS_T = p->NSS * (celsius + 273) / 300;
  }
  t.nmos.VTO_T = t.nmos.VTO - 0.002 * (celsius - 27);
  t.pmos.VTO_T = t.pmos.VTO + 0.002 * (celsius - 27);
}

PreparedMos PrepareMos(const MosModel& m, bool pmos, double w, double l) {
  const Technology& t = m.technology;
  return {pmos, w, l, PrepareLevel9(t, pmos ? PmosDevice(t) : NmosDevice(t), w, l)};
}

double MosCurrent(const MosModel& s, const PreparedMos& d, double v1, double vg, double v2,
                  double vb) {
  const Technology& t = s.technology;
  if (d.pmos ? PmosBulkForward(v1, v2, vb) : NmosBulkForward(v1, v2, vb)) return 0;
  const Bias b = d.pmos ? PmosBias(t.VDD, v1, vg, v2, vb) : NmosBias(v1, vg, v2, vb);
  if (s.level == kModelLevel9) return b.sign * Level9(s, d.level9, b);
  return PlainLevelCurrent(s, d.pmos ? PmosDevice(t) : NmosDevice(t), b, d.w, d.l);
}

double NmosCurrent(const MosModel& s, double v1, double vg, double v2, double vb, double w,
                   double l) {
  if (NmosBulkForward(v1, v2, vb)) return 0;
  const Device d = NmosDevice(s.technology);
  const Bias b = NmosBias(v1, vg, v2, vb);
  if (s.level == kModelLevel9) return b.sign * Level9(s, PrepareLevel9(s.technology, d, w, l), b);
  return PlainLevelCurrent(s, d, b, w, l);
}

double PmosCurrent(const MosModel& s, double v1, double vg, double v2, double vb, double w,
                   double l) {
  if (PmosBulkForward(v1, v2, vb)) return 0;
  const Technology& t = s.technology;
  const Device d = PmosDevice(t);
  const Bias b = PmosBias(t.VDD, v1, vg, v2, vb);
  if (s.level == kModelLevel9) return b.sign * Level9(s, PrepareLevel9(t, d, w, l), b);
  return PlainLevelCurrent(s, d, b, w, l);
}

}  // namespace tarnisk
