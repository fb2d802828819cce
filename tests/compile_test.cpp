// The cell compiler: checking and normalising equations, the networks with
// their diffusion sharing, and on compiled cells the truth table of the
// extracted circuit against the equation's own, for the window's examples,
// the XOR and pass-device cells and seeded random equations.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>

#include "app/cli.h"
#include "app/json_output.h"
#include "compile/cell_compiler.h"
#include "compile/equation.h"
#include "session/analysis/extract_command.h"
#include "session/analysis/truth_command.h"
#include "session/compiler/compiler_commands.h"
#include "session/files.h"
#include "session/session.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"
#include "verify/extract.h"
#include "verify/truth_table.h"

namespace tarnisk {
namespace {

// The value of a right-hand side for given inputs: "." and "*" bind tighter
// than "+", "/" negates the whole cell (the compiler knows one negation only).
class Expression {
 public:
  explicit Expression(std::string text) : t_(std::move(text)) {}
  bool Value(const std::map<std::string, bool>& in) {
    in_ = &in;
    pos_ = t_.find('=') + 1;
    negated_ = t_.find('/') != std::string::npos;
    const bool v = Sum();
    return negated_ ? !v : v;
  }

 private:
  void Skip() {
    while (pos_ < t_.size() && (t_[pos_] == '/' || t_[pos_] == ' ')) ++pos_;
  }
  bool Sum() {
    bool v = Product();
    for (Skip(); pos_ < t_.size() && t_[pos_] == '+'; Skip()) ++pos_, v = Product() || v;
    return v;
  }
  bool Product() {
    bool v = Operand();
    for (Skip(); pos_ < t_.size() && (t_[pos_] == '.' || t_[pos_] == '*'); Skip()) {
      const bool isXor = t_[pos_++] == '*';
      const bool w = Operand();
      v = isXor ? v != w : v && w;
    }
    return v;
  }
  bool Operand() {
    Skip();
    if (t_[pos_] == '(') {
      ++pos_;
      const bool v = Sum();
      ++pos_;  // ")"
      return v;
    }
    std::string name;
    while (pos_ < t_.size() && IsIdentifierChar(static_cast<unsigned char>(t_[pos_])))
      name += t_[pos_++];
    return in_->at(name);
  }

