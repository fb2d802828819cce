#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

struct CliOutcome {
  int status;
  std::string out, err;
};

CliOutcome Extract(std::vector<std::string> args) {
  args.insert(args.begin(), {"tarnisk-cli", "extract"});
  args.insert(args.end(), {"--rules", testing::DataFile("es207.rul"), "--quiet"});
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = RunCli(int(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

TEST(ExtractCli, JsonCarriesNodesDevicesAndSummary) {
  testing::TempDir dir;
  const std::string deck = dir.File("nand.cir");
  const CliOutcome r = Extract({testing::DataFile("examples/nand2.msk"), "--json", "--spice", deck,
                         "--lateral", "--vertical", "--model", "1", "--clean", "merge"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  for (const char* key :
       {"{\"message\":\"Extraction complete :", "\"boxes\":", "\"nodes\":[{\"number\":0,",
        "\"property\":", "\"capacitance\":", "\"length\":", "\"metal_resistance\":",
        "\"polydiff_resistance\":", "\"floating\":false", "\"crosstalk_noise\":",
        "\"driven_noise\":", "\"nmos\":[{\"w\":6,\"l\":2,\"gate\":", "\"source\":", "\"drain\":",
        "\"bulk\":", "\"gate_box\":", "\"leff\":", "\"wm\":", "\"pmos\":[{", "\"floating\":[]",
        "\"max_coupling\":", "\"max_coupling_ratio\":", "\"warnings\":[]"})
    EXPECT_NE(r.out.find(key), std::string::npos) << key << " in " << r.out;
  const std::string text = testing::ReadFile(deck);
  EXPECT_NE(text.find(".MODEL TN NMOS LEVEL=1"), std::string::npos);
  EXPECT_NE(text.find("* Crosstalk capacitance"), std::string::npos);
}

TEST(ExtractCli, BadOptionsAndFailedWritesExitWith2) {
  const std::string layout = testing::DataFile("examples/inverter.msk");
  EXPECT_EQ(Extract({layout, "--model", "2"}).status, kExitUsage);
  EXPECT_EQ(Extract({layout, "--clean", "tidy"}).status, kExitUsage);
  EXPECT_EQ(Extract({layout, "--ignore-short", "ten"}).status, kExitUsage);
  const CliOutcome r = Extract({layout, "--spice", "/nonexistent/dir/x.cir"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("cannot write \"/nonexistent/dir/x.cir\""), std::string::npos) << r.err;
}

TEST(ExtractCli, TheDecksTransientRunsForTheGivenLength) {
  testing::TempDir dir;
  const std::string deck = dir.File("inv.cir");
  ASSERT_EQ(Extract({testing::DataFile("examples/inverter.msk"), "--spice", deck}).status, kExitOk);
  EXPECT_NE(testing::ReadFile(deck).find(".TRAN 10PS 20.00N"), std::string::npos);
  ASSERT_EQ(Extract({testing::DataFile("examples/inverter.msk"), "--spice", deck, "--length",
                     "7.5"}).status,
            kExitOk);
  EXPECT_NE(testing::ReadFile(deck).find(".TRAN 10PS 7.50N"), std::string::npos);
  EXPECT_EQ(Extract({testing::DataFile("examples/inverter.msk"), "--length", "soon"}).status,
            kExitUsage);
}

// 45 rows of 45 poly fingers across diffusion strips: 2025 nMOS, more than
// the device table holds.
std::string TooManyTransistors(const testing::TempDir& dir) {
  std::string text;
  for (int row = 0; row < 45; ++row) {
    text += "REC(0," + std::to_string(10 * row) + ",272,4,DN)\n";
    for (int finger = 0; finger < 45; ++finger)
      text += "REC(" + std::to_string(6 * finger + 3) + "," + std::to_string(10 * row - 2) +
              ",2,8,PO)\n";
  }
  const std::string path = dir.File("fingers.msk");
  testing::WriteFile(path, text);
  return path;
}

// Every command that extracts first exits 1 when a table filled, with the
// cause in its warnings; simulate keeps its keys and simulates nothing.
TEST(ExtractCli, AFullTableExits1WithTheCauseInTheWarnings) {
  testing::TempDir dir;
  const std::string layout = TooManyTransistors(dir);
  const std::string cause = "nMOS table full (2000 devices): 25 transistors left out";
  const CliOutcome extract = Extract({layout, "--json"});
  EXPECT_EQ(extract.status, kExitProblems);
  EXPECT_NE(extract.out.find("{\"message\":\"Extraction incomplete :"), std::string::npos);
  EXPECT_NE(extract.out.find("\"warnings\":[\"" + cause + "\"]"), std::string::npos) << extract.out;

  std::vector<std::string> args = {"tarnisk-cli", "simulate", layout, "--rules",
                                   testing::DataFile("es207.rul"), "--quiet", "--json"};
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  EXPECT_EQ(RunCli(int(argv.size()), argv.data(), out, err), kExitProblems);
  for (const std::string& key : std::vector<std::string>{
           "{\"message\":\"Extraction incomplete :", "\"steps\":0,", "\"delay_rise_s\":",
        "\"delay_fall_s\":", "\"frequency_hz\":", "\"max_v\":", "\"min_v\":",
        "\"idd_total\":", "\"start_node\":", "\"stop_node\":",
        "\"warnings\":[\"" + cause + "\"]"})
    EXPECT_NE(out.str().find(key), std::string::npos) << key << " in " << out.str();
}

TEST(ExtractCli, FloatingNodesAndMissingWellAreListed) {
  testing::TempDir dir;
  const std::string layout = dir.File("p.msk");
  testing::WriteFile(layout, "REC(0,0,10,4,DP)\nREC(4,-2,2,8,PO)\n");
  const CliOutcome r = Extract({layout, "--json"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("\"floating\":[\"N4\"]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"warnings\":[\"Warning : well missing in pMOS\"]"), std::string::npos);
}

}  // namespace
}  // namespace tarnisk
