#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>

#include "app/cli.h"
#include "session/session.h"
#include "session/editor/editing.h"
#include "session/editor/view.h"
#include "interchange/cif.h"
#include "session/files.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines after the cell-name line, up to "DF;".
std::vector<std::string> Body(const std::string& text) {
  const std::vector<std::string> all = Lines(text);
  const auto df = std::find(all.begin(), all.end(), "DF;");
  return {all.begin() + 7, df};
}

struct CifWriter : ::testing::Test {
  Fresh f;
  Session& s = f.s;
  CifOptions options;

  void SetUp() override {
    s.technology.LAMB = 0.4;
    s.technology.R401 = 2;
    s.technology.R601 = 3;
    const char* names[] = {"", "CWN", "CSP", "CSN", "CCC", "CPG", "CMF", "CVA", "CMS"};
    for (int layer = 1; layer <= kMetal2; ++layer) f.layout.layers[layer].cifName = names[layer];
    f.layout.layers[kAarea].cifName = "CAA";
  }
  std::string Write(CifSummary* summary = nullptr) {
    return FormatCifFile(CifLayoutOf(s), "out.CIF", options, summary);
  }
};

TEST_F(CifWriter, AnEmptyLayoutIsAValidFile) {
  const std::vector<std::string> lines = Lines(Write());
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "( File : \"out.CIF\")");
  EXPECT_EQ(lines[1], "( Conversion from Tarnisk v1.0a - 18.02.98 to CIF)");
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(\( Version \d\d/\d\d/\d{4},\d\d:\d\d:\d\d\))")))
      << lines[2];
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5], "DS 1 1 10;");
  EXPECT_EQ(lines[6], "9 topcell;");
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.end()),
            (std::vector<std::string>{"DF;", "C 1;", "E"}));
}

TEST_F(CifWriter, BoxesBecomeScaledFourCornerPolygons) {
  AddBox(s.layout, 0, 0, 4, 2, kPoly);
  EXPECT_EQ(Body(Write()), (std::vector<std::string>{"L CPG;", "P 0,0 1600,0 1600,800 0,800;"}));
  // Halves round to even: with 0.5 unit per lambda, 1 -> 0, 3 -> 2, -3 -> -2.
  options.unit = 1;
  s.technology.LAMB = 0.5;
  ReleaseAll(s.layout);
  AddBox(s.layout, -3, 1, 3, 5, kPoly);
  EXPECT_EQ(Body(Write())[1], "P -2,0 2,0 2,2 -2,2;");
}

TEST_F(CifWriter, DiffusionsGoOnTheActiveAreaAtDrawnSizeThenOnTheirOwnLayersGrown) {
  f.layout.layers[kDiffn].overetch = 0.1;
  f.layout.layers[kAarea].overetch = 0.2;
  AddBox(s.layout, 0, 0, 10, 5, kDiffn);
  AddBox(s.layout, 20, 0, 25, 5, kDiffn);
  EXPECT_EQ(Body(Write()), (std::vector<std::string>{
                               "L CAA;", "P 0,0 4000,0 4000,2000 0,2000;",
                               "P 8000,0 10000,0 10000,2000 8000,2000;", "L CSN;",
                               "P -100,-100 4100,-100 4100,2100 -100,2100;",
                               "P 7900,-100 10100,-100 10100,2100 7900,2100;"}));
}

TEST_F(CifWriter, LayersComeInNumberOrderWithTheActiveAreaOpenedTwice) {
  f.layout.layers[kAarea].overetch = 0.2;
  for (int layer : {kAarea, kDiffp, kMetal, kDiffn, kNwell, kGatep})
    AddBox(s.layout, layer, 0, layer + 1, 1, layer);
  std::vector<std::string> layerLines;
  for (const std::string& line : Body(Write()))
    if (line[0] == 'L') layerLines.push_back(line);
  EXPECT_EQ(layerLines, (std::vector<std::string>{"L CWN;", "L CMF;", "L xxx;", "L CAA;",
                                                  "L CAA;", "L CSN;", "L CSP;"}));
  const std::string text = Write();
  EXPECT_NE(text.find("L CAA;\nP 7800,-200 8600,-200 8600,600 7800,600;\nL CAA;\n"
                      "P 1200,0 1600,0 1600,400 1200,400;\nP 800,0 1200,0 1200,400 800,400;\n"),
            std::string::npos)
      << "aarea boxes grown, then the diffn and diffp boxes at drawn size:\n" << text;
}

