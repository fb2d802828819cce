// The Level 9 equations as they were before their bias-independent terms were
// prepared once per device, kept as the reference: the prepared evaluation
// must give the same currents on random biases, sizes and temperatures.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>

#include "core/technology.h"
#include "models/mos_models.h"

namespace tarnisk {
namespace {

// ---- The reference: one straight evaluation per call ------------------------

double Scaled(double value, double st, double sl, double sw, double dt, double dl, double dw) {
  return value + st * dt + sl * dl + sw * dw;
}

double Root(double x) { return std::sqrt(Max(x, 0)); }

// Magnitude of the drain current in the nMOS frame (the pMOS mirrored about
// VDD), or 0 with `halted` set at a guard.
double ReferenceMagnitude(const Technology& tech, const MosParameters& p, double v1, double vgs,
                          double vds, double vb, double w, double l, bool& halted) {
  const MosParameters& n = tech.nmos;
  constexpr double tr = 300;
  const double t = tech.TEMP + 273;
  const double weff = w - 2 * p.WOT;
  const double dt = t - tr, dl = 1 / l - 1 / p.LER, dw = 1 / weff - 1 / p.WER;
  const double vsb = Max(v1 - vb, -0.6);  // a source forward-biased beyond 0.6 V is held there
  const double vto = Scaled(p.VTOR, p.STVTO, p.SLVTO, p.SWVTO, dt, dl, dw);
  const double k = Scaled(n.KR, 0, n.SLK, n.SWK, dt, dl, dw);
  const double k0 = Scaled(p.KOR, 0, p.SLKO, p.SWKO, dt, dl, dw);
  const double us0 = Root(p.PHIB), us = Root(p.PHIB + vsb);
  const double ust = Root(p.PHIB + p.VSBTR), usx = Root(p.PHIB + p.VSBXR);
  double dvb = k0 * (us - us0);
  if (us >= usx) {
    const double r = 1 - (k / k0) * (k / k0);
    dvb = k * std::sqrt(us * us - r * usx * usx) + k0 * r * usx - k0 * us0;
  }
  const double vt1 = vto + dvb;
  const double gamo = p.GAMOR + p.SLGAMO * (1 / (l * l) - 1 / (p.LER * p.LER));
  const double us1 = us - 0.5 * ((us - ust) + std::fabs(us - ust) + 0.04);
  halted = true;
  if (us0 == 0) return 0;
  const double gamma0 = gamo * (us1 / us0) * (us1 / us0);
  const double gamma1 = Scaled(p.GAM1R, 0, p.SLGAM1, p.SWGAM1, dt, dl, dw);
  const double vgt1 = vgs >= vt1 ? vgs - vt1 : 0;
  const double sq = vgt1 * vgt1;
  const double dvd =
      vds > 0 ? -gamma0 * vds * (0.5 / (sq + 0.5) - gamma1 * Power(vds, n.ETADS) * sq / (sq + 0.5))
              : 0;
  const double vgt2 = vgs - (vt1 + dvd);
  const double mo = p.MOR + n.SLMO * (1 / std::sqrt(l) - 1 / std::sqrt(p.LER));
  if (us1 == 0 || us0 / us1 <= 0) return 0;
  const double m = 1 + mo * Power(us0 / us1, n.ETAM);
  const double phiT = t * 1.38e-23 * 6.25e18;
  const double e = std::exp(vgt2 / (2 * m * phiT));
  const double vgt3 = 2 * m * phiT * std::log(1 + e);
  const double delta1 = 0.3 * k / us;
  const double theta1 = Scaled(p.THE1R, p.STTHE1, p.SLTHE1, p.SWTHE1, dt, dl, dw);
  const double theta2 = Scaled(p.THE2R, p.STTHE2, p.SLTHE2, p.SWTHE2, dt, dl, dw);
  const double theta3 = Scaled(p.THE3R, p.STTHE3, p.SLTHE3, p.SWTHE3, dt, dl, dw);
  if (delta1 == 1) return 0;
  const double vdss =
      (2 * vgt3 / (1 + delta1)) / (1 + std::sqrt(1 + 2 * theta3 * vgt3 / (1 - delta1)));
  if (vdss == -1) return 0;
  halted = false;
  const double eps = 0.1 * vdss / (1 + vdss);
  const double dd = vdss - vds - (vdss == 0 ? 0 : eps * eps / vdss);  // no channel: the limit
  const double vds1 = vdss - 0.5 * (std::sqrt(4 * eps * eps + dd * dd) + dd);
  const double cl = 1 + n.ALP * std::log(1 + (vds - vds1) / n.VP);
  const double g = std::isinf(e) ? cl  // the limit once exp() overflows
                                  : (cl * e + p.ZET1R * (1 - std::exp(-vds / phiT))) / (1 / p.ZET1R + e);
  const double beta = (weff / l) * p.BETSQ * Power(tr / t, n.ETABET);
  return g * beta * (vgt3 * vds1 - 0.5 * (1 + delta1) * vds1 * vds1) /
         ((1 + theta3 * vds1) * (1 + theta1 * vgt1 + theta2 * (us - us0)));
}

double ReferenceCurrent(const Technology& t, bool pmos, double v1, double vg, double v2,
                        double vb, double w, double l, bool& halted) {
  halted = false;
  if (!pmos) {
    if (vb > Max(v1, v2) + 0.6) return 0;
    double sign = -1;
    if (v2 < v1) std::swap(v1, v2), sign = 1;
    return sign * ReferenceMagnitude(t, t.nmos, v1, vg - v1, v2 - v1, vb, w, l, halted);
  }
  if (vb < Min(v1, v2) - 0.6) return 0;
  double sign = -1;
  if (v2 > v1) std::swap(v1, v2), sign = 1;
  return sign * ReferenceMagnitude(t, t.pmos, t.VDD - v1, v1 - vg, v1 - v2, t.VDD - vb, w, l,
                                   halted);
}

// ---- The comparison ---------------------------------------------------------

struct Case {
  double v1, vg, v2, vb, w, l;
};

Case RandomCase(std::mt19937& rng, double vdd, bool pmos) {
  std::uniform_real_distribution<double> volts(-0.5, vdd + 0.5), body(0, 2.5);
  std::uniform_real_distribution<double> size(0.8e-6, 40e-6);
  Case c{volts(rng), volts(rng), volts(rng), 0, size(rng), size(rng)};
  // Half of the devices sit at zero source-bulk voltage, as in a circuit.
  const bool zeroBias = rng() % 2 == 0;
  const double source = pmos ? Max(c.v1, c.v2) : Min(c.v1, c.v2);
  c.vb = zeroBias ? source : (pmos ? source + body(rng) : source - body(rng));
  return c;
}

void ExpectClose(double ours, double reference, const std::string& what) {
  if (reference == 0 || std::isnan(reference)) {
    EXPECT_TRUE(ours == reference || (std::isnan(ours) && std::isnan(reference))) << what;
    return;
  }
  EXPECT_LE(std::fabs(ours / reference - 1), 1e-12) << what << " ours " << ours << " ref "
                                                     << reference;
}

TEST(MosLevel9, PreparedEvaluationMatchesTheStraightOneOnRandomBiases) {
  Technology t;
  t.pmos.PHIB = 0.7;
  ModelHalt halt;
  const MosModel model{t, kModelLevel9, &halt};
  std::mt19937 rng(9);
  for (const double temperature : {-40.0, 27.0, 125.0}) {
    t.TEMP = temperature;
    UpdateTemperature(t, temperature);
    for (int i = 0; i < 4000; ++i) {
      const bool pmos = i % 2 == 1;
      const Case c = RandomCase(rng, t.VDD, pmos);
      bool halted = false;
      const double reference = ReferenceCurrent(t, pmos, c.v1, c.vg, c.v2, c.vb, c.w, c.l, halted);
      halt = {};
      const double direct = pmos ? PmosCurrent(model, c.v1, c.vg, c.v2, c.vb, c.w, c.l)
                                 : NmosCurrent(model, c.v1, c.vg, c.v2, c.vb, c.w, c.l);
      EXPECT_EQ(halt.message != nullptr, halted) << i;
      const PreparedMos device = PrepareMos(model, pmos, c.w, c.l);
      const double prepared = MosCurrent(model, device, c.v1, c.vg, c.v2, c.vb);
      const std::string what = (pmos ? "pmos case " : "nmos case ") + std::to_string(i);
      ExpectClose(direct, reference, what);
      ExpectClose(prepared, reference, what + " prepared");
    }
  }
}

// Size and temperature coefficients and the high back-bias branch all enter
// the prepared terms; the guards still stop with their message.
TEST(MosLevel9, CoefficientsAndGuardsAgreeWithTheReference) {
  Technology t;
  MosParameters& n = t.nmos;
  n.SLVTO = 2e-8, n.SWVTO = -1e-8, n.STVTO = -1e-3, n.SLK = 1e-8, n.SLKO = 2e-8;
  n.SLGAMO = 1e-14, n.SLGAM1 = 1e-8, n.SLTHE1 = 1e-8, n.STTHE2 = 1e-4, n.SWTHE3 = 1e-8;
  n.SLMO = 1e-4, n.VSBXR = 0.05;
  t.TEMP = 60;
  ModelHalt halt;
  const MosModel model{t, kModelLevel9, &halt};
  std::mt19937 rng(3);
  for (int i = 0; i < 2000; ++i) {
    const Case c = RandomCase(rng, t.VDD, false);
    bool halted = false;
    const double reference = ReferenceCurrent(t, false, c.v1, c.vg, c.v2, c.vb, c.w, c.l, halted);
    ExpectClose(MosCurrent(model, PrepareMos(model, false, c.w, c.l), c.v1, c.vg, c.v2, c.vb),
                reference, std::to_string(i));
  }
  const PreparedMos pmos = PrepareMos(model, true, 10e-6, 2e-6);  // pMOS PHIB is 0
  halt = {};
  EXPECT_EQ(MosCurrent(model, pmos, 0, 0, 5, 5), 0);
  ASSERT_NE(halt.message, nullptr);
  EXPECT_EQ(*halt.message, "us0 is 0");
}

}  // namespace
}  // namespace tarnisk
