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
