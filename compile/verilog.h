#pragma once
// The Verilog compiler: a structural gate-level module, one primitive gate
// instance per line, becomes one cell compiler equation per gate; the cells
// line up left to right. After "endmodule", equal-named cell ports are
// joined by metal tracks above the cells (module routing) and the module's
// inputs and outputs are brought out on labelled tracks below them (I/O
// routing). Progress goes to a log, one message per line.

#include <string>
#include <string_view>
#include <vector>

#include "compile/cell_compiler.h"

namespace tarnisk {

inline constexpr size_t kMaxVerilogLine = 128;
inline constexpr size_t kMaxVerilogNames = 64;
inline constexpr int kTrackTries = 20;

// One source line taken apart: the first word, and the names between the
// first "(" and the first ")".
struct VerilogLine {
  std::string keyword;
  std::vector<std::string> arguments;
};
VerilogLine ScanVerilogLine(std::string_view line);

// The equation of a primitive gate, and the name the log gives it; an
// unknown keyword gives an empty name.
struct Primitive {
  std::string name;
  std::string equation;
};
Primitive PrimitiveEquation(const VerilogLine& line);

struct VerilogCounts {
  int cells = 0;        // "Compiled cells : "
  int routedWires = 0;  // "Routed wires : ", wires laid
  int errors = 0;       // cells whose compiler reported an error
  int lastError = 0;    // "Compilation error ", 0 for "No Error"
  int abortedWires = 0;  // module wires for which no free track was found
};

// Told of the compiler's progress, so that a window can follow it.
class VerilogObserver {
 public:
  virtual ~VerilogObserver() = default;
  virtual void Logged(const std::string& line) = 0;
  virtual void CountsChanged(const VerilogCounts& counts) = 0;
  // Every eighth cell.
  virtual void RedrawWanted() = 0;
};

struct VerilogResult {
  std::vector<std::string> log;
  VerilogCounts counts;
  Generated drawn;
};

// Compiles the lines (the ports tables start as the caller left them; the
// window clears them when it loads a file).
VerilogResult CompileVerilog(CompilerContext& c, const std::vector<std::string>& lines,
                             VerilogObserver* observer = nullptr);

}  // namespace tarnisk
