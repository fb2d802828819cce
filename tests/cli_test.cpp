#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "app/cli.h"
#include "core/utf8.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::CliResult;
using testing::RunTool;

const std::string kRules = testing::DataFile("es207.rul");

TEST(Cli, InfoReportsCountsExtentLayersAndTechnology) {
  const CliResult r =
      RunTool({"info", testing::DataFile("examples/inverter.msk"), "--rules", kRules, "--json", "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* key : {"\"boxes\":", "\"texts\":", "\"resistances\":0", "\"extent\":[",
                          "\"layers\":{", "\"poly\":", "\"technology\":{\"name\":",
                          "\"lambda\":", "\"vdd\":5", "\"metals\":2"})
    EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;
  EXPECT_EQ(r.out.find("\"gatep\""), std::string::npos) << "layers without boxes are left out";
}

// By default standard error gets the run's summary (here the box count of
// the layout read) and nothing of the progress; --verbose every status
// message; --quiet nothing.
TEST(Cli, StandardErrorGetsTheSummaryOrEveryMessageOrNothing) {
  const std::string layout = testing::DataFile("examples/inverter.msk");
  const CliResult r = RunTool({"info", layout, "--rules", kRules});
  ASSERT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.err, "22 boxes\n");
  EXPECT_NE(r.out.find("boxes: "), std::string::npos);
  const CliResult verbose = RunTool({"info", layout, "--rules", kRules, "--verbose"});
  EXPECT_EQ(verbose.out, r.out);
  EXPECT_NE(verbose.err.find("Read CIF & GDS2 infos...\n"), std::string::npos);
  EXPECT_NE(verbose.err.find("Open " + layout + "...\n"), std::string::npos);
  EXPECT_EQ(verbose.err.substr(verbose.err.size() - 9), "22 boxes\n") << "not repeated";
  EXPECT_EQ(RunTool({"info", layout, "--rules", kRules, "--quiet", "--verbose"}).err, "");
  const CliResult drc =
      RunTool({"drc", testing::DataFile("examples/ring5.msk"), "--rules", kRules});
  EXPECT_EQ(drc.err, "No design rule error. Congratulations (2.5% memory used)\n");
}

// Every text file the tool writes is UTF-8, whatever encoding a label was
// read in; the deck's node list says "n°" in UTF-8 too.
TEST(Cli, TextFilesAreWrittenAsUtf8) {
  testing::TempDir dir;
  const std::string layout = dir.File("latin1.msk");
  std::string text = testing::ReadFile(testing::DataFile("examples/inverter.msk"));
  text.replace(text.find("#out"), 4, "#caf\xe9");
  testing::WriteFile(layout, text);
  const std::string deck = dir.File("deck.cir"), msk = dir.File("copy.msk"),
                    cif = dir.File("copy.cif");
  ASSERT_EQ(RunTool({"extract", layout, "--rules", kRules, "--spice", deck, "--quiet"}).status,
            kExitOk);
  ASSERT_EQ(RunTool({"convert", layout, msk, "--rules", kRules, "--quiet"}).status, kExitOk);
  ASSERT_EQ(RunTool({"convert", layout, cif, "--rules", kRules, "--quiet"}).status, kExitOk);
  for (const std::string& file : {deck, msk, cif}) {
    const std::string text = testing::ReadFile(file);
    EXPECT_EQ(ValidUtf8(text), text) << file;
    EXPECT_NE(text.find("caf\xc3\xa9"), std::string::npos) << file;
  }
  EXPECT_NE(testing::ReadFile(deck).find("corresponds to n\xc2\xb0"), std::string::npos);
}

TEST(Cli, BadUsageAndUnreadableInputsExitWith2) {
  EXPECT_EQ(RunTool({}).status, kExitUsage);
  EXPECT_EQ(RunTool({"frobnicate"}).status, kExitUsage);
  EXPECT_EQ(RunTool({"info"}).status, kExitUsage);
  EXPECT_EQ(RunTool({"info", "a.msk", "--bogus"}).status, kExitUsage);
  const CliResult missing = RunTool({"info", "/nonexistent/a.msk", "--rules", kRules, "--quiet"});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_NE(missing.err.find("cannot open \"/nonexistent/a.msk\""), std::string::npos);
  EXPECT_EQ(RunTool({"info", "x.msk", "--rules", "/nonexistent.rul"}).status, kExitUsage);
}

TEST(Cli, HelpPrintsUsageAndExitsZero) {
  const CliResult all = RunTool({"--help"});
  EXPECT_EQ(all.status, kExitOk);
  for (const char* command : {"info", "convert", "tech", "render", "arrange", "drc", "cif",
                              "extract", "simulate"})
    EXPECT_NE(all.out.find(command), std::string::npos) << command;
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"help", "simulate"}, {"simulate", "--help"}}) {
    const CliResult one = RunTool(args);
    EXPECT_EQ(one.status, kExitOk);
    EXPECT_NE(one.out.find("--length"), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("LAYOUT"), std::string::npos);
  }
}