TEST_F(CifWriter, OnlyCutsOfTheRuleSizeGetTheOveretch) {
  f.layout.layers[kContact].overetch = 0.05;
  f.layout.layers[kVia].overetch = 0.05;
  f.layout.layers[kMetal].overetch = -0.1;
  AddBox(s.layout, 0, 0, 2, 2, kContact);   // R401 wide: grown
  AddBox(s.layout, 10, 0, 13, 2, kContact); // off-size: as drawn
  AddBox(s.layout, 40, 0, 45, 5, kMetal);   // a negative overetch shrinks
  AddBox(s.layout, 20, 0, 23, 3, kVia);     // R601 wide: grown
  AddBox(s.layout, 30, 0, 32, 2, kVia);     // off-size
  EXPECT_EQ(Body(Write()), (std::vector<std::string>{
                               "L CCC;", "P -50,-50 850,-50 850,850 -50,850;",
                               "P 4000,0 5200,0 5200,800 4000,800;", "L CMF;",
                               "P 16100,100 17900,100 17900,1900 16100,1900;", "L CVA;",
                               "P 7950,-50 9250,-50 9250,1250 7950,1250;",
                               "P 12000,0 12800,0 12800,800 12000,800;"}));
}

TEST_F(CifWriter, LabelsReplaceBlanksAndUseTheChosenCommandCellNameAndTextLayer) {
  s.technology.CifTextLayer = "CTX";
  AddBox(s.layout, 0, 0, 1, 1, kMetal);
  AddLayoutText(s.layout, 10, 5, "out 1");
  AddLayoutText(s.layout, 0, 0, "gone");
  AddLayoutText(s.layout, -1, 2, "a  b ");
  f.layout.texts[2].state = 0;
  options.topCell = "my chip";
  options.labelCommand = "95";
  CifSummary summary;
  const std::string text = Write(&summary);
  EXPECT_NE(text.find("\n9 my chip;\n"), std::string::npos);
  EXPECT_NE(text.find("\nL CTX;\n95 out_1 4000,2000;\n95 a__b_ -400,800;\nDF;\n"), std::string::npos)
      << text;
  EXPECT_EQ(summary.labels, 2);

  options.labelCommand = "94";
  EXPECT_NE(Write().find("\n94 out_1 4000,2000;\n"), std::string::npos);
}

TEST(CifScale, OneUnitIsOneOverUnitMicronForA100thMicronReader) {
  EXPECT_EQ(CifSymbolScale(1000), "1 10");
  EXPECT_EQ(CifSymbolScale(100), "1 1");
  EXPECT_EQ(CifSymbolScale(1), "100 1");
  EXPECT_EQ(CifSymbolScale(250), "2 5");
  EXPECT_EQ(CifSymbolScale(3), "100 3");
  EXPECT_EQ(CifSymbolScale(2147483647), "100 2147483647");
}

TEST(CifScale, TheFieldIsAnIntegerOfAtLeastOne) {
  EXPECT_EQ(ParseCifScale("1000").unit, 1000);
  EXPECT_EQ(ParseCifScale(" 250").unit, 250);
  for (const char* low : {"0", "-5"}) {
    EXPECT_TRUE(ParseCifScale(low).ok) << low;
    EXPECT_EQ(ParseCifScale(low).unit, 1) << low;
  }
  for (const char* bad : {"abc", "", " ", "1.5", "12x", "99999999999", "1.0", "1,0", "10-", "1 0"})
    EXPECT_FALSE(ParseCifScale(bad).ok) << bad;
  EXPECT_EQ(ParseCifScale("abc").error, "'abc' is not a valid integer value");
}

