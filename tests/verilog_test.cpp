// The Verilog compiler: the line scanner and the primitive table, module
// and I/O routing, and on a full adder and an 8-bit ripple-carry adder the
// extracted layout's logic against Icarus Verilog running the same source.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "app/cli.h"
#include "app/json_output.h"
#include "compile/verilog.h"
#include "core/file_io.h"
#include "session/analysis/extract_command.h"
#include "session/compiler/compiler_commands.h"
#include "session/session.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"
#include "verify/extract.h"
#include "verify/truth_table.h"

namespace tarnisk {
namespace {

using Bits = std::vector<bool>;

TEST(VerilogLines, ScanAndBuildTheEquationOfEachPrimitive) {
  const VerilogLine nand = ScanVerilogLine("  nand g1(y, a, b);");
  EXPECT_EQ(nand.keyword, "nand");
  EXPECT_EQ(nand.arguments, (std::vector<std::string>{"y", "a", "b"}));
  EXPECT_EQ(PrimitiveEquation(nand).equation, "y=/(a.b)");
  EXPECT_EQ(PrimitiveEquation(ScanVerilogLine("xor (s, a, b);")).equation, "s=(a*b)");
  EXPECT_EQ(PrimitiveEquation(ScanVerilogLine("not (y, a, b);")).equation, "y=/(a)");
  EXPECT_EQ(PrimitiveEquation(ScanVerilogLine("nor n(y,a,b,c);")).equation, "y=/(a+b+c)");
  EXPECT_EQ(PrimitiveEquation(ScanVerilogLine("nmos m(y, a, b);")).equation, "y=\xE9(a,b)");
  EXPECT_EQ(PrimitiveEquation(ScanVerilogLine("padout p(y, a);")).equation, "y=>(a)");
  EXPECT_EQ(PrimitiveEquation(ScanVerilogLine("latch l(q, d);")).name, "");
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Verilog : ::testing::Test, testing::WithRules {
  VerilogResult Compile(const std::string& source) {
    ResetVerilogTables(s);
    return CompileVerilogText(s, LinesOf(source));
  }

  // The outputs of the extracted circuit, switch by switch, for each vector
  // of input values.
  std::vector<Bits> Evaluate(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs,
                             const std::vector<Bits>& vectors) {
    EXPECT_TRUE(EnsureExtracted(s));
    const SwitchLevelEvaluator evaluator(layout.nodes, s.circuit);
    std::vector<Bits> results;
    for (const Bits& v : vectors) {
      std::vector<std::pair<int, Logic>> driven;
      for (size_t i = 0; i < inputs.size(); ++i)
        for (const int node : NodesNamed(layout.nodes, inputs[i]))
          driven.push_back({node, v[i] ? Logic::One : Logic::Zero});
      const std::vector<Logic> values = evaluator.Evaluate(driven);
      Bits out;
      for (const std::string& name : outputs) {
        const std::vector<int> nodes = NodesNamed(layout.nodes, name);
        EXPECT_FALSE(nodes.empty()) << name;
        const Logic value = nodes.empty() ? Logic::X : values[size_t(nodes.front())];
        EXPECT_NE(value, Logic::X) << name;
        out.push_back(value == Logic::One);
      }
      results.push_back(out);
    }
    return results;
  }
};

bool HaveIcarus() { return std::system("command -v iverilog > /dev/null") == 0; }

// Runs the module (the source up to its "endmodule") under Icarus Verilog
// with each vector on its inputs; its ports are the inputs, then the outputs.
std::vector<Bits> Icarus(const std::string& source, const std::string& module,
                         const std::vector<std::string>& inputs,
                         const std::vector<std::string>& outputs,
                         const std::vector<Bits>& vectors) {
  testing::TempDir dir;
  std::ostringstream tb;
  tb << "module tb;\n";
  for (const std::string& in : inputs) tb << "reg " << in << ";\n";
  for (const std::string& out : outputs) tb << "wire " << out << ";\n";
  tb << module << " dut(";
  for (size_t i = 0; i < inputs.size() + outputs.size(); ++i)
    tb << (i ? "," : "") << (i < inputs.size() ? inputs[i] : outputs[i - inputs.size()]);
  tb << ");\ninitial begin\n";
  for (const Bits& v : vectors) {
    for (size_t i = 0; i < inputs.size(); ++i) tb << inputs[i] << "=" << v[i] << ";";
    tb << " #1 $display(\"";
    for (size_t i = 0; i < outputs.size(); ++i) tb << "%b";
    tb << "\"";
    for (const std::string& out : outputs) tb << "," << out;
    tb << ");\n";
  }
  tb << "end\nendmodule\n";
  testing::WriteFile(dir.File("tb.v"), tb.str());
  const size_t end = source.find("endmodule");
  testing::WriteFile(dir.File("dut.v"), source.substr(0, end) + "endmodule\n");
  const std::string run = "iverilog -o " + dir.File("sim") + " " + dir.File("tb.v") + " " +
                          dir.File("dut.v") + " && vvp -n " + dir.File("sim") + " > " +
                          dir.File("out.txt");
  EXPECT_EQ(std::system(run.c_str()), 0) << tb.str();
  std::vector<Bits> results;
  for (const std::string& line : LinesOf(testing::ReadFile(dir.File("out.txt")))) {
    if (line.size() != outputs.size()) continue;
    Bits bits;
    for (const char c : line) bits.push_back(c == '1');
    results.push_back(bits);
  }
  return results;
}

const char* kFullAdder = R"(// a full adder from primitive gates
module fa(a, b, cin, s, cout);
input a, b, cin;
output s, cout;
wire t, u, v;
xor x1(t, a, b);
xor x2(s, t, cin);
and g1(u, a, b);
and g2(v, t, cin);
or g3(cout, u, v);
endmodule
lines after endmodule are not read
nand (zz, a, b);
)";

TEST_F(Verilog, AFullAdderComputesWhatIcarusComputes) {
  const VerilogResult r = Compile(kFullAdder);
  EXPECT_EQ(r.counts.cells, 5);
  EXPECT_EQ(r.counts.errors, 0);
  EXPECT_EQ(r.counts.abortedWires, 0);
  EXPECT_EQ(r.log.at(1), "-----(Compiler start)-----");
  EXPECT_EQ(r.log.back(), "-----(Compiler End - no error)-------");
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), "# Send \"t=(a*b)\"... to compiler"), r.log.end());
  const std::vector<std::string> inputs{"a", "b", "cin"}, outputs{"s", "cout"};
  std::vector<Bits> vectors;
  for (int v = 0; v < 8; ++v) vectors.push_back({bool(v & 4), bool(v & 2), bool(v & 1)});
  if (!HaveIcarus()) GTEST_SKIP() << "iverilog is not installed";
  const std::vector<Bits> expected = Icarus(kFullAdder, "fa", inputs, outputs, vectors);
  ASSERT_EQ(expected.size(), vectors.size());
  EXPECT_EQ(Evaluate(inputs, outputs, vectors), expected);
}

