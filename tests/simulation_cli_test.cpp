#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

testing::CliResult Simulate(const std::string& example, std::vector<std::string> args) {
  args.insert(args.begin(), {"simulate", testing::DataFile("examples/" + example)});
  args.insert(args.end(), {"--rules", testing::DataFile("es207.rul"), "--quiet"});
  return testing::RunTool(args);
}

// The number after "key": in a JSON text.
double JsonNumber(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  EXPECT_NE(at, std::string::npos) << key;
  return at == std::string::npos ? 0 : std::stod(json.substr(at + key.size() + 3));
}

TEST(SimCli, InverterJsonAndCsv) {
  testing::TempDir dir;
  const std::string csv = dir.File("inv.csv");
  const auto r = Simulate("inverter.msk", {"--json", "--model", "1", "--length", "10", "--step",
                                           "10", "--points", "100", "--csv", csv, "--minmax"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("{\"message\":\"10.00 ns simulation complete with MOS model Level 1 with 1 "
                       "NMOS, 1 pMOS\",\"steps\":1000,"),
            std::string::npos)
      << r.out;
  for (const char* key : {"\"delay_rise_s\":", "\"delay_fall_s\":", "\"frequency_hz\":0",
                          "\"max_v\":", "\"min_v\":", "\"idd_total\":", "\"start_node\":\"in\"",
                          "\"stop_node\":\"out\"", "\"warnings\":[]}"})
    EXPECT_NE(r.out.find(key), std::string::npos) << key;
  EXPECT_EQ(r.out.find("switching_threshold"), std::string::npos);
  std::istringstream rows(testing::ReadFile(csv));
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line, "time_ns,in,out");
  int count = 0;
  while (std::getline(rows, line)) ++count;
  EXPECT_EQ(count, 100);
}

// Node names holding the CSV separator or its quote stay one field each.
TEST(SimCli, CsvHeaderQuotesNamesWithCommasAndQuotes) {
  testing::TempDir dir;
  std::string layout = testing::ReadFile(testing::DataFile("examples/inverter.msk"));
  layout.replace(layout.find("#in\r"), 3, "#in,a");
  layout.replace(layout.find("#out\r"), 4, "#say \"out\"");
  testing::WriteFile(dir.File("odd.msk"), layout);
  const std::string csv = dir.File("odd.csv");
  const auto r = testing::RunTool({"simulate", dir.File("odd.msk"), "--length", "1", "--csv", csv,
                                   "--rules", testing::DataFile("es207.rul"), "--quiet"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::istringstream rows(testing::ReadFile(csv));
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line, "time_ns,\"in,a\",\"say \"\"out\"\"\"");
}

TEST(SimCli, RingFrequencyMatchesThePeriodInTheCsv) {
  testing::TempDir dir;
  const std::string csv = dir.File("ring.csv");
  const auto r = Simulate("ring5.msk", {"--json", "--watch", "out", "--freq", "--points", "4000",
                                        "--csv", csv});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::istringstream rows(testing::ReadFile(csv));
  std::string line;
  std::getline(rows, line);
  ASSERT_EQ(line, "time_ns,out");
  std::vector<double> risings;
  double before = 0;
  while (std::getline(rows, line)) {
    const size_t comma = line.find(',');
    const double t = std::stod(line.substr(0, comma)), v = std::stod(line.substr(comma + 1));
    if (before <= 2.5 && v > 2.5) risings.push_back(t);
    before = v;
  }
  ASSERT_GE(risings.size(), 6u);
  const double periodNs = risings.back() - risings[risings.size() - 2];
  EXPECT_NEAR(JsonNumber(r.out, "frequency_hz") * periodNs * 1e-9, 1.0, 0.02);
}

TEST(SimCli, DcReportsTheSwitchingThreshold) {
  const auto r = Simulate("inverter.msk",
                          {"--json", "--mode", "dc", "--start", "in", "--stop", "out", "--points", "50"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const double threshold = JsonNumber(r.out, "switching_threshold");
  EXPECT_GT(threshold, 1.5);
  EXPECT_LT(threshold, 3.5);
}

TEST(SimCli, WritesThePlotAsPng) {
  testing::TempDir dir;
  const std::string png = dir.File("ring.png");
  const auto r = Simulate("ring5.msk", {"--png", png, "--points", "200", "--length", "5"});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(testing::ReadFile(png).substr(0, 4), "\x89PNG");
}

TEST(SimCli, BadOptionsAreUsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--mode", "ac"}, {"--model", "2"}, {"--step", "x"},
        {"--start", "nowhere"}, {"--length", "-3"}}) {
    const auto r = Simulate("inverter.msk", args);
    EXPECT_EQ(r.status, kExitUsage) << args[0];
    EXPECT_NE(r.err.find(args[0]), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace tarnisk
