#include "session/compiler/compiler_commands.h"

#include "session/editor/editing.h"
#include "session/editor/view.h"
#include "session/session.h"

namespace tarnisk {

namespace {

// Undo removes what was drawn; a full table is reported.
void Report(Session& s, const Generated& drawn) {
  if (!drawn.Empty()) EndAddition(s);
  s.LastError = drawn.status;
  if (!drawn.Complete()) ShowStatus(s.platform, kBoxTableFullMessage);
}

}  // namespace

const std::vector<std::string>& ExampleEquations() {
  static const std::vector<std::string> examples = {
      "s=A+(B.C)", "vout=A.(B+C)", "nand3=/(A.B.C)",   "nor3=/(A+B)",
      "carry=(A.B)+(C.(A+B))", "xor=a*b", "and4=a.b.c.d"};
  return examples;
}

CompilerContext CompilerContextOf(Session& s) {
  s.generator.routingStep = RoutingStep(s.technology);
  return {s.layout, s.technology, s.generator.Grid(), s.compiler, s.progress};
}

// Drawing waits for the end: a cell whose wiring is laid again takes back
// boxes it had added.
CompileResult CompileLine(Session& s, const std::string& text) {
  BeginAddition(s);
  CompileResult r;
  {
    DrawingSuspended quiet(s);
    CompilerContext c = CompilerContextOf(s);
    r = CompileEquation(c, EquationFromUtf8(text));
  }
  Report(s, r.drawn);
  Redraw(s);
  return r;
}

void ResetVerilogTables(Session& s) { s.compiler.ports.Clear(); }

VerilogResult CompileVerilogText(Session& s, const std::vector<std::string>& lines,
                                 VerilogObserver* observer) {
  BeginAddition(s);
  VerilogResult r;
  {
    DrawingSuspended quiet(s);
    CompilerContext c = CompilerContextOf(s);
    r = CompileVerilog(c, lines, observer);
  }
  Report(s, r.drawn);
  Redraw(s);
  return r;
}

}  // namespace tarnisk