  std::string t_;
  size_t pos_ = 0;
  bool negated_ = false;
  const std::map<std::string, bool>* in_ = nullptr;
};

// The distinct inputs of an equation in name order.
std::vector<std::string> InputsOf(const std::string& equation) {
  std::vector<std::string> ids = Identifiers(RightHandSide(equation));
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// The rows of a truth table that differ from the equation's.
int WrongRows(const std::string& equation, const TruthTable& table) {
  const std::vector<std::string> inputs = InputsOf(equation);
  Expression expected(equation);
  int wrong = 0;
  for (const std::vector<Logic>& row : table.rows) {
    std::map<std::string, bool> in;
    for (size_t i = 0; i < inputs.size(); ++i) in[inputs[i]] = row[i] == Logic::One;
    wrong += row.back() != (expected.Value(in) ? Logic::One : Logic::Zero);
  }
  return wrong;
}

// A session with the bundled rules and every label placed, so that the
// inputs can be found by name.
struct Labelled : testing::WithRules {
  Labelled() { s.compiler.labelMode = kLabelAll; }

  // The truth table of the layout for the equation's inputs and output.
  TruthTable Truth(const std::string& equation, bool analog = false) {
    const TruthOutcome got = TruthTableOf(s, {InputsOf(equation), {OutputIdentifier(equation)}, analog});
    EXPECT_EQ(got.problem, "") << equation;
    return got.table;
  }
};

struct Compiler : ::testing::Test, Labelled {};

// The devices as "gate:left-right" in table order, with node names.
std::string Row(const CompiledCell& cell, const std::vector<CompiledDevice>& row) {
  std::string text;
  for (const CompiledDevice& d : row)
    text += (text.empty() ? "" : " ") + cell.nodes.Name(d.gate) + ":" + cell.nodes.Name(d.left) +
            "-" + cell.nodes.Name(d.right);
  return text;
}

TEST(EquationCheck, FindsEachErrorAndNormalisesTheText) {
  EXPECT_EQ(CheckEquation("y=(a.b").error, kCompileParentheses);
  EXPECT_EQ(CheckEquation("y=//a").error, kCompileNegations);
  EXPECT_EQ(CheckEquation("y=/(a.b").error, kCompileParentheses);
  EXPECT_EQ(CheckEquation("y=//(a.b").error, kCompileNegations);  // 23 wins over 22
  EXPECT_EQ(CheckEquation("y=a-b").error, kCompileCharacter);
  EXPECT_EQ(CheckEquation("y=a>b").error, kCompileCharacter);
  EXPECT_EQ(CheckEquation("a.b").error, kCompileEquals);
  EXPECT_EQ(CheckEquation("y=a=b").error, kCompileEquals);
  const CheckedEquation nand = CheckEquation("nand3 = /(A.B.C)");
  EXPECT_EQ(nand.error, kCompileOk);
  EXPECT_EQ(nand.text, "nand3=(A.B.C)");
  EXPECT_FALSE(nand.inverter);
  const CheckedEquation x = CheckEquation("xor=a*b");
  EXPECT_TRUE(x.xorMode);
  EXPECT_EQ(x.text, "xor=a.b");
  const CheckedEquation arrow = CheckEquation("y<(a b)");
  EXPECT_TRUE(arrow.arrow);
  EXPECT_FALSE(arrow.inverter);
  EXPECT_EQ(CheckEquation("y=\xE9(a,b)").pass, PassDevice::N);
  EXPECT_EQ(CheckEquation("y=a\xE8").error, kCompileCharacter);  // 232 only right after "="
  EXPECT_EQ(NormalisedEquation("s=A+(B.C)"), "s=((A)+((B).(C)))");
  EXPECT_EQ(EquationFromUtf8("y=\xC3\xA9(a,b)"), "y=\xE9(a,b)");
}

TEST_F(Compiler, ReportsTextErrorsWithTheEquationAndDrawsNothing) {
  const CompileResult bad = CompileLine(s, "y=(a.b");
  EXPECT_EQ(bad.error, kCompileParentheses);
  EXPECT_EQ(bad.message, "Compiler error 22 with equation \"y=(a.b\"");
  EXPECT_EQ(layout.boxes.Count(), 0);
  EXPECT_EQ(CompileLine(s, "y=").error, kCompileNoInput);
  // An XOR of three inputs is refused as a whole: no inverter is added
  // after the cell that was never built.
  const CompileResult xor3 = CompileLine(s, "y=/(a*b*c)");
  EXPECT_EQ(xor3.error, kCompileXorInputs);
  EXPECT_EQ(xor3.message, "Compiler error 25 with equation \"y=/(a*b*c)\"");
  EXPECT_EQ(layout.boxes.Count(), 0);
}

TEST_F(Compiler, BuildsSeriesAndParallelNetworksThatShareTheirDiffusion) {
  const CompileResult nand = CompileLine(s, "nand3=/(A.B.C)");
  ASSERT_EQ(nand.cells.size(), 1u);
  EXPECT_EQ(nand.message, "Compiler : no inverter");
  const CompiledCell& n3 = nand.cells[0];
  EXPECT_EQ(Row(n3, n3.nmos), "A:vss-N6 B:N6-N7 C:N7-nand3");
  EXPECT_EQ(Row(n3, n3.pmos), "A:vdd-nand3 B:nand3-vdd C:vdd-nand3");

  const CompiledCell nor = CompileLine(s, "nor3=/(A+B)").cells.at(0);
  EXPECT_EQ(Row(nor, nor.nmos), "A:vss-nor3 B:nor3-vss");
  EXPECT_EQ(Row(nor, nor.pmos), "A:vdd-N5 B:N5-nor3");

  const CompileResult sum = CompileLine(s, "s=A+(B.C)");
  ASSERT_EQ(sum.cells.size(), 2u);  // the cell of ns, then the added inverter
  const CompiledCell& ns = sum.cells[0];
  EXPECT_EQ(Row(ns, ns.nmos), "A:vss-ns B:ns-N6 C:N6-vss");
  EXPECT_EQ(Row(ns, ns.pmos), "A:vdd-N7 B:N7-ns C:ns-N7");
  EXPECT_EQ(Row(sum.cells[1], sum.cells[1].nmos), "XXX:vss-s");
}

TEST_F(Compiler, CellsLineUpToTheRightOnJoinedRails) {
  const auto diffusionRight = [&](int first, int last) {
    int32_t right = INT32_MIN;
    for (int i = first; i <= last; ++i)
      if (layout.boxes[i].layer == kDiffn) right = std::max(right, layout.boxes[i].x2);
    return right;
  };
  ASSERT_EQ(CompileLine(s, "nand3=/(A.B.C)").error, kCompileOk);
  const int before = layout.boxes.Count();
  const int32_t right = diffusionRight(1, before);
  ASSERT_EQ(CompileLine(s, "nor3=/(D+E)").error, kCompileOk);
  // The second cell's diffusion lies wholly right of the first cell's.
  for (int i = before + 1; i <= layout.boxes.Count(); ++i)
    if (layout.boxes[i].layer == kDiffn) EXPECT_GT(layout.boxes[i].x1, right);
  // Both cells work from the one pair of rails labelled on the first.
  EXPECT_EQ(WrongRows("nand3=/(A.B.C)", Truth("nand3=/(A.B.C)")), 0);
  EXPECT_EQ(WrongRows("nor3=/(D+E)", Truth("nor3=/(D+E)")), 0);
}

// The window's examples by switch-level evaluation (the carry cell's wires
// cross: it needs the second track and a metal2 bridge).
TEST(CompiledCells, TheExamplesComputeTheirEquations) {
  for (const std::string& equation : ExampleEquations()) {
    SCOPED_TRACE(equation);
    Labelled cell;
    const CompileResult r = CompileLine(cell.s, equation);
    ASSERT_EQ(r.error, kCompileOk);
    EXPECT_EQ(WrongRows(equation, cell.Truth(equation)), 0);
  }
}

TEST(CompiledCells, TheExamplesSettleToTheirEquationsInTheAnalogSimulation) {
  for (const std::string& equation : ExampleEquations()) {
    SCOPED_TRACE(equation);
    Labelled cell;
    ASSERT_EQ(CompileLine(cell.s, equation).error, kCompileOk);
    EXPECT_EQ(WrongRows(equation, cell.Truth(equation, true)), 0);
  }
}

// Its output lies away from the last column, whose strip carries the label.
TEST(CompiledCells, TheOutputStripJoinsAnOutputInsideTheRow) {
  const std::string equation = "y=/(a.(b+b))";
  Labelled cell;
  ASSERT_EQ(CompileLine(cell.s, equation).error, kCompileOk);
  EXPECT_EQ(WrongRows(equation, cell.Truth(equation)), 0);
}

TEST(CompiledCells, XorXnorAndPassDevices) {
  for (const std::string equation : {"xor=a*b", "y=/(a*b)"}) {
    Labelled cell;
    ASSERT_EQ(CompileLine(cell.s, equation).error, kCompileOk) << equation;
    EXPECT_EQ(WrongRows(equation, cell.Truth(equation)), 0) << equation;
  }
  // An n switch passes a to y while b is 1 and leaves y undriven otherwise;
  // a p switch while b is 0.
  for (const bool nType : {true, false}) {
    Labelled cell;
    const std::string mark = nType ? "\xC3\xA9" : "\xC3\xA8";
    const CompileResult r = CompileLine(cell.s, "y=" + mark + "(a,b)");
    ASSERT_EQ(r.error, kCompileOk);
    EXPECT_EQ((nType ? r.cells[0].nmos : r.cells[0].pmos).size(), 1u);
    const TruthOutcome got = TruthTableOf(cell.s, {{"a", "b"}, {"y"}, false});
    ASSERT_EQ(got.problem, "");
    const Logic on = nType ? Logic::One : Logic::Zero;
    for (const std::vector<Logic>& row : got.table.rows)
      EXPECT_EQ(row[2], row[1] == on ? row[0] : Logic::X) << nType;
  }
}

// Arrow mode (the Verilog "padin" cell): no inverter, no gate or supply
// wiring, a diffusion break after every device, and each column's n and p
// devices tied end to end, so that the columns share no node.
TEST(CompiledCells, ArrowModeTiesEachColumnsDevicesEndToEndAndNothingElse) {
  Labelled cell;
  const CompileResult r = CompileLine(cell.s, "y<a.b.c");
  ASSERT_EQ(r.error, kCompileOk);
  ASSERT_EQ(r.cells.size(), 1u);
  ASSERT_TRUE(EnsureExtracted(cell.s));
  const Circuit& circuit = cell.s.circuit;
  ASSERT_EQ(circuit.nmos.size(), 3u);
  ASSERT_EQ(circuit.pmos.size(), 3u);
  const auto ends = [](const MosDevice& d) { return std::minmax(d.Source, d.Drain); };
  std::set<int> seen;
  for (const MosDevice& n : circuit.nmos) {
    const auto tied = std::count_if(circuit.pmos.begin(), circuit.pmos.end(),
                                    [&](const MosDevice& p) { return ends(p) == ends(n); });
    EXPECT_EQ(tied, 1);
    EXPECT_NE(n.Source, n.Drain);
    EXPECT_TRUE(seen.insert(n.Source).second && seen.insert(n.Drain).second)
        << "the diffusion breaks after every device";
  }
  for (const char* supply : {"Vss", "Vdd"})
    for (const int node : NodesNamed(cell.s.layout.nodes, supply)) EXPECT_EQ(seen.count(node), 0u);
}

// A random right-hand side over the first `inputs` letters: operands joined
// by "." or "+", some in parentheses, each letter at least once.
std::string RandomExpression(std::mt19937& random, int inputs, int depth = 0) {
  std::uniform_int_distribution<int> count(2, 3), coin(0, 1), pick(0, inputs - 1);
  const int operands = depth == 0 ? std::max(inputs, 2) : count(random);
  const char op = coin(random) ? '.' : '+';
  std::string text;
  for (int i = 0; i < operands; ++i) {
    if (i > 0) text += op;
    if (depth < 2 && coin(random) && coin(random))
      text += "(" + RandomExpression(random, inputs, depth + 1) + ")";
    else
      text += char('a' + (depth == 0 && i < inputs ? i : pick(random)));
  }
  return text;
}

// Every random cell that compiles computes its equation; one whose wires
// do not all fit says so with error 1 (10 of these 80 in this version).
TEST(CompiledCells, RandomEquationsComputeThemOrReportAMissingWire) {
  std::mt19937 random(16);
  int compiled = 0, total = 0;
  for (int inputs = 2; inputs <= 5; ++inputs)
    for (int k = 0; k < 20; ++k, ++total) {
      const bool negated = random() % 2;
      const std::string rhs = RandomExpression(random, inputs);
      const std::string equation = "y=" + (negated ? "/(" + rhs + ")" : rhs);
      SCOPED_TRACE(equation);
      Labelled cell;
      const int error = CompileLine(cell.s, equation).error;
      ASSERT_TRUE(error == kCompileOk || error == kCompileNoRoute);
      if (error != kCompileOk) continue;
      ++compiled;
      EXPECT_EQ(WrongRows(equation, cell.Truth(equation)), 0);
    }
  EXPECT_GE(compiled, 70);
}

TEST(CompileCommands, CompileAndTruthKeepTheirKeysAndExitCodes) {
  testing::TempDir dir;
  const std::string rules = testing::DataFile("es207.rul"), out = dir.File("nand.msk");
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), {"--rules", rules, "--json", "--quiet"});
    return testing::RunTool(args);
  };
  const testing::CliResult compiled = run({"compile", out, "nand=/(a.b)", "--labels", "all"});
  ASSERT_EQ(compiled.status, kExitOk) << compiled.err;
  const Json c = Json::parse(compiled.out);
  EXPECT_EQ(c["error"], 0);
  EXPECT_EQ(c["cells"], 1);
  ASSERT_EQ(c["nmos"].size(), 2u);
  EXPECT_EQ(c["nmos"][0], Json({{"gate", "a"}, {"left", "vss"}, {"right", "N5"}, {"w", 4}, {"l", 2}}));
  EXPECT_EQ(c["pmos"].size(), 2u);
  EXPECT_GT(c["boxes_added"], 0);
  EXPECT_TRUE(c.contains("message"));

