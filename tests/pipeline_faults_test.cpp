// Adversarial layouts and rule files through the batch commands: full
// tables, extreme spans, halted models and values out of range end in an
// honest exit status and valid output, in bounded time.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "app/cli.h"
#include "core/layout.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::CliResult;
using testing::RunTool;

const std::string kRules = testing::DataFile("es207.rul");

std::string Layout(const testing::TempDir& dir, const std::string& name,
                   const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  const std::string path = dir.File(name);
  testing::WriteFile(path, text);
  return path;
}

std::string Rec(int64_t x, int64_t y, int64_t w, int64_t h, const char* code) {
  return "REC(" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(w) + "," +
         std::to_string(h) + "," + code + ")";
}

CliResult Quiet(std::vector<std::string> args) {
  args.insert(args.end(), {"--rules", kRules, "--quiet"});
  return RunTool(args);
}

nlohmann::json Parsed(const CliResult& r) {
  return nlohmann::json::parse(r.out, nullptr, /*allow_exceptions=*/false);
}

// Reading past a table's capacity keeps what fits, still reads the other
// tables' records after it, and exits 1 even when --quiet hides the warning.
TEST(PipelineFaults, AFullTableOnReadingExits1AndKeepsTheOtherRecords) {
  testing::TempDir dir;
  std::vector<std::string> texts = {Rec(0, 0, 10, 10, "ME")};
  for (int i = 0; i < kMaxTexts + 3; ++i) {
    texts.push_back("TITLE " + std::to_string(i * 50) + " 5  #t" + std::to_string(i));
    texts.push_back("$- 1000 0 ");
  }
  texts.push_back(Rec(0, 20, 10, 10, "M2"));
  std::vector<std::string> marks;
  for (int i = 0; i < kMaxResistanceMarks + 3; ++i)
    marks.push_back("RST " + std::to_string(i * 50) + " 5 #100");
  marks.push_back(Rec(0, 20, 10, 10, "M2"));
  std::vector<std::string> boxes;
  for (int i = 0; i < kMaxBoxes + 3; ++i)
    boxes.push_back(Rec(i % 400 * 4, i / 400 * 4, 2, 2, "ME"));
  boxes.push_back("TITLE 1 1  #after");
  boxes.push_back("$- 1000 0 ");

  const CliResult t = Quiet({"info", Layout(dir, "texts.msk", texts), "--json"});
  EXPECT_EQ(t.status, kExitProblems);
  EXPECT_EQ(Parsed(t)["boxes"], 2) << "the box after the full text table is read";
  EXPECT_EQ(Parsed(t)["texts"], kMaxTexts);
  const CliResult m = Quiet({"stats", Layout(dir, "marks.msk", marks), "--json"});
  EXPECT_EQ(m.status, kExitProblems);
  const CliResult b = Quiet({"info", Layout(dir, "boxes.msk", boxes), "--json"});
  EXPECT_EQ(b.status, kExitProblems);
  EXPECT_EQ(Parsed(b)["boxes"], kMaxBoxes);
  EXPECT_EQ(Parsed(b)["texts"], 1) << "the text after the full box table is read";
  const CliResult loud = RunTool({"info", dir.File("texts.msk"), "--rules", kRules});
  EXPECT_NE(loud.err.find("3 texts left out"), std::string::npos) << loud.err;
}

// Arrange that leaves overlaps for want of room writes what it has and says
// so in its status.
TEST(PipelineFaults, ArrangeThatFillsTheBoxTableExits1) {
  testing::TempDir dir;
  std::vector<std::string> lines;
  for (int i = 0; i < kMaxBoxes - 2; ++i) lines.push_back(Rec(1000, 4 * i, 1, 1, "CO"));
  lines.push_back(Rec(0, 0, 10, 10, "ME"));
  lines.push_back(Rec(5, 5, 10, 10, "ME"));
  const CliResult r = Quiet({"arrange", Layout(dir, "full.msk", lines), dir.File("out.msk")});
  EXPECT_EQ(r.status, kExitProblems) << r.out;
  EXPECT_NE(testing::ReadFile(dir.File("out.msk")).find("REC(5,5,10,10,ME)"), std::string::npos);
}