TEST(Cli, UsageErrorsAreOneLineNamingTheCommandsUsage) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"info", "a.msk", "--bogus"}, {"info"}, {"convert", "a.msk"},
        {"drc", "a.msk", "--png"}}) {
    const CliResult r = RunTool(args);
    EXPECT_EQ(r.status, kExitUsage) << args[0];
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("(usage: tarnisk-cli " + args[0] + " "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(RunTool({"frobnicate"}).err,
            "tarnisk-cli: unknown command \"frobnicate\" (tarnisk-cli --help lists them)\n");
}

TEST(Cli, JsonStringsAreValidUtf8WhateverTheFileHeld) {
  testing::TempDir dir;
  const std::string layout = dir.File("latin1.msk");
  testing::WriteFile(layout, "REC(0,0,4,4,ME)\r\nTITLE 1 1  #caf\xe9\r\n$v 1000 0 \r\n");
  const CliResult r = RunTool({"extract", layout, "--rules", kRules, "--json", "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\"name\":\"caf\xc3\xa9\""), std::string::npos) << r.out;
}

TEST(Cli, MalformedInputsNameTheLine) {
  testing::TempDir dir;
  const std::string layout = dir.File("bad.msk");
  testing::WriteFile(layout, "REC(0,0,4,4,ME)\r\nTITLE 1 1  #a\r\n$1 x 0 \r\n");
  const CliResult r = RunTool({"info", layout, "--rules", kRules, "--quiet"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.err, "tarnisk-cli: Invalid numeric input in \"" + layout + "\" at line 3\n");

  const std::string rules = dir.File("bad.rul");
  testing::WriteFile(rules, "title\nNAME bad\nR101 = 3um\n");
  const CliResult t = RunTool({"tech", rules, "--json", "--quiet"});
  EXPECT_EQ(t.status, kExitUsage);
  EXPECT_NE(t.out.find("\"error\":\"Invalid numeric input\""), std::string::npos) << t.out;
  EXPECT_NE(t.err.find("at line 3"), std::string::npos);
}

// A text that holds no layout line is no layout, and a rule file in which no
// key was recognised is no rule file: both are unreadable input.
TEST(Cli, FilesWithoutALayoutLineOrARuleKeyExitWith2) {
  testing::TempDir dir;
  const std::string text = dir.File("hello.msk");
  testing::WriteFile(text, "hello world\n");
  for (const char* command : {"info", "drc", "extract", "simulate"}) {
    const CliResult r = RunTool({command, text, "--rules", kRules, "--quiet"});
    EXPECT_EQ(r.status, kExitUsage) << command;
    EXPECT_EQ(r.err, "tarnisk-cli: \"" + text + "\" is not a layout file: no line was recognised\n")
        << command;
  }
  const std::string rules = dir.File("nokeys.rul");
  testing::WriteFile(rules, "a title\nhello world\n* a comment\n");
  const std::string problem =
      "tarnisk-cli: \"" + rules + "\" is not a rule file: no key was recognised\n";
  const CliResult info =
      RunTool({"info", testing::DataFile("examples/inverter.msk"), "--rules", rules, "--quiet"});
  EXPECT_EQ(info.status, kExitUsage);
  EXPECT_EQ(info.err, problem);
  const CliResult tech = RunTool({"tech", rules, "--quiet"});
  EXPECT_EQ(tech.status, kExitUsage);
  EXPECT_EQ(tech.err, problem);
}

TEST(Cli, TechListsTheConvertedRecord) {
  const CliResult r = RunTool({"tech", kRules, "--json", "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  for (const char* key : {"\"name\":", "\"lambda\":", "\"vdd\":", "\"temp\":", "\"delt\":",
                          "\"metals\":2", "\"rules\":{\"R101\":", "\"RP06\":",
                          "\"capacitances\":{\"CPOO\":", "\"layers\":[{\"name\":\"nwell\",\"code\":\"NW\"",
                          "\"sheet_resistance\":", "\"thickness\":", "\"height\":", "\"cif\":",
                          "\"gds2\":", "\"overetch\":", "\"min_width\":", "\"nmos\":{\"VTO\":",
                          "\"pmos\":{\"VTO\":-", "\"error\":null"})
    EXPECT_NE(r.out.find(key), std::string::npos) << key;
}

TEST(Cli, ConvertRewritesALayout) {
  testing::TempDir dir;
  const std::string target = dir.File("copy.msk");
  const CliResult r =
      RunTool({"convert", testing::DataFile("examples/nand2.msk"), target, "--rules", kRules, "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const CliResult a = RunTool({"info", testing::DataFile("examples/nand2.msk"), "--rules", kRules, "--json", "--quiet"});
  const CliResult b = RunTool({"info", target, "--rules", kRules, "--json", "--quiet"});
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(RunTool({"convert", testing::DataFile("examples/nand2.msk"), dir.File("no/such/dir.msk"),
                 "--rules", kRules, "--quiet"}).status,
            kExitUsage);
}

TEST(Cli, RenderWritesThePngOfTheView) {
  testing::TempDir dir;
  const std::string png = dir.File("inv.png");
  const CliResult r = RunTool({"render", testing::DataFile("examples/inverter.msk"), "-o", png,
                               "--size", "320x240", "--window", "-5,-5,30,55", "--mono",
                               "--rules", kRules, "--json", "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out.substr(0, 40), "{\"output\":\"" + png.substr(0, 40 - 11));
  EXPECT_NE(r.out.find("\"window\":[-5,-5,30,55]"), std::string::npos) << r.out;
  const std::string bytes = testing::ReadFile(png);
  ASSERT_GT(bytes.size(), 100u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  EXPECT_EQ(RunTool({"render", testing::DataFile("examples/inverter.msk"), "-o", png, "--size",
                     "0x5", "--quiet"}).status,
            kExitUsage);
  EXPECT_EQ(RunTool({"render", testing::DataFile("examples/inverter.msk"), "--quiet"}).status,
            kExitUsage);
}

TEST(Cli, ArrangeWritesTheArrangedLayoutAndItsMessage) {
  testing::TempDir dir;
  const std::string layout = dir.File("two.msk");
  testing::WriteFile(layout, "REC(0,0,10,4,ME)\r\nREC(0,4,10,4,ME)\r\nREC(0,0,4,4,CO)\r\n");
  const std::string out = dir.File("out.msk");
  const CliResult r = RunTool({"arrange", layout, out, "--rules", kRules, "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, "Tarnisk removed redundant and overlaping boxes (33.33% removed)\n");
  const std::string text = testing::ReadFile(out);
  EXPECT_NE(text.find("REC(0,0,10,8,ME)"), std::string::npos) << text;
  EXPECT_NE(text.find("REC(0,0,4,4,CO)"), std::string::npos) << text;
}

// The live boxes of a layout file as sorted REC lines.
std::vector<std::string> RecLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(testing::ReadFile(path));
  for (std::string line; std::getline(in, line);)
    if (line.rfind("REC(", 0) == 0 || line.rfind("TITLE", 0) == 0) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

TEST(CliConvert, GdsAndCifRoundTripsGiveBackTheSameBoxesAndTexts) {
  testing::TempDir dir;
  for (const char* example : {"inverter.msk", "nand2.msk", "ring5.msk"}) {
    const std::string source = testing::DataFile(std::string("examples/") + example);
    const std::string original = dir.File("original.msk");
    ASSERT_EQ(RunTool({"convert", source, original, "--rules", kRules, "--quiet"}).status, kExitOk);
    for (const char* format : {"gds", "cif"}) {
      SCOPED_TRACE(std::string(example) + " through " + format);
      const std::string between = dir.File(std::string("between.") + format);
      const std::string back = dir.File("back.msk");
      const CliResult out = RunTool({"convert", source, between, "--rules", kRules, "--json", "--quiet"});
      ASSERT_EQ(out.status, kExitOk) << out.err;
      EXPECT_NE(out.out.find("\"dropped\":{}"), std::string::npos) << out.out;
      ASSERT_EQ(RunTool({"convert", between, back, "--rules", kRules, "--quiet"}).status, kExitOk);
      EXPECT_EQ(RecLines(back), RecLines(original));
    }
  }
}

TEST(CliConvert, WhatCannotBeRepresentedIsCountedAndExitsOne) {
  testing::TempDir dir;
  // A triangle, a box off the half-lambda grid, a box on an unknown layer and a good wire.
  const std::string cif = dir.File("odd.cif");
  testing::WriteFile(cif, "DS 1 1 1;\nL CMF;\nP 0,0 500,0 0,500;\nB 30 30 15 15;\n"
                          "B 400 200 200 100;\nL XYZ;\nB 100 100 50 50;\nDF;\nC 1;\nE\n");
  const CliResult r =
      RunTool({"convert", cif, dir.File("odd.msk"), "--rules", kRules, "--json", "--quiet"});
  EXPECT_EQ(r.status, kExitProblems) << r.err;
  EXPECT_NE(r.out.find("\"boxes\":1,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"non_manhattan\":1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"off_grid\":1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"unknown_layer\":1"), std::string::npos) << r.out;
  const CliResult garbage = RunTool({"info", dir.File("odd.msk") + ".gds", "--rules", kRules});
  EXPECT_EQ(garbage.status, kExitUsage);
  testing::WriteFile(dir.File("junk.gds"), "not a stream");
  const CliResult junk = RunTool({"info", dir.File("junk.gds"), "--rules", kRules, "--quiet"});
  EXPECT_EQ(junk.status, kExitUsage);
  EXPECT_NE(junk.err.find("is not readable"), std::string::npos) << junk.err;
}

}  // namespace
}  // namespace tarnisk