TEST(CifScale, TheOutputNameGetsTheExtensionCif) {
  EXPECT_EQ(CifOutputName("dir/chip.msk"), "dir/chip.CIF");
  EXPECT_EQ(CifOutputName("a.b.msk"), "a.b.CIF");
  EXPECT_EQ(CifOutputName("chip"), "chip.CIF");
  EXPECT_EQ(CifOutputName("/home/x.y/chip"), "/home/x.y/chip.CIF");
}

struct CifConversionTest : ::testing::Test {
  Fresh f;
  Session& s = f.s;
  testing::TempDir dir;
  CifSettings settings;
  std::string Status() const { return f.platform.Panel(0); }
};

TEST_F(CifConversionTest, WritesTheFileAndRemembersItsNameAndUnit) {
  AddBox(s.layout, 0, 0, 4, 4, kMetal);
  AddBox(s.layout, 0, 0, 4, 4, kPoly);
  f.layout.boxes[2].state = kErased;
  const std::string out = dir.File("chip.CIF");
  const CifConversion c = ConvertIntoCif(CifLayoutOf(s), settings, "0", out, CifOptions{});
  ASSERT_TRUE(c.written);
  EXPECT_EQ(f.layout.boxes.Count(), 1) << "the database is purged";
  EXPECT_EQ(settings.unit, 1);
  EXPECT_EQ(settings.fileName, out);
  EXPECT_EQ(Status(), "Open \"" + out + "\" as output CIF file...");
  const std::string text = testing::ReadFile(out);
  EXPECT_NE(text.find("\nDS 1 100 1;\n"), std::string::npos);
  EXPECT_NE(text.find("\nP 0,0 2,0 2,2 0,2;\n"), std::string::npos) << text;
}

TEST_F(CifConversionTest, AFileThatCannotBeCreatedIsReported) {
  const std::string out = dir.File("missing/chip.CIF");
  const CifConversion c = ConvertIntoCif(CifLayoutOf(s), settings, "1000", out, CifOptions{});
  EXPECT_FALSE(c.written);
  EXPECT_NE(c.ioError, 0);
  EXPECT_EQ(Status(), "# Error: \"" + out + "\" output file open error...");
  EXPECT_EQ(settings.fileName, "noFile.cif");
}

TEST_F(CifConversionTest, ReorderingForCifDropsTheUndoThatWouldHitOtherBoxes) {
  AddBox(s.layout, 0, 0, 10, 10, kMetal);
  AddBox(s.layout, 20, 0, 30, 10, kMetal);
  f.layout.wide.currentLayer = kPoly;
  StoreBox(s, {LambdaToPixelX(s, 0), LambdaToPixelY(s, 20)},
           {LambdaToPixelX(s, 10), LambdaToPixelY(s, 30)});
  const std::vector<CifLayerRow> rows = CifLayerGrid(s.layout, s.progress);  // poly now comes first
  Undo(s);
  Purge(f.layout);
  EXPECT_EQ(f.layout.boxes.Count(), 3);
  EXPECT_EQ(Status(), "Sorry, no undo available...");
}

std::string NumberedLines(int count, const std::string& end = "\n") {
  std::string text;
  for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + end;
  return text;
}

TEST_F(CifConversionTest, TheListingStopsAfter200LinesWithAMark) {
  const std::string path = dir.File("long.CIF");
  testing::WriteFile(path, NumberedLines(250, "\r\n"));
  std::vector<std::string> lines;
  ASSERT_TRUE(ListCifFile(path, lines));
  ASSERT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines[0], "line 1");
  EXPECT_EQ(lines[199], "line 200");
  EXPECT_EQ(lines[200], "(tuncated...)");

  testing::WriteFile(path, NumberedLines(3));
  ASSERT_TRUE(ListCifFile(path, lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"line 1", "line 2", "line 3"}));
  EXPECT_FALSE(ListCifFile(dir.File("none.CIF"), lines));
  EXPECT_EQ(lines.size(), 3u) << "a file that cannot be read leaves the listing";
}

