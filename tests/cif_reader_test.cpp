#include "interchange/cif_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/interchange_support.h"

namespace tarnisk {
namespace {

using testing::Tables;

constexpr const char* kRules = "es207.rul";  // lambda 0.5 um: 50 CIF units of 0.01 um

ImportedLayout Read(const std::string& text, const char* rules = kRules) {
  return ReadCif(text, Tables(rules).layers, Tables(rules).technology);
}

std::vector<ImportedBox> Boxes(std::initializer_list<ImportedBox> boxes) {
  return testing::Sorted(boxes);
}

// One poly box 0..4 x 0..2 lambda in symbol 1, whose unit is one lambda.
const std::string kSymbol = "DS 1 50 1; L CPG; B 4 2 2 1; DF;\n";

// --------------------------------------------------------------- round trips

// Blanks in labels become '_' in the editor's CIF.
std::vector<ImportedText> AsWritten(std::vector<ImportedText> texts) {
  for (ImportedText& t : texts) std::replace(t.text.begin(), t.text.end(), ' ', '_');
  return testing::Sorted(std::move(texts));
}

int LiveGateBoxes(const Layout& layout) {
  int n = 0;
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    const Box& b = layout.boxes[i];
    n += b.state != kErased && (b.layer == kGatep || b.layer == kGaten);
  }
  return n;
}

void ExpectRoundTrip(const Layout& layout, const char* rules, int unit) {
  const ImportedLayout back = Read(testing::CifOf(layout, rules, unit), rules);
  ASSERT_TRUE(back.error.empty()) << back.error;
  // The writer passes the extracted gate layers on; the reader leaves them.
  const int gates = LiveGateBoxes(layout);
  std::map<std::string, int> expected;
  if (gates > 0) expected["generated_layer"] = gates;
  EXPECT_EQ(back.dropped, expected);
  auto again = testing::LayoutFrom(back, layout.layers);
  EXPECT_EQ(testing::LiveBoxes(*again), testing::LiveBoxes(layout));
  EXPECT_EQ(testing::LiveTexts(*again), AsWritten(testing::LiveTexts(layout)));
}

TEST(CifRoundTrip, ExampleLayoutsComeBackFromTheEditorsCif) {
  const std::pair<const char*, int> cases[] = {
      {"es207.rul", 1000}, {"es207.rul", 100}, {"cmos33-5m.rul", 100}, {"cmos33-5m.rul", 1000}};
  for (const auto& [rules, unit] : cases) {
    for (const char* example : {"inverter.msk", "nand2.msk", "ring5.msk"}) {
      SCOPED_TRACE(std::string(example) + " with " + rules + " at " + std::to_string(unit));
      auto layout = testing::ExampleLayout(example, rules);
      ExpectRoundTrip(*layout, rules, unit);
    }
  }
}

TEST(CifRoundTrip, RandomLayoutsComeBackWithOverEtchedCutsAndActiveAreaCopies) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    const char* rules = seed % 2 ? "es207.rul" : "cmos33-5m.rul";
    auto layout = testing::RandomLayout(rules, seed, 800, 30);
    ExpectRoundTrip(*layout, rules, seed % 3 ? 1000 : 100);
  }
}

TEST(CifReader, TakesTheOverEtchOffRuleSizeCutsOnly) {
  // 1 unit = 0.001 um; the contact overetch is 0.05 um = 0.1 lambda.
  const ImportedLayout in = Read(
      "DS 1 1 10; L CCC;\n"
      "P 950,950 2050,950 2050,2050 950,2050;\n"     // 2 x 2 grown: drawn 2..4
      "P 1000,1000 2500,1000 2500,2500 1000,2500;\n"  // 3 x 3, written as drawn
      "P 940,950 2050,950 2050,2050 940,2050;\n"     // grown unevenly: off the grid
      "DF; C 1; E");
  EXPECT_EQ(in.boxes,
            (std::vector<ImportedBox>{{{2, 2, 4, 4}, kContact}, {{2, 2, 5, 5}, kContact}}));
  EXPECT_EQ(in.dropped, (std::map<std::string, int>{{"off_grid", 1}}));
}

