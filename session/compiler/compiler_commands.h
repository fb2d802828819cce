#pragma once
// The cell compiler and the Verilog compiler run on the session: on its
// layout with the routing grid of the generator state, reporting in the
// status line; what a compilation adds is undone as one piece.

#include <string>
#include <vector>

#include "compile/verilog.h"

namespace tarnisk {

struct Session;

// The equations the compiler window offers.
const std::vector<std::string>& ExampleEquations();

// The compilers' view of the session, on the routing step of its technology.
CompilerContext CompilerContextOf(Session& s);

// Compiles one line typed by the user (UTF-8, at most 128 characters).
CompileResult CompileLine(Session& s, const std::string& text);

// What the Verilog window does when it loads a file: both port tables and
// the module's names emptied.
void ResetVerilogTables(Session& s);

// Compiles a Verilog text, line by line; the layout is redrawn at the end.
VerilogResult CompileVerilogText(Session& s, const std::vector<std::string>& lines,
                                 VerilogObserver* observer = nullptr);

}  // namespace tarnisk