// The view of a layout two billion lambda wide draws its grid in time by the
// pixels of the image (it took hours by the square of the span).
TEST(PipelineFaults, RenderingAHugeSpanTakesTimeByPixels) {
  testing::TempDir dir;
  const std::string layout = Layout(dir, "span.msk", {Rec(-1'000'000'000, -1'000'000'000, 2, 2,
                                                          "ME"),
                                                      Rec(999'999'998, 999'999'998, 2, 2, "PO")});
  EXPECT_EQ(Quiet({"render", layout, "-o", dir.File("a.png")}).status, kExitOk);
  EXPECT_EQ(Quiet({"render", layout, "-o", dir.File("b.png"), "--window",
                 "-1000000000,-1000000000,1000000000,1000000000"})
                .status,
            kExitOk);
  const CliResult drc = Quiet({"drc", layout, "--png", dir.File("c.png")});
  EXPECT_NE(drc.status, kExitUsage) << drc.err;
  EXPECT_EQ(testing::ReadFile(dir.File("c.png")).substr(1, 3), "PNG");
}

// The extent of a layout lying wholly beyond 32,000 lambda of the origin is
// its own, not grown from a starting value of 32,000.
TEST(PipelineFaults, TheExtentOfAFarLayoutIsItsOwn) {
  testing::TempDir dir;
  const CliResult right = Quiet({"info", Layout(dir, "r.msk", {Rec(40000, 40000, 10, 10, "ME"),
                                                             Rec(50000, 50000, 10, 10, "ME")}),
                               "--json"});
  EXPECT_EQ(Parsed(right)["extent"], nlohmann::json({40000, 40000, 50010, 50010}));
  const CliResult left = Quiet({"info", Layout(dir, "l.msk", {Rec(-50000, -50000, 10, 10, "ME"),
                                                            Rec(-40000, -40000, 10, 10, "ME")}),
                              "--json"});
  EXPECT_EQ(Parsed(left)["extent"], nlohmann::json({-50000, -50000, -39990, -39990}));
}

// A node table that fills leaves the commands that extract with an
// incomplete circuit: they say so in JSON when asked for JSON, and exit 1.
TEST(PipelineFaults, AFullNodeTableIsReportedInJsonWithExit1) {
  testing::TempDir dir;
  std::vector<std::string> lines;
  for (int i = 0; i < kMaxNodeNumber + 5; ++i)
    lines.push_back(Rec(i % 200 * 10, i / 200 * 10, 4, 4, "ME"));
  const std::string layout = Layout(dir, "nodes.msk", lines);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"simulate"}, {"crosstalk"}, {"node", "--at", "1,1"}, {"stats"},
        {"section", "--cut", "0,1,2000,1"}, {"ucp", "-o", dir.File("nodes.ucp")}}) {
    SCOPED_TRACE(command[0]);
    std::vector<std::string> args = command;
    args.insert(args.begin() + 1, layout);
    args.push_back("--json");
    const CliResult r = Quiet(args);
    EXPECT_EQ(r.status, kExitProblems);
    EXPECT_TRUE(Parsed(r).is_object()) << r.out;
  }
}

// Label names that would end or break a CIF command (";", blanks, comment
// parentheses, an empty name) are written as one word, so the file reads back.
TEST(PipelineFaults, CifLabelsWithOddNamesReadBack) {
  testing::TempDir dir;
  const std::string layout =
      Layout(dir, "odd.msk", {Rec(0, 0, 10, 10, "ME"), "TITLE 1 1  #x;y", "$- 1000 0 ",
                              "TITLE 2 2  #(a b)", "$- 1000 0 ", "TITLE 3 3  #", "$- 1000 0 "});
  ASSERT_EQ(Quiet({"cif", layout, "-o", dir.File("odd.cif")}).status, kExitOk);
  // A scale that no reader takes back is refused before anything is written.
  EXPECT_EQ(Quiet({"cif", layout, "-o", dir.File("big.cif"), "--scale", "2147483647"}).status,
            kExitUsage);
  const CliResult back = Quiet({"info", dir.File("odd.cif"), "--json"});
  EXPECT_EQ(back.status, kExitOk) << back.err;
  EXPECT_EQ(Parsed(back)["texts"], Parsed(Quiet({"info", layout, "--json"}))["texts"]) << back.out;
}