TEST(CifReader, AnOverEtchOfWholeLambdaShrinksOnlyRuleSizeCuts) {
  // Contacts of 4 lambda, contact and metal grown by 0.5 um = 1 lambda.
  LayerTable layers = Tables(kRules).layers;
  layers[kContact].overetch = layers[kMetal].overetch = 0.5;
  Technology technology = Tables(kRules).technology;
  technology.R401 = 4;
  const ImportedLayout in = ReadCif(
      "DS 1 50 1; L CCC;\n"
      "P 0 0 6 0 6 6 0 6;\n"          // a rule-size contact, grown
      "P 10 0 14 0 14 4 10 4;\n"      // the rule's size as it stands: not grown
      "P 20 0 25 0 25 5 20 5;\n"      // another size: written as drawn
      "L CMF; P 0 10 6 10 6 14 0 14;\n"  // metal is always grown
      "DF; C 1; E",
      layers, technology);
  EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{{1, 1, 5, 5}, kContact},
                                                {{10, 0, 14, 4}, kContact},
                                                {{20, 0, 25, 5}, kContact},
                                                {{1, 11, 5, 13}, kMetal}}));
}

// --------------------------------------------------------------- calls

TEST(CifReader, PlacesCallsWithEveryMirrorAndRotation) {
  // Top-level units are 0.01 um: T 500 1000 moves by (10, 20) lambda.
  const std::pair<const char*, Rect> cases[] = {
      {"", {10, 20, 14, 22}},          {"R 0 1", {8, 20, 10, 24}},
      {"R -1 0", {6, 18, 10, 20}},     {"R 0,-1", {10, 16, 12, 20}},
      {"M X", {6, 20, 10, 22}},        {"MY", {10, 18, 14, 20}},
      {"M X R 0 1", {8, 16, 10, 20}},  {"R 0 1 M X", {10, 20, 12, 24}},
  };
  for (const auto& [transformation, expected] : cases) {
    SCOPED_TRACE(transformation);
    const ImportedLayout in =
        Read(kSymbol + "C 1 " + transformation + " T 500 1000;\nE\n");
    ASSERT_TRUE(in.error.empty()) << in.error;
    EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{expected, kPoly}}));
  }
}

TEST(CifReader, SymbolScalesAndNestedCallsCompose) {
  // Symbol 2 counts in half lambdas (25 x 0.01 um): T 8 0 is 4 lambda.
  const ImportedLayout in = Read(kSymbol +
                                 "DS 2 25 1; C 1 T 8 0; L CMF; P 0 0 12 0 12 4 4 4 4 12 0 12;\n"
                                 "94 out 2 2 CMF; DF;\n"
                                 "C 2 M Y T 0 100; E");
  // Mirrored in y, then moved up by 2 lambda.
  EXPECT_EQ(testing::Sorted(in.boxes), Boxes({{{4, 0, 8, 2}, kPoly},
                                              {{0, 0, 6, 2}, kMetal},
                                              {{0, -4, 2, 0}, kMetal}}));
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{1, 1, "out"}}));
}

TEST(CifReader, PlacesUncalledSymbolsWhenTheTopLevelIsEmpty) {
  const ImportedLayout in = Read(kSymbol + "DS 7 50 1; 9 top; C 1 T 1 1; DF; E");
  EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{{1, 1, 5, 3}, kPoly}}));
  ASSERT_EQ(in.warnings.size(), 1u);
}

TEST(CifReader, ReadsBoxDirectionsAndLabels) {
  const ImportedLayout in = Read(
      "DS 1 50 1; L CMF;\n"
      "B 6 2 3 1;\n"        // along x
      "B 6 2 10 3 0 -1;\n"  // along y: 2 wide, 6 long
      "94 a 3 1; 94 b 1 2 CMF; 95 c 4 4 7 8;\n"
      "DF; C 1; E");
  EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{{0, 0, 6, 2}, kMetal}, {{9, 0, 11, 6}, kMetal}}));
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{3, 1, "a"}, {1, 2, "b"}, {7, 8, "c"}}));
}

