#pragma once
// The boolean-equation cell compiler: one line such as "s=A+(B.C)" becomes
// a static CMOS cell drawn to the right of what the layout already holds:
// an nMOS row above the ground rail, a pMOS row below the supply rail, the
// gates joined by poly and brought out on metal2 above and below the rails,
// well and taps, and metal wiring laid by the router between the terminals
// of each node. Without a "/" the cell draws the complement and an inverter
// cell follows it; "*" draws the XOR cell; "y=" 233 "(a,b)" (or 232) a
// single pass device.

#include <cstdint>
#include <string>
#include <vector>

#include "compile/equation.h"
#include "compile/ports.h"
#include "core/layout.h"
#include "core/technology.h"
#include "gen/generated.h"
#include "route/occupancy_grid.h"

namespace tarnisk {

class Progress;

// Which texts the compiler places.
enum LabelMode : int { kLabelNone = 0, kLabelAll = 1, kLabelCellIo = 2, kLabelModuleIo = 3 };

struct DeviceSizes {
  int32_t wn = 0, ln = 0, wp = 0, lp = 0;  // lambda
};

// The defaults a rule file brings: an nMOS as wide as a contact cell, a
// pMOS twice that plus 4, the lengths of R302 and R303.
DeviceSizes DefaultDeviceSizes(const Technology& t);

// What the compilers keep for the whole run.
struct CompilerState {
  DeviceSizes sizes;
  int labelMode = kLabelCellIo;
  // Set at program start: the supply texts go on the first cell drawn.
  bool firstCell = true;
  PortTables ports;
};

// The devices and nodes of one compiled cell.
struct CompiledCell {
  std::vector<CompiledDevice> nmos, pmos;
  CompilerNodes nodes;
};

struct CompileResult {
  int error = kCompileOk;
  bool checked = false;            // the text passed the check and was not empty
  std::vector<CompiledCell> cells;  // the cell, then its inverter
  Generated drawn;
  std::string message;  // the last status message
};

// What a compilation draws on and reports to.
struct CompilerContext {
  Layout& layout;
  const Technology& technology;
  OccupancyGrid& grid;
  CompilerState& state;
  Progress& progress;
};

// Compiles one equation (bytes, see EquationFromUtf8) into the layout.
CompileResult CompileEquation(CompilerContext& c, const std::string& equation);

}  // namespace tarnisk