  const testing::CliResult truth = run({"truth", out, "--inputs", "a,b", "--outputs", "nand"});
  ASSERT_EQ(truth.status, kExitOk) << truth.err;
  EXPECT_EQ(Json::parse(truth.out),
            Json({{"inputs", {"a", "b"}},
                  {"outputs", {"nand"}},
                  {"rows", {{0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}}}}));
  EXPECT_EQ(run({"truth", out, "--inputs", "nobody"}).status, kExitUsage);
  // Columns that would contradict each other are refused, not enumerated.
  for (const auto& [inputs, outputs, problem] :
       {std::tuple{"a,a,b", "nand", "\"a\" is named twice as an input"},
        {"a,b", "nand,nand", "\"nand\" is named twice as an output"},
        {"a,nand", "nand", "\"nand\" is both an input and an output"},
        {"a,vdd", "nand", "\"vdd\" is a supply, not an input"}}) {
    const testing::CliResult refused = run({"truth", out, "--inputs", inputs, "--outputs", outputs});
    EXPECT_EQ(refused.status, kExitUsage) << inputs;
    EXPECT_NE(refused.err.find(problem), std::string::npos) << refused.err;
  }

  const testing::CliResult bad = run({"compile", dir.File("bad.msk"), "y=(a"});
  EXPECT_EQ(bad.status, kExitUsage);
  EXPECT_EQ(Json::parse(bad.out)["error"], kCompileParentheses);
  EXPECT_EQ(run({"compile", dir.File("c.msk"), "carry=(A.B)+(C.(A+B))"}).status, kExitOk);
}

}  // namespace
}  // namespace tarnisk