TEST(CifReader, CountsWhatItCannotRepresent) {
  const ImportedLayout in = Read(
      kSymbol +
      "DS 3 25 1;\n"
      "L CMF; B 3 2 0 0;\n"            // 1.5 lambda long: off the grid
      "B 4 4 2 2 1 1;\n"               // turned 45 degrees
      "P 0 0 4 0 6 4 0 4;\n"           // a slanted edge
      "R 10 0 0; W 2 0 0 10 0;\n"      // round flash, wire with round ends
      "L CXX; B 2 2 1 1;\n"            // no layer of that name
      "L CGN; B 2 2 1 1;\n"            // the generated gate layer
      "L CTX; 94 half 1 1; 94 whole 2 2;\n"
      "C 1 R 1 1; C 9; DF;\n"
      "DS 5 50 1; C 5; DF; C 5;\n"     // calls itself
      "C 3; E");
  EXPECT_TRUE(in.boxes.empty());
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{1, 1, "whole"}}));
  EXPECT_EQ(in.dropped, (std::map<std::string, int>{{"off_grid", 1},
                                                    {"non_manhattan", 2},
                                                    {"round_shape", 2},
                                                    {"unknown_layer", 1},
                                                    {"generated_layer", 1},
                                                    {"off_grid_text", 1},
                                                    {"rotation", 1},
                                                    {"missing_cell", 1},
                                                    {"recursive_reference", 1}}));
}

TEST(CifReader, ReadsCifAsMagicWritesIt) {
  // Magic's scmos style: lambda 1 um, one unit 0.25 um, a trailing "End".
  Technology micron = Tables(kRules).technology;
  micron.LAMB = 1.0;
  const ImportedLayout in = ReadCif(
      "( @@tool : Magic 8.3.105 );\n( @@style : lambda=1.0(gen) );\n"
      "DS 1 50 2;\n9 inv;\nL CMF;\n    B 40 16 20 8;\nL CPG;\n    B 16 40 8 60;\n"
      "94 hello 16 16;\nDF;\nC 1;\nEnd\n",
      Tables(kRules).layers, micron);
  ASSERT_TRUE(in.error.empty()) << in.error;
  EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{{0, 0, 10, 4}, kMetal}, {{0, 10, 4, 20}, kPoly}}));
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{4, 4, "hello"}}));
}

// --------------------------------------------------------------- bad input

TEST(CifReader, RefusesTextThatIsNotCifOrIsCutShort) {
  EXPECT_EQ(Read("").error, "CIF: no E command (truncated) at line 1");
  EXPECT_EQ(Read("VERSION 2024\nREC(0,0,4,4,ME)\n").error, "CIF: unexpected 'V' at line 1");
  EXPECT_FALSE(Read("DS 1; DS 2; DF; DF; E").error.empty());
  EXPECT_FALSE(Read("DF; E").error.empty());
  EXPECT_FALSE(Read("(never closed; E").error.empty());
  EXPECT_FALSE(Read("DS 1 0 1; DF; E").error.empty());
  EXPECT_FALSE(Read("L CMF; B 4 4 2; E").error.empty());
  const std::string whole = kSymbol + "C 1 M X T 10 20;\n94 a 1 2;\nE";
  ASSERT_TRUE(Read(whole).error.empty());
  for (size_t cut = 0; cut + 1 < whole.size(); ++cut) {
    const ImportedLayout in = Read(whole.substr(0, cut));
    ASSERT_FALSE(in.error.empty()) << cut;
    ASSERT_TRUE(in.boxes.empty() && in.texts.empty());
  }
}

TEST(CifReader, CountsNumbersTooLargeToPlace) {
  const ImportedLayout huge = Read("L CMF; B 99999999999999999999 2 0 0; C 1 T 99999999999999 0;\n"
                                   "DS 1 1073741824 1; DF; E");
  EXPECT_TRUE(huge.error.empty()) << huge.error;
  EXPECT_EQ(huge.dropped.at("out_of_range"), 2);
}

}  // namespace
}  // namespace tarnisk
