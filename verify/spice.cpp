#include "verify/spice.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/layout.h"
#include "core/number_format.h"
#include "core/progress.h"
#include "core/technology.h"
#include "models/mos_models.h"
#include "verify/extract.h"

namespace tarnisk {

namespace {

constexpr const char* kEol = "\r\n";

std::string Num(double v, int width, int decimals) { return FormatFixed(v, width, decimals); }
std::string Int(int64_t v) { return std::to_string(v); }

class Deck {
 public:
  Deck& operator<<(const std::string& line) {
    text_ += line;
    text_ += kEol;
    return *this;
  }
  std::string Text() && { return std::move(text_); }

  // The nodes some element of the deck joins: ngspice refuses a print of
  // any other. Ground and the supply source are always there.
  void Uses(std::initializer_list<int> nodes) { used_.insert(nodes); }
  bool Joined(int node) const { return node <= 1 || used_.count(node) > 0; }

 private:
  std::string text_;
  std::set<int> used_;
};

// Supply nodes are written as the deck's own supply (1) and ground (0).
int Mapped(const NodeTable& t, int node) {
  if (node < 0 || node > t.count) return 0;
  const uint8_t p = t.nodes[node].property;
  return p == kPropertyVss ? 0 : p == kPropertyVdd ? 1 : node;
}

std::string Upper(std::string text) {
  for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A source name that SPICE can read: letters, digits and "_" only, unique
// among the deck's sources (SPICE names ignore case).
std::string SourceName(const std::string& nodeName, int node, std::set<std::string>& used) {
  std::string name = "V";
  for (char c : nodeName) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  if (used.count(Upper(name))) name += std::string("_") + Int(node);
  used.insert(Upper(name));
  return name;
}

std::string Nanoseconds(double seconds) { return Num(seconds * 1e9, 4, 2) + "N"; }

// Edge times that follow one another, as PULSE needs them: none before zero,
// each at or after the one before (a layout may hold them in any order, and a
// negative delay, rise or width is refused by ngspice).
std::array<double, 4> OrderedEdgeTimes(std::array<double, 4> e) {
  e[0] = std::max(e[0], 0.0);
  for (size_t i = 1; i < e.size(); ++i) e[i] = std::max(e[i], e[i - 1]);
  return e;
}

void WriteSources(Deck& d, const SpiceSource& s) {
  const NodeTable& t = s.layout.nodes;
  std::set<std::string> used{"VDD"};
  for (int k = 2; k <= t.count; ++k) {
    const nodeBaseRecord& n = t.nodes[k];
    if (n.property != kPropertyPulse && n.property != kPropertyClock) continue;
    const double volts = s.technology.VDD * 0.001;
    const std::array<double, 4> e = OrderedEdgeTimes(n.edgeTimes);
    d.Uses({k});
    std::string line = SourceName(n.name, k, used) + " " + Int(k) + " 0 PULSE(" +
                       Num(n.lowLevel * volts, 4, 2) + " " + Num(n.highLevel * volts, 4, 2) + " " +
                       Nanoseconds(e[0]) + " " + Nanoseconds(e[1] - e[0]) + " " +
                       Nanoseconds(e[3] - e[2]) + " " + Nanoseconds(e[2] - e[1]);
    d << line + (n.property == kPropertyClock ? std::string(" ") + Nanoseconds(e[3]) + ")" : ")");
  }
}

// Names the extraction made up ("N" and a digit, three characters) and the
// supply names are left out of the list.
bool Listed(const std::string& name) {
  const std::string upper = Upper(name);
  if (upper.size() >= 3 && (upper.rfind("VDD", 0) == 0 || upper.rfind("VSS", 0) == 0)) return false;
  return !(upper.size() == 3 && upper[0] == 'N' && std::isdigit(static_cast<unsigned char>(upper[1])));
}

void WriteNodeList(Deck& d, const NodeTable& t) {
  d << "*" << "* List of nodes";
  for (int k = 1; k <= t.count; ++k)
    if (Listed(t.nodes[k].name))
      d << "* \"" + t.nodes[k].name + "\" corresponds to n\xC2\xB0" + Int(k);
  d << "*";
}

void WriteDevices(Deck& d, const SpiceSource& s, const std::vector<MosDevice>& table,
                  const char* prefix, const char* model) {
  const NodeTable& t = s.layout.nodes;
  const double lambda = s.technology.LAMB;
  int i = 0;
  for (const MosDevice& m : table) {
    d.Uses({Mapped(t, m.Drain), Mapped(t, m.Gate), Mapped(t, m.Source), Mapped(t, m.Bulk)});
    d << std::string(prefix) + Int(++i) + " " + Int(Mapped(t, m.Drain)) + " " +
             Int(Mapped(t, m.Gate)) + " " + Int(Mapped(t, m.Source)) + " " +
             Int(Mapped(t, m.Bulk)) + model + "  W=" + Num(m.W * lambda, 5, 2) +
             "U L=" + Num(m.L * lambda, 5, 2) + "U";
  }
}

// The node capacitances the simulator integrates, gate oxide included: the
// model cards below give ngspice no gate capacitance of its own, so the deck
// describes the same lumped circuit (leaving the gate oxide out would take
// some 40 % off every node that drives a gate).
void WriteCapacitances(Deck& d, const SpiceSource& s) {
  const NodeTable& t = s.layout.nodes;
  for (int k = 1; k <= t.count; ++k) {
    const int mapped = Mapped(t, k);
    const double femto = t.nodes[k].NodeCapacitance * 1e15;
    if (femto == 0 || mapped == 0 || mapped == 1) continue;
    d.Uses({k});
    d << std::string("C") + Int(k) + " " + Int(k) + " 0 " + Num(femto, 6, 3) + "fF";
  }
}

void WriteCoupling(Deck& d, const SpiceSource& s) {
  const Circuit& e = s.circuit;
  if (!s.options.Crosstalk()) return;
  d << "*" << "* Crosstalk capacitance" << "*";
  const NodeTable& t = s.layout.nodes;
  const int last = std::min(kMaxCoupledNode, t.count);
  for (int i = 2; i <= last; ++i) {
    if (IsSupplyNode(t.nodes[i])) continue;
    for (int j = i + 1; j <= last; ++j) {
      const double femto = e.coupling.At(i, j) * 1e15;
      if (IsSupplyNode(t.nodes[j]) || !(femto > 0.1)) continue;
      // "_" keeps the names of pairs such as (2, 13) and (21, 3) apart.
      d.Uses({i, j});
      d << "Cx" + Int(i) + "_" + Int(j) + " " + Int(i) + " " + Int(j) + " " + Num(femto, 5, 3) + "fF";
    }
  }
}

// The resistance that extraction read from the mark's text: a text that is
// not a plain number ("2,5", "1k ohm", empty) would not read in SPICE.
void WriteResistances(Deck& d, const SpiceSource& s) {
  const auto& marks = s.layout.resistances;
  const NodeTable& t = s.layout.nodes;
  bool first = true;
  ForEachLive(marks, [&](int i, const ResistanceMark& m) {
    if (first) d << "*" << "* Resistances" << "*";
    first = false;
    d.Uses({Mapped(t, m.nodeA), Mapped(t, m.nodeB)});
    d << std::string("R") + Int(i) + " " + Int(Mapped(t, m.nodeA)) + " " + Int(Mapped(t, m.nodeB)) + " " +
             Num(m.value, 1, 3);
  });
}

// What the cards leave out, and why, before the models of every level.
void WriteModelNotes(Deck& d, const Technology& t, int level) {
  d << "* The node capacitors above count the gate oxide: the models add no"
    << "* gate capacitance of their own. The simulator has no bulk junctions:"
    << "* IS=0.";
  if (level == kModelLevel9) return;
  d << "* The simulator takes the bulk voltage as it is, so a bulk on its rail"
    << "* has no body effect: GAMMA=0 (rule file: nMOS " + Num(t.nmos.GAMMA, 5, 3) + ", pMOS " +
           Num(t.pmos.GAMMA, 5, 3) + ").";
}

// U0 (cm2/Vs) gives ngspice's saturation voltage L·VMAX/U0 the simulator's.
void WriteLevel3(Deck& d, const MosParameters& p, const std::string& card, bool pmos) {
  d << card + Num(p.VTO, 4, 2) + " KP=" + Num(p.KP * 1e6, 5, 3) + "E-6"
    << "+LD =" + Num(p.LD, 5, 3) + "U THETA=" + Num(p.THETA, 5, 3) + " GAMMA=" + Num(0, 5, 3)
    << "+PHI=" + Num(p.PHI, 5, 3) + " KAPPA=" + Num(p.KAPPA, 5, 3) + " VMAX=" +
           Num(p.VMAX * 0.001, 5, 2) + "K"
    << "+U0=" + Num(Level3SaturationMobility(pmos) * 1e4, 5, 1) + " TOX=1 CGSO=0 CGDO=0 IS=0";
}

// The simulator's Level 1 current grows by (1 + KAPPA·|Vds|), which ngspice
// calls LAMBDA.
void WriteLevel1(Deck& d, const MosParameters& p, const std::string& card) {
  d << card + Num(p.VTO, 4, 2) + " KP=" + Num(p.KP * 1e6, 5, 3) + "E-6"
    << "+GAMMA=" + Num(0, 5, 3) + " PHI=" + Num(p.PHI, 5, 3)
    << "+LAMBDA=" + Num(p.KAPPA, 5, 3) + " IS=0";
}

// ngspice has no MOS Model 9: its LEVEL=9 is a Level 3 variant that would
// ignore every MM9 parameter and run with zero threshold, and that refuses
// every gate shorter than 1 um (the 0.35 um process's gates among them). The
// MM9 lines stay as comments, and a LEVEL=3 card, which computes the same
// currents from the same parameters for gates of any length, gives the MM9
// threshold, gain factor, mobility reduction and body factor under the names
// it reads (the rule file gives the pMOS threshold as a magnitude; SPICE wants
// it negative). MM9's body term K0·(sqrt(PHIB + VSB) - sqrt(PHIB)) is SPICE's
// GAMMA and PHI.
void WriteLevel9(Deck& d, const MosParameters& p, const std::string& card, bool pmos) {
  const std::string vto = Num(p.VTOR, 4, 2), kp = Num(p.BETSQ * 1e6, 5, 3) + "E-6";
  const std::string spiceVto = Num(pmos ? -std::abs(p.VTOR) : p.VTOR, 4, 2);
  d << "* " + card + vto + " BETSQ=" + kp
    << "* +GAMOR=" + Num(p.GAMOR, 5, 3) + " GAM1R=" + Num(p.GAM1R, 5, 3)
    << "* +THE1R=" + Num(p.THE1R, 5, 3) + " THE2R=" + Num(p.THE2R, 5, 3) + " THE3R=" +
           Num(p.THE3R, 5, 3)
    << card.substr(0, card.find("LEVEL=")) + "LEVEL=3 VTO=" + spiceVto + " KP=" + kp +
           " THETA=" + Num(p.THE1R, 5, 3)
    << "+GAMMA=" + Num(p.KOR, 5, 3) + " PHI=" + Num(p.PHIB, 5, 3) + " TOX=1 IS=0";
}

void WriteModels(Deck& d, const SpiceSource& s) {
  const Technology& t = s.technology;
  d << "*";
  WriteModelNotes(d, t, s.options.modelLevel);
  d << "*";
  switch (s.options.modelLevel) {
    case kModelLevel1:
      d << "* n-MOS Model 1 :" << "*";
      WriteLevel1(d, t.nmos, ".MODEL TN NMOS LEVEL=1 VTO=");
      d << "*" << "* p-MOS Model 1:" << "*";
      WriteLevel1(d, t.pmos, ".MODEL TP PMOS LEVEL=1 VTO=");
      break;
    case kModelLevel9:
      d << "* n-MOS Model 9 Philips :" << "*";
      WriteLevel9(d, t.nmos, ".MODEL TN NMOS LEVEL=9 VTOR=", false);
      d << "*" << "* p-MOS Model 9 Philips:" << "*";
      WriteLevel9(d, t.pmos, ".MODEL TP PMOS LEVEL=9 VTOR=", true);
      break;
    default:
      d << "* n-MOS Model 3 :" << "*";
      WriteLevel3(d, t.nmos, ".MODEL TN NMOS LEVEL=3 VTO=", false);
      d << "*" << "* p-MOS Model 3:" << "*";
      WriteLevel3(d, t.pmos, ".MODEL TP PMOS LEVEL=3 VTO=", true);
      break;
  }
}

// Beside the transient line: a path of 1 Tohm from every node to ground, so
// that a gate or a wire that nothing drives does not leave the matrix
// singular, and a print of the visible nodes that some element joins, but
// ground (the supply when there is none), without which "ngspice -b" runs no
// analysis at all. ".PROBE" stays as a
// comment: ngspice takes it for current probes on every device terminal,
// which break the print.
void WriteAnalysis(Deck& d, const NodeTable& t, double length) {
  std::string print = ".PRINT TRAN";
  for (int k = 1; k <= t.count; ++k) {
    const int node = Mapped(t, k);
    if (t.nodes[k].display == 2 && node != 0 && d.Joined(node)) print += " V(" + Int(node) + ")";
  }
  if (print.size() == 11) print += " V(1)";
  // The stop time is written to 0.01 ns: a shorter run would read as zero,
  // which ngspice refuses.
  d << ".OPTIONS RSHUNT=1E12" << ".TRAN 10PS " + Nanoseconds(std::max(length, 1e-11)) << print
    << "* .PROBE" << ".END";
}

}  // namespace

std::string SpiceFileName(const std::string& layoutName) {
  const size_t slash = layoutName.find_last_of('/');
  const size_t dot = layoutName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return layoutName + ".CIR";
  return layoutName.substr(0, dot + 1) + "CIR";
}

std::string SpiceDeck(const SpiceSource& s, const std::string& name, double length) {
  Deck d;
  d << "CIRCUIT " + name << "*" << "* IC Technology: " + s.technology.Name << "*"
    << "VDD 1 0 DC " + Num(s.technology.VDD, 4, 1);
  WriteSources(d, s);
  WriteNodeList(d, s.layout.nodes);
  d << "* MOS devices";
  WriteDevices(d, s, s.circuit.nmos, "MN", " TN");
  WriteDevices(d, s, s.circuit.pmos, "MP", " TP");
  d << "*";
  WriteCapacitances(d, s);
  WriteCoupling(d, s);
  WriteResistances(d, s);
  WriteModels(d, s);
  d << "*" << "* Transient analysis" << "*";
  WriteAnalysis(d, s.layout.nodes, length);
  return std::move(d).Text();
}

SpiceWriteResult WriteSpiceDeck(const SpiceSource& s, const std::string& path,
                                const std::string& name, double length) {
  ShowStatus(s.progress, "Generate " + path);
  SpiceWriteResult result;
  result.ioError = WriteTextFileAtomically(path, SpiceDeck(s, name, length));
  if (result.ioError != 0) {
    result.message = "Cannot write " + path + ": " + std::strerror(result.ioError);
    return result;
  }
  result.message = "Generate " + path + " with " + Int(int64_t(s.circuit.nmos.size())) +
                   " nMOS and " + Int(int64_t(s.circuit.pmos.size())) + " pMOS";
  return result;
}

}  // namespace tarnisk
