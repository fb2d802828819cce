#pragma once
// The process-wide technology record that a rule file fills: lambda, design
// rules, parasitic capacitances, supply and MOS model parameters, plus the
// descriptor tables that name every field by its rule-file key.

#include <cstdint>
#include <span>
#include <string>

namespace tarnisk {

// MOS model parameters of one device type (nMOS or pMOS). Level 1/3 values in
// the units of the rule file; Level 9 lengths in metres, voltages in volts.
struct MosParameters {
  // Levels 1 and 3.
  double VTO = 0, KP = 0, GAMMA = 0, PHI = 0, KAPPA = 0, THETA = 0, VMAX = 0, NSS = 0, LD = 0,
         CGO = 0;
  // Derived by the temperature update and whenever PHI is set.
  double VTO_T = 0, KP_T = 0, NSS_T = 0, SQRT_PHI = 0;
  // Level 9.
  double VTOR = 0, STVTO = 0, SLVTO = 0, SWVTO = 0, LAP = 0, WOT = 0, KR = 0, SLK = 0, SWK = 0,
         PHIB = 0, VSBTR = 0, VSBXR = 0, BETSQ = 0, ETABET = 0, ZET1R = 0, MOR = 0, SLMO = 0,
         ETAM = 0, ETADS = 0, KOR = 0, SLKO = 0, SWKO = 0, GAMOR = 0, SLGAMO = 0, GAM1R = 0,
         SLGAM1 = 0, SWGAM1 = 0, THE1R = 0, SLTHE1 = 0, SWTHE1 = 0, STTHE1 = 0, THE2R = 0,
         SLTHE2 = 0, SWTHE2 = 0, STTHE2 = 0, THE3R = 0, SLTHE3 = 0, SWTHE3 = 0, STTHE3 = 0,
         ALP = 0, VP = 0, LER = 0, WER = 0;
};

enum class MosType { Nmos, Pmos };

MosParameters DefaultMosParameters(MosType type);

// Recomputes SQRT_PHI from PHI.
void UpdateSqrtPhi(MosParameters& p);

struct Technology {
  std::string Name = "standard 1.0";
  double LAMB = 0.5;  // um per lambda
  int32_t META = 2;   // metal layers, 2 to 5
  double VDD = 5.0, TEMP = 27, DELT = 5e-12, MAXD = 0;
  std::string CifTextLayer = "text";

  // Design rules in lambda.
  int32_t R101 = 0, R102 = 0, R201 = 0, R202 = 0, R203 = 0, R204 = 0, R205 = 0, R301 = 0,
          R302 = 0, R303 = 0, R304 = 0, R305 = 0, R306 = 0, R307 = 0, R401 = 0, R402 = 0,
          R403 = 0, R404 = 0, R405 = 0, R406 = 0, R501 = 0, R502 = 0, R601 = 0, R602 = 0,
          R603 = 0, R604 = 0, R605 = 0, R701 = 0, R702 = 0, R801 = 0, R802 = 0, R803 = 0,
          R804 = 0, R901 = 0, R902 = 0, RA01 = 0, RA02 = 0, RA03 = 0, RA04 = 0, RB01 = 0,
          RB02 = 0, RC01 = 0, RC02 = 0, RC03 = 0, RC04 = 0, RD01 = 0, RD02 = 0, RP01 = 0,
          RP02 = 0, RP03 = 0, RP04 = 0, RP05 = 0, RP06 = 0;

  // Capacitances in farads per square lambda (area) or per lambda (line).
  double CPOO = 2.3e-15, CPOB = 5.3e-17, CMEB = 0, CMEP = 5.2e-17, CMEL = 0, CMEX = 0,
         CM2B = 0, CM2P = 2.1e-17, CM2M = 1e-17, CM2L = 0, CM2X = 0, CM3B = 0, CM4B = 0,
         CM5B = 0, CM3L = 0, CM4L = 0, CM5L = 0, CM3X = 0, CM4X = 0, CM5X = 0, CDNP = 3e-16,
         CDPN = 3e-16, CNWE = 1e-16, CPWE = 1e-16, CLDN = 3e-16, CLDP = 3e-16, CGSN = 0,
         CGSP = 0;

  MosParameters nmos = DefaultMosParameters(MosType::Nmos);
  MosParameters pmos = DefaultMosParameters(MosType::Pmos);
  double TOX = 0;  // one value for both device types

  // Derived at the end of every load.
  int32_t ContactCellWidth = 0;
  int32_t VerilogCellWidth = 0;
  int32_t VerilogTrackPitch = 0;
  int32_t VerilogPolyWidth = 0;  // R302
  int32_t VerilogGateSize = 0;   // R303
};

// Sweep limits of the MOS characteristics viewer that a rule-file load sets.
struct MosViewerRanges {
  double vdMax = 5, vgMax = 5, vgStep = 1;
  double vgMaxIdVg = 2, vbMax = -2, vbStep = 0.5, vds = 0.1;
  double secondStep = 0.5;
};

// Descriptor tables: every keyed field in the order the rule file's key
// tables list them.
struct RuleKey {
  const char* key;
  int32_t Technology::*field;
};

enum class CapacitanceKind { Area, AreaJunction, Line, LineJunction };

struct CapacitanceKey {
  const char* key;
  double Technology::*field;
  CapacitanceKind kind;
};

struct MosKey {
  const char* key;    // rule-file key, or nullptr for parameters without one
  const char* name;   // parameter name
  double MosParameters::*field;
  double nmosDefault;
  double pmosDefault;
  bool nmosOnly;  // the pMOS has no such parameter
};

std::span<const RuleKey> RuleKeys();
std::span<const CapacitanceKey> CapacitanceKeys();
std::span<const MosKey> MosKeys();

}  // namespace tarnisk