TEST_F(Verilog, AnEightBitRippleAdderAgreesWithIcarusOnSeededVectors) {
  // Eight full adders in a chain, each bit's wires named apart.
  const std::string source = testing::ReadFile(testing::DataFile("examples/add8.v"));
  const VerilogResult r = Compile(source);
  EXPECT_EQ(r.counts.cells, 40);
  EXPECT_EQ(r.counts.errors, 0);
  EXPECT_EQ(r.counts.abortedWires, 0);
  std::vector<std::string> inputs, outputs;
  for (const char* group : {"a", "b"})
    for (int i = 0; i < 8; ++i) inputs.push_back(group + std::to_string(i));
  inputs.push_back("c0");
  for (int i = 0; i < 8; ++i) outputs.push_back("s" + std::to_string(i));
  outputs.push_back("c8");
  std::mt19937 random(8);
  std::vector<Bits> vectors(300);
  for (Bits& v : vectors)
    for (size_t i = 0; i < inputs.size(); ++i) v.push_back(random() & 1);
  if (!HaveIcarus()) GTEST_SKIP() << "iverilog is not installed";
  const std::vector<Bits> expected = Icarus(source, "add8", inputs, outputs, vectors);
  ASSERT_EQ(expected.size(), vectors.size());
  EXPECT_EQ(Evaluate(inputs, outputs, vectors), expected);
}

TEST_F(Verilog, UnknownPrimitivesAndCellErrorsAreLoggedAndCounted) {
  const VerilogResult r = Compile("latch l1(q, d);\nnand n1(y, a, b);\npadout p(z, y);\n");
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), "# Line 1, primitive unknown..."), r.log.end());
  EXPECT_EQ(r.counts.cells, 2);
  EXPECT_EQ(r.counts.errors, 1);  // ">" is no character of the cell compiler
  EXPECT_EQ(r.counts.lastError, kCompileCharacter);
  EXPECT_EQ(r.log.back(), "-----(Compiler End - 1 errors)-------");
}

// "padin" goes to the cell compiler as an arrow equation, which draws one
// cell without gate columns or an inverter.
TEST_F(Verilog, APadInIsCompiledAsOneArrowCell) {
  const VerilogResult r = Compile("module m(y, a, b);\npadin p1(y, a, b);\nendmodule\n");
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), "# Send \"y=<(a b)\"... to compiler"),
            r.log.end());
  EXPECT_EQ(r.counts.cells, 1);
  EXPECT_EQ(r.counts.errors, 0);
  EXPECT_EQ(r.log.back(), "-----(Compiler End - no error)-------");
}

TEST(VerilogCommand, ReportsItsLogAndCountsUnderTheirKeys) {
  testing::TempDir dir;
  testing::WriteFile(dir.File("fa.v"), kFullAdder);
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.end(), {"--rules", testing::DataFile("es207.rul"), "--json", "--quiet"});
    return testing::RunTool(args);
  };
  const testing::CliResult r = run({"verilog", dir.File("fa.v"), dir.File("fa.msk")});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const Json j = Json::parse(r.out);
  EXPECT_EQ(j["cells"], 5);
  EXPECT_EQ(j["errors"], 0);
  EXPECT_GT(j["routed_wires"], 0);
  EXPECT_GT(j["boxes_added"], 0);
  EXPECT_EQ(j["log"][1], "-----(Compiler start)-----");
  EXPECT_EQ(run({"verilog", dir.File("fa.v"), dir.File("x.msk"), "--labels", "some"}).status,
            kExitUsage);
  testing::WriteFile(dir.File("bad.v"), "padout p(z, y);\n");
  EXPECT_EQ(run({"verilog", dir.File("bad.v"), dir.File("bad.msk")}).status, kExitProblems);
}

}  // namespace
}  // namespace tarnisk
