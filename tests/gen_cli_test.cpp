// The batch commands generate and route: their JSON keys and exit statuses.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/cli.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::CliResult;
using testing::DataFile;
using testing::RunTool;

const std::string kRules = testing::DataFile("es207.rul");

struct GenerateCli : ::testing::Test {
  testing::TempDir dir;
  const std::string empty = dir.File("empty.msk");
  const std::string out = dir.File("out.msk");
  GenerateCli() { testing::WriteFile(empty, "BB(0,0,0,0)\r\nFFIG\r\n"); }
  CliResult Generate(std::vector<std::string> args) {
    args.insert(args.begin(), {"generate", empty, out});
    for (const char* a : {"--rules", kRules.c_str(), "--json", "--quiet"}) args.push_back(a);
    return RunTool(args);
  }
};

TEST_F(GenerateCli, AContactReportsWhatItAdded) {
  const CliResult r = Generate({"contact", "--at", "10,10"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["boxes_added"], 3);
  EXPECT_EQ(j["texts_added"], 0);
  EXPECT_EQ(j["extent_added"], nlohmann::json::parse("[8,8,12,12]"));
  EXPECT_TRUE(j["message"].is_string());
  const CliResult info = RunTool({"info", out, "--rules", kRules, "--json", "--quiet"});
  EXPECT_NE(info.out.find("\"boxes\":3"), std::string::npos) << info.out;
}

TEST_F(GenerateCli, FieldsAreSetByTheirNamesAndRepeated) {
  const CliResult r = Generate({"bus", "--at", "0,0", "--set", "repeat=4", "--set",
                                "orientation=vertical", "--set", "length=50"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["boxes_added"], 4);
  EXPECT_EQ(j["extent_added"], nlohmann::json::parse("[0,0,21,50]"));
  const CliResult path = Generate({"path", "--points", "0,0;40,0;40,30", "--set", "width=4"});
  ASSERT_EQ(path.status, kExitOk) << path.err;
  EXPECT_EQ(nlohmann::json::parse(path.out)["extent_added"],
            nlohmann::json::parse("[-2,-2,42,32]"));
  const CliResult logo = Generate({"logo", "--at", "0,0", "--text", "I"});
  EXPECT_EQ(logo.status, kExitOk) << logo.err;
}

TEST_F(GenerateCli, APadRingFromAPadFile) {
  const CliResult r = Generate({"padring", "--set", "padfile=" + DataFile("pads/demo.pad")});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out)["texts_added"], 12);
  EXPECT_EQ(Generate({"padring", "--set", "padfile=/nonexistent.pad"}).status, kExitUsage);
}

TEST_F(GenerateCli, BadUsageExitsWith2AndAFullTableWith1) {
  EXPECT_EQ(Generate({"spiral", "--at", "0,0"}).status, kExitUsage);
  EXPECT_EQ(Generate({"bus"}).status, kExitUsage) << "no --at";
  EXPECT_EQ(Generate({"bus", "--at", "0,0", "--set", "turns=3"}).status, kExitUsage);
  EXPECT_EQ(Generate({"bus", "--at", "0,0", "--set", "width=x"}).status, kExitUsage);
  EXPECT_EQ(Generate({"contacts", "--at", "0,0", "--set", "rows=0"}).status, kExitUsage);
  EXPECT_EQ(RunTool({"generate", empty}).status, kExitUsage);
  const CliResult full =
      Generate({"contacts", "--at", "0,0", "--set", "rows=300", "--set", "columns=300"});
  EXPECT_EQ(full.status, kExitProblems);
  EXPECT_EQ(nlohmann::json::parse(full.out)["boxes_added"], 80000);
}

TEST(GenerateList, NamesEveryKindWithItsFieldsAndDefaults) {
  const CliResult r = RunTool({"generate", "--list", "--json"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto kinds = nlohmann::json::parse(r.out)["kinds"];
  for (const char* kind :
       {"contact", "contacts", "ring", "pad", "padring", "bus", "inductor", "mos", "path", "logo"})
    EXPECT_TRUE(kinds.contains(kind)) << kind;
  EXPECT_EQ(kinds["bus"]["width"], "3");
  EXPECT_EQ(kinds["inductor"]["turns"], "20");
  EXPECT_EQ(kinds["inductor"]["layers"], "metal2");
  EXPECT_EQ(kinds["mos"]["gates"], "1");
  EXPECT_EQ(kinds["ring"]["polarization"], "n");
  const CliResult text = RunTool({"generate", "--list"});
  EXPECT_NE(text.out.find("contacts --at X,Y kind=diffn rows=1 columns=1 polarization=none"),
            std::string::npos)
      << text.out;
}

TEST_F(GenerateCli, RouteReportsItsTriesAndFailsWith1) {
  testing::WriteFile(empty, "BB(0,0,0,0)\r\nREC(98,-1000,4,2000,ME)\r\nFFIG\r\n");
  const auto route = [&](const std::string& from, const std::string& to) {
    return RunTool(
        {"route", empty, out, "--from", from, "--to", to, "--rules", kRules, "--json", "--quiet"});
  };
  const CliResult ok = route("0,0,metal", "0,90,metal");
  ASSERT_EQ(ok.status, kExitOk) << ok.err;
  auto j = nlohmann::json::parse(ok.out);
  EXPECT_EQ(j["routed"], true);
  EXPECT_EQ(j["tries"], 1);
  EXPECT_EQ(j["boxes_added"], 1);
  EXPECT_TRUE(j["message"].is_string());
  const CliResult blocked = route("0,45,metal", "180,45,metal");
  EXPECT_EQ(blocked.status, kExitProblems);
  j = nlohmann::json::parse(blocked.out);
  EXPECT_EQ(j["routed"], false);
  EXPECT_EQ(j["tries"], 5);
  EXPECT_EQ(route("0,0,metal", "0,90,unobtainium").status, kExitUsage);
  EXPECT_EQ(route("0,0,metal", "900000,0,metal").status, kExitUsage) << "outside the grid";
}

}  // namespace
}  // namespace tarnisk