// A run whose MOS model halted is not a result: exit 1, and the totals stay
// numbers. A run whose step count would pass what an int holds is refused
// instead of running no step and calling that complete.
TEST(PipelineFaults, HaltedAndOverlongSimulationsAreNotSuccesses) {
  testing::TempDir dir;
  const std::string rules = dir.File("halt.rul");
  testing::WriteFile(rules, testing::ReadFile(kRules) + "NMOS\nPHIB = 0\nPMOS\nPHIB = 0\n");
  const CliResult r = RunTool({"simulate", testing::DataFile("examples/inverter.msk"), "--model",
                               "9", "--rules", rules, "--quiet", "--json"});
  EXPECT_EQ(r.status, kExitProblems) << r.err;
  const nlohmann::json j = Parsed(r);
  ASSERT_TRUE(j.contains("idd_total")) << r.out;
  EXPECT_TRUE(j["idd_total"].is_number()) << r.out;
  const CliResult overlong = Quiet({"simulate", testing::DataFile("examples/inverter.msk"),
                                  "--length", "30000", "--step", "0.01"});
  EXPECT_EQ(overlong.status, kExitUsage);
  EXPECT_NE(overlong.err.find("steps"), std::string::npos) << overlong.err;
}

// A node of strips across the whole coordinate range is longer than 32 bits
// hold: its length stays positive.
TEST(PipelineFaults, ANodeLongerThan32BitsKeepsItsLength) {
  testing::TempDir dir;
  std::vector<std::string> strips;
  // Each strip a lambda shorter than the one below, so that none merge.
  for (int i = 0; i < 3; ++i)
    strips.push_back(Rec(-1'000'000'000, i * 10, 2'000'000'000 - i, 10, "ME"));
  const CliResult r = Quiet({"extract", Layout(dir, "long.msk", strips), "--json"});
  const nlohmann::json circuit = Parsed(r);
  int64_t longest = 0;
  for (const auto& node : circuit["nodes"])
    longest = std::max(longest, node["length"].get<int64_t>());
  EXPECT_EQ(longest, 6'000'000'000 - 3) << r.out;
}

// A rule file with a value no process has is refused with the line it is on.
TEST(PipelineFaults, ExtremeRuleValuesAreRefusedWithTheRuleFilesError) {
  testing::TempDir dir;
  const std::string rules = dir.File("extreme.rul");
  testing::WriteFile(rules, testing::ReadFile(kRules) + "CPOO = 1e300\n");
  const CliResult r = RunTool({"extract", testing::DataFile("examples/inverter.msk"), "--rules",
                               rules, "--quiet"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("Invalid numeric input in \"" + rules + "\" at line"), std::string::npos)
      << r.err;
}

// Converting a layout and converting the result again gives the same file,
// also when every box was left out and only the texts after them remain.
TEST(PipelineFaults, ConvertingTwiceGivesTheSameLayout) {
  testing::TempDir dir;
  const std::string layout =
      Layout(dir, "odd.msk", {Rec(2'000'000'000, 0, 10, 10, "ME"), "TITLE 3 3  #kept",
                              "$v 1000 0 ", Rec(0, 0, 0, 10, "PO"), "TITLE 4 4  #also",
                              "$- 1000 0 "});
  ASSERT_NE(Quiet({"convert", layout, dir.File("once.msk")}).status, kExitUsage);
  ASSERT_NE(Quiet({"convert", dir.File("once.msk"), dir.File("twice.msk")}).status, kExitUsage);
  const auto body = [](const std::string& path) {
    const std::string text = testing::ReadFile(path);
    return text.substr(text.find("BB("), text.find("FFIG") - text.find("BB("));
  };
  EXPECT_EQ(body(dir.File("once.msk")), body(dir.File("twice.msk")));
  EXPECT_NE(body(dir.File("once.msk")).find("#kept"), std::string::npos);
}

}  // namespace
}  // namespace tarnisk