TEST_F(CifConversionTest, ConvertIntoMskOnlyListsTheLastFileWritten) {
  const CifInputConversion missing = ConvertCifIntoMsk(settings, s.progress);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(Status(), "# Error: \"noFile.cif\" input file open error...");
  EXPECT_EQ(missing.caption, "End conversion of \"noFile.cif\" into MSK");

  settings.fileName = dir.File("last.CIF");
  testing::WriteFile(settings.fileName, NumberedLines(150));
  const CifInputConversion c = ConvertCifIntoMsk(settings, s.progress);
  ASSERT_TRUE(c.ok);
  EXPECT_EQ(c.lines.size(), 100u);
  EXPECT_EQ(Status(), "Convert \"" + settings.fileName + "\" to MSK...");
  EXPECT_EQ(f.layout.boxes.Count(), 0);
}

TEST_F(CifConversionTest, ViewingListsCutLinesAndCountsCellDefinitions) {
  const std::string path = dir.File("chip.cif");  // only the lower-case name exists
  std::string text = "DS 1 1 10;\n" + std::string(300, 'x') + "\n  DS 2;\nds 3;\nDS 4;\n";
  testing::WriteFile(path, text + NumberedLines(250) + "DS 5;");
  const CifView view = ViewCifFile(path, s.progress);
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.name, path);
  EXPECT_EQ(view.cells, 3);
  ASSERT_EQ(view.lines.size(), 200u);
  EXPECT_EQ(view.lines[1], std::string(128, 'x'));
  EXPECT_EQ(Status(), "End reading \"" + path + "\"");

  const CifView missing = ViewCifFile(dir.File("none.cif"), s.progress);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(Status(), "# Error: \"" + dir.File("none.CIF") + "\" input file open error...");
}

// ---------------------------------------------------------------- batch

struct CifCli : ::testing::Test {
  testing::TempDir dir;
  std::string layout = dir.File("inverter.msk");
  void SetUp() override {
    testing::WriteFile(layout, testing::ReadFile(testing::DataFile("examples/inverter.msk")));
  }
  int Run(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
    args.insert(args.begin(), {"cif", layout, "--rules", testing::DataFile("es207.rul"), "--quiet"});
    const testing::CliResult r = testing::RunTool(args);
    if (out) *out = r.out;
    if (err) *err = r.err;
    return r.status;
  }
};

TEST_F(CifCli, WritesBesideTheLayoutAndReportsLayersAndLabels) {
  std::string out;
  ASSERT_EQ(Run({"--json"}, &out), kExitOk);
  const std::string cif = dir.File("inverter.CIF");
  EXPECT_EQ(out, "{\"file\":\"" + cif +
                     "\",\"layers\":{\"CWN\":1,\"CCC\":9,\"CPG\":2,\"CMF\":6,\"CAA\":4,\"CSN\":2,"
                     "\"CSP\":2},\"labels\":4}\n");
  EXPECT_NE(testing::ReadFile(cif).find("\nDS 1 1 10;\n"), std::string::npos);
}

TEST_F(CifCli, TakesTheOutputNameAndScaleAndRefusesBadScales) {
  const std::string cif = dir.File("out.cif");
  std::string out, err;
  ASSERT_EQ(Run({"-o", cif, "--scale", "100"}, &out), kExitOk);
  EXPECT_NE(testing::ReadFile(cif).find("\nDS 1 1 1;\n"), std::string::npos);
  EXPECT_EQ(out.substr(0, out.find('\n')), "file: " + cif);

  const std::string other = dir.File("other.cif");
  EXPECT_EQ(Run({"-o", other, "--scale", "abc"}, nullptr, &err), kExitUsage);
  EXPECT_EQ(err, "tarnisk-cli: --scale: 'abc' is not a valid integer value\n");
  EXPECT_FALSE(std::filesystem::exists(other));
  EXPECT_EQ(Run({"-o", dir.File("no/such/dir.cif")}, nullptr, &err), kExitUsage);
  EXPECT_NE(err.find("cannot write"), std::string::npos);
}

}  // namespace
}  // namespace tarnisk
