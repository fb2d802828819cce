#include "interchange/gds_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "interchange/flatten.h"
#include "tests/interchange_support.h"

namespace tarnisk {
namespace {

using testing::GdsBuilder;
using testing::Tables;

constexpr const char* kRules = "es207.rul";  // lambda 0.5 um, poly 46, metal 49, gatep 55

const LayerTable& Layers() { return Tables(kRules).layers; }
const Technology& Tech() { return Tables(kRules).technology; }

ImportedLayout Read(const std::string& bytes) { return ReadGds(bytes, Layers(), Tech()); }

std::vector<ImportedBox> Boxes(std::initializer_list<ImportedBox> boxes) {
  return testing::Sorted(boxes);
}

// --------------------------------------------------------------- writer

TEST(GdsWriter, WritesTheLibraryRecordsAndUnitsOfOneLambda) {
  auto layout = testing::EmptyLayout(kRules);
  const std::string bytes = FormatGds(*layout, Tech(), "/some/dir/my cell.msk", nullptr,
                                      {2024, 5, 6, 7, 8, 9});
  // HEADER 600, then BGNLIB with both time stamps.
  EXPECT_EQ(bytes.substr(0, 6), std::string("\x00\x06\x00\x02\x02\x58", 6));
  EXPECT_EQ(bytes.substr(6, 8), std::string("\x00\x1C\x01\x02\x07\xE8\x00\x05", 8));
  // LIBNAME and STRNAME from the file name, UNITS of 0.5 um and 5e-7 m.
  EXPECT_NE(bytes.find(std::string("\x00\x0C\x02\x06my_cell", 11)), std::string::npos);
  EXPECT_NE(bytes.find(std::string("\x00\x0C\x06\x06my_cell", 11)), std::string::npos);
  const std::string units("\x00\x14\x03\x05\x40\x80\x00\x00\x00\x00\x00\x00", 12);
  EXPECT_NE(bytes.find(units), std::string::npos);
  const ImportedLayout back = Read(bytes);
  EXPECT_TRUE(back.error.empty()) << back.error;
  EXPECT_TRUE(back.boxes.empty() && back.texts.empty() && back.dropped.empty());
}

TEST(GdsWriter, LeavesOutErasedBoxesAndTheGateLayers) {
  auto layout = testing::EmptyLayout(kRules);
  layout->boxes.Append({kNormal, 0, 0, 4, 4, -1, kPoly, 0});
  layout->boxes.Append({kErased, 0, 0, 4, 4, -1, kMetal, 0});
  layout->boxes.Append({kNormal, 0, 0, 4, 4, -1, kGatep, 0});
  layout->boxes.Append({kHighlighted, 0, 0, 4, 4, -1, kGaten, 0});
  layout->boxes.Append({kMarked, -8, 2, -2, 6, -1, kMetal2, 0});
  GdsWriteReport report;
  const ImportedLayout back = Read(FormatGds(*layout, Tech(), "t", &report));
  EXPECT_EQ(report.boxes, 2);
  EXPECT_EQ(back.boxes,
            (std::vector<ImportedBox>{{{0, 0, 4, 4}, kPoly}, {{-8, 2, -2, 6}, kMetal2}}));
}

TEST(GdsWriter, LayersWithoutANumberTakeAFreeOneWithAWarning) {
  auto layout = testing::EmptyLayout(kRules);
  layout->layers[kMetal].gds2 = 0;
  layout->layers[kVia].gds2 = 100;  // the first substitute is taken
  layout->boxes.Append({kNormal, 0, 0, 4, 4, -1, kMetal, 0});
  layout->boxes.Append({kNormal, 0, 0, 2, 2, -1, kVia, 0});
  LayoutText text;
  text.x = 1, text.y = 2, text.text = "out", text.state = 1;
  layout->texts.Append(text);
  GdsWriteReport report;
  const std::string bytes = FormatGds(*layout, Tech(), "t", &report);
  EXPECT_EQ(report.warnings,
            (std::vector<std::string>{"Layer metal has no GDS2 number: written on 101",
                                      "Texts have no GDS2 number: written on 102"}));
  const ImportedLayout back = ReadGds(bytes, layout->layers, Tech());
  EXPECT_EQ(back.boxes, (std::vector<ImportedBox>{{{0, 0, 4, 4}, kMetal}, {{0, 0, 2, 2}, kVia}}));
  EXPECT_EQ(back.texts, (std::vector<ImportedText>{{1, 2, "out"}}));
}

TEST(GdsWriter, WarnsWhenTwoLayersShareANumber) {
  auto layout = testing::EmptyLayout(kRules);
  layout->layers[kMetal2].gds2 = layout->layers[kMetal].gds2;
  layout->boxes.Append({kNormal, 0, 0, 4, 4, -1, kMetal, 0});
  layout->boxes.Append({kNormal, 0, 0, 4, 4, -1, kMetal2, 0});
  GdsWriteReport report;
  FormatGds(*layout, Tech(), "t", &report);
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_EQ(
      report.warnings[0],
      "Layers metal and metal2 share GDS2 number 49: reading the file back puts both on metal");
}

// --------------------------------------------------------------- round trips

void ExpectRoundTrip(const Layout& layout, const Technology& technology) {
  const std::string bytes = FormatGds(layout, technology, "rt", nullptr);
  const ImportedLayout back = ReadGds(bytes, layout.layers, technology);
  ASSERT_TRUE(back.error.empty()) << back.error;
  EXPECT_TRUE(back.dropped.empty());
  auto again = testing::LayoutFrom(back, layout.layers);
  EXPECT_EQ(testing::LiveBoxes(*again), testing::LiveBoxes(layout));
  EXPECT_EQ(testing::LiveTexts(*again), testing::LiveTexts(layout));
}

TEST(GdsRoundTrip, ExampleLayoutsComeBackWithTheSameBoxesAndTexts) {
  for (const char* rules : {"es207.rul", "cmos33-5m.rul"}) {
    for (const char* example : {"inverter.msk", "nand2.msk", "ring5.msk"}) {
      SCOPED_TRACE(std::string(example) + " with " + rules);
      auto layout = testing::ExampleLayout(example, rules);
      ASSERT_GT(layout->boxes.Count(), 10);
      ExpectRoundTrip(*layout, Tables(rules).technology);
    }
  }
}

TEST(GdsRoundTrip, RandomLayoutsComeBackWithTheSameBoxesAndTexts) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    const char* rules = seed % 2 ? "es207.rul" : "cmos33-5m.rul";
    auto layout = testing::RandomLayout(rules, seed, 1500, 40);
    // Coordinates far from the origin still fit one database unit per lambda.
    layout->boxes.Append({kNormal, -1'000'000'000, 999'999'990, -999'999'000, 1'000'000'000, -1,
                          kMetal, 0});
    ExpectRoundTrip(*layout, Tables(rules).technology);
  }
}

// --------------------------------------------------------------- hierarchy

// One poly box 0..4 x 0..2 (in units of 0.5 um = 1 lambda) in cell "A".
GdsBuilder WithCellA() {
  GdsBuilder b;
  b.Begin(0.5e-6).Structure("A").Boundary(46, {0, 0, 4, 0, 4, 2, 0, 2, 0, 0}).EndStructure();
  return b;
}

TEST(GdsReader, PlacesReferencesInEveryOrientation) {
  // Reflection in x first, then rotation counter-clockwise, then the offset.
  struct Case {
    bool reflect;
    double angle;
    Rect expected;
  };
  const Case cases[] = {
      {false, 0, {10, 20, 14, 22}},   {false, 90, {8, 20, 10, 24}},
      {false, 180, {6, 18, 10, 20}},  {false, 270, {10, 16, 12, 20}},
      {true, 0, {10, 18, 14, 20}},    {true, 90, {10, 20, 12, 24}},
      {true, 180, {6, 20, 10, 22}},   {true, -90, {8, 16, 10, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.angle) + (c.reflect ? " reflected" : ""));
    GdsBuilder b = WithCellA();
    b.Structure("TOP").Sref("A", 10, 20, c.reflect, c.angle).EndStructure();
    const ImportedLayout in = Read(b.End());
    ASSERT_TRUE(in.error.empty()) << in.error;
    EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{c.expected, kPoly}}));
    EXPECT_TRUE(in.dropped.empty());
  }
}

TEST(GdsReader, NestedPlacementsComposeAndTextsFollow) {
  GdsBuilder b = WithCellA();
  b.Structure("B").Sref("A", 0, 0, false, 90).Text(1, 1, 3, "in").EndStructure();
  b.Structure("TOP").Sref("B", 100, 0, true, 0, 2).EndStructure();
  const ImportedLayout in = Read(b.End());
  // B: A turned -> (-2..0, 0..4); text (1, 3). Magnified by 2 and reflected:
  // (-4..0, -8..0) and (2, -6); then moved by 100.
  EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{{96, -8, 100, 0}, kPoly}}));
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{102, -6, "in"}}));
}

TEST(GdsReader, ArraysPlaceEveryInstance) {
  GdsBuilder b = WithCellA();
  // 3 columns 10 apart, 2 rows 7 apart, from (1, 1).
  b.Structure("TOP").Aref("A", 3, 2, {1, 1, 31, 1, 1, 15}).EndStructure();
  const ImportedLayout in = Read(b.End());
  std::vector<ImportedBox> expected;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j)
      expected.push_back({{1 + 10 * i, 1 + 7 * j, 5 + 10 * i, 3 + 7 * j}, kPoly});
  EXPECT_EQ(testing::Sorted(in.boxes), testing::Sorted(expected));
}

TEST(GdsReader, CountsPlacementsItCannotRepresent) {
  GdsBuilder b = WithCellA();
  b.Structure("TOP")
      .Sref("A", 0, 0, false, 45)       // not a multiple of 90 degrees
      .Sref("A", 0, 0, false, 0, 1.5)   // 1.5 x 4 = 6 but 1.5 x 2 + 0 = 3: exact
      .Sref("A", 1, 0, false, 0, 0.5)   // 0.5: x from 1 to 3, y 0..1: exact
      .Sref("A", 0, 0, false, 0, 0.25)  // 0.25 x 2 = 0.5: off the grid
      .Sref("MISSING", 0, 0)
      .EndStructure();
  const ImportedLayout in = Read(b.End());
  EXPECT_EQ(testing::Sorted(in.boxes),
            Boxes({{{0, 0, 6, 3}, kPoly}, {{1, 0, 3, 1}, kPoly}}));
  EXPECT_EQ(in.dropped, (std::map<std::string, int>{
                            {"rotation", 1}, {"off_grid", 1}, {"missing_cell", 1}}));
}

TEST(GdsReader, RecursionAndDeepChainsAreCutAndCounted) {
  GdsBuilder b = WithCellA();
  b.Structure("LOOP1").Sref("A", 0, 0).Sref("LOOP2", 0, 0).EndStructure();
  b.Structure("LOOP2").Sref("LOOP1", 10, 0).EndStructure();
  b.Structure("TOP").Sref("LOOP1", 0, 0).EndStructure();
  const ImportedLayout loop = Read(b.End());
  EXPECT_EQ(loop.dropped.at("recursive_reference"), 1);
  EXPECT_FALSE(loop.boxes.empty());

  GdsBuilder deep = WithCellA();
  std::string below = "A";
  for (int level = 0; level < kMaxCellDepth + 5; ++level) {
    const std::string name = "L" + std::to_string(level);
    deep.Structure(name).Sref(below, 0, 0).EndStructure();
    below = name;
  }
  const ImportedLayout in = Read(deep.End());
  EXPECT_TRUE(in.error.empty());
  EXPECT_EQ(in.dropped.at("too_deep"), 1);
}

double SecondsToRead(const std::string& bytes, ImportedLayout& in) {
  const auto start = std::chrono::steady_clock::now();
  in = Read(bytes);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(GdsReader, ExponentialArraysStopAtTheItemLimit) {
  GdsBuilder b = WithCellA();
  std::string below = "A";
  for (int level = 0; level < 12; ++level) {  // 100^12 boxes
    const std::string name = "X" + std::to_string(level);
    b.Structure(name).Aref(below, 10, 10, {0, 0, 100, 0, 0, 100}).EndStructure();
    below = name;
  }
  ImportedLayout in;
  const double seconds = SecondsToRead(b.End(), in);
  EXPECT_LE(in.boxes.size(), size_t(kMaxFlattenedItems));
  EXPECT_GT(in.dropped.at("shape_limit"), 1'000'000);
  EXPECT_LT(seconds, 20);  // a sanitizer build; the point is that it ends
}

TEST(GdsReader, PlacementsOfEmptyCellsCostNothing) {
  // 10,000 placements of a cell that places 20,000 empty cells besides its box.
  GdsBuilder b = WithCellA();
  b.Structure("EMPTY").EndStructure().Structure("X").Sref("A", 0, 0);
  for (int i = 0; i < 20'000; ++i) b.Sref("EMPTY", i, 0);
  b.EndStructure().Structure("TOP").Aref("X", 100, 100, {0, 0, 1000, 0, 0, 1000}).EndStructure();
  ImportedLayout in;
  const double seconds = SecondsToRead(b.End(), in);
  EXPECT_EQ(in.boxes.size(), 10'000u);
  EXPECT_LT(seconds, 10);
}

// --------------------------------------------------------------- shapes

TEST(GdsReader, PolygonsAndPathsBecomeBoxes) {
  GdsBuilder b;
  b.Begin(0.5e-6).Structure("TOP");
  b.Boundary(49, {0, 0, 6, 0, 6, 2, 2, 2, 2, 6, 0, 6, 0, 0});  // an L
  // Path type 0 (flush), width 2, with a corner.
  b.NoData(0x09)
      .Int16(0x0D, {46})
      .Int32(0x0F, {2})
      .Int32(0x10, {20, 0, 30, 0, 30, 10})
      .NoData(0x11);
  // Path type 2 (half-width extensions).
  b.NoData(0x09).Int16(0x0D, {51}).Int16(0x21, {2}).Int32(0x0F, {4}).Int32(0x10, {40, 0, 50, 0});
  b.NoData(0x11);
  // Path type 4 with extensions 1 and 3.
  b.NoData(0x09).Int16(0x0D, {62}).Int16(0x21, {4}).Int32(0x0F, {2});
  b.Int32(0x30, {1}).Int32(0x31, {3}).Int32(0x10, {60, 0, 60, 10}).NoData(0x11);
  const ImportedLayout in = Read(b.EndStructure().End());
  ASSERT_TRUE(in.error.empty()) << in.error;
  EXPECT_TRUE(in.dropped.empty());
  EXPECT_EQ(testing::Sorted(in.boxes), Boxes({
                                           {{0, 0, 6, 2}, kMetal},
                                           {{0, 2, 2, 6}, kMetal},
                                           {{20, -1, 31, 1}, kPoly},
                                           {{29, -1, 31, 10}, kPoly},
                                           {{38, -2, 52, 2}, kMetal2},
                                           {{59, -1, 61, 13}, kMetal3},
                                       }));
}

// Area of boxes that must not overlap, and whether a point lies in any.
int64_t Area(const std::vector<ImportedBox>& boxes) {
  int64_t area = 0;
  for (const ImportedBox& b : boxes) area += int64_t(b.r.xmax - b.r.xmin) * (b.r.ymax - b.r.ymin);
  return area;
}

TEST(GdsReader, RandomRectilinearPolygonsAreCutIntoDisjointBoxesThatCoverThem) {
  // A skyline: columns 0..n of random height from y = 0, traced as one ring;
  // then the same ring with a rectangular hole joined by a keyhole slit.
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    const int columns = 2 + int(rng() % 30);
    std::vector<int> height(static_cast<size_t>(columns), 0);
    for (int& h : height) h = 1 + int(rng() % 12);
    std::vector<int32_t> ring{0, 0, columns, 0};
    for (int c = columns - 1; c >= 0; --c)
      ring.insert(ring.end(), {c + 1, height[size_t(c)], c, height[size_t(c)]});
    ring.insert(ring.end(), {0, 0});
    GdsBuilder b;
    b.Begin(0.5e-6).Structure("TOP").Boundary(49, ring);
    const ImportedLayout in = Read(b.EndStructure().End());
    ASSERT_TRUE(in.dropped.empty());
    int64_t expected = 0;
    for (int h : height) expected += h;
    EXPECT_EQ(Area(in.boxes), expected);
    // Unit cells: each covered exactly once exactly where the skyline is.
    for (int c = 0; c < columns; ++c)
      for (int y = 0; y < 13; ++y) {
        int covers = 0;
        for (const ImportedBox& box : in.boxes)
          covers += box.r.xmin <= c && c < box.r.xmax && box.r.ymin <= y && y < box.r.ymax;
        ASSERT_EQ(covers, y < height[size_t(c)] ? 1 : 0) << "cell " << c << "," << y;
      }
  }
  GdsBuilder holed;  // 10 x 10 with the hole 4..6 x 4..6 reached by a slit at x = 5
  holed.Begin(0.5e-6).Structure("TOP");
  holed.Boundary(
      49, {0, 0, 5, 0, 5, 4, 4, 4, 4, 6, 6, 6, 6, 4, 5, 4, 5, 0, 10, 0, 10, 10, 0, 10, 0, 0});
  const ImportedLayout in = Read(holed.EndStructure().End());
  EXPECT_EQ(Area(in.boxes), 100 - 4);
}

TEST(GdsReader, CountsWhatItCannotRepresent) {
  GdsBuilder b;
  b.Begin(0.5e-6).Structure("TOP");
  b.Boundary(49, {0, 0, 4, 0, 6, 4, 0, 4, 0, 0});                // slanted edge
  b.Boundary(7, {0, 0, 4, 0, 4, 4, 0, 4, 0, 0});                 // no such layer
  b.Boundary(55, {0, 0, 4, 0, 4, 4, 0, 4, 0, 0});                // gatep is generated
  b.Boundary(49, {0, 0, 4, 0, 4, 0, 0, 0});                      // no area
  b.Boundary(49, {0, 0, 4, 0, 0, 4, 4, 4, 0, 0});                // slanted, crossing
  b.NoData(0x09).Int16(0x0D, {46}).Int16(0x21, {1}).Int32(0x0F, {2});
  b.Int32(0x10, {0, 0, 10, 0}).NoData(0x11);                     // round ends
  b.NoData(0x09).Int16(0x0D, {46}).Int32(0x0F, {1});
  b.Int32(0x10, {0, 0, 10, 0}).NoData(0x11);                     // odd width: half lambda
  b.Text(0, 1, 1, "").Text(0, 1, 1, std::string(200, 'x')).Text(0, 2, 3, "ok");
  const ImportedLayout in = Read(b.EndStructure().End());
  ASSERT_TRUE(in.error.empty()) << in.error;
  EXPECT_TRUE(in.boxes.empty());
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{2, 3, "ok"}}));
  EXPECT_EQ(in.dropped, (std::map<std::string, int>{{"non_manhattan", 2},
                                                    {"unknown_layer", 1},
                                                    {"generated_layer", 1},
                                                    {"degenerate", 1},
                                                    {"round_shape", 1},
                                                    {"off_grid", 1},
                                                    {"empty_text", 1},
                                                    {"long_text", 1}}));
}

TEST(GdsReader, ConvertsOtherDatabaseUnitsExactlyOrCountsOffGrid) {
  GdsBuilder b;
  b.Begin(1e-9).Structure("TOP");                                 // 1 nm, lambda = 500 nm
  b.Boundary(49, {0, 0, 2000, 0, 2000, 1500, 0, 1500, 0, 0});
  b.Boundary(49, {0, 0, 250, 0, 250, 500, 0, 500, 0, 0});         // 0.5 lambda wide
  b.Text(63, 500, -1000, "a").Text(63, 750, 0, "b");
  const ImportedLayout in = Read(b.EndStructure().End());
  EXPECT_EQ(in.boxes, (std::vector<ImportedBox>{{{0, 0, 4, 3}, kMetal}}));
  EXPECT_EQ(in.texts, (std::vector<ImportedText>{{1, -2, "a"}}));
  EXPECT_EQ(in.dropped, (std::map<std::string, int>{{"off_grid", 1}, {"off_grid_text", 1}}));
}

// --------------------------------------------------------------- bad input

TEST(GdsReader, RefusesFilesThatAreNotGdsOrAreCutShort) {
  EXPECT_EQ(Read("").error, "not a GDSII stream (no HEADER record)");
  EXPECT_EQ(Read("REC(0,0,4,4,ME)\r\n").error, "not a GDSII stream (no HEADER record)");
  GdsBuilder b = WithCellA();
  b.Structure("TOP").Sref("A", 1, 1).Text(0, 1, 1, "t").EndStructure();
  const std::string whole = b.End();
  ASSERT_TRUE(Read(whole).error.empty());
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    const ImportedLayout in = Read(whole.substr(0, cut));
    ASSERT_FALSE(in.error.empty()) << cut;
    ASSERT_TRUE(in.boxes.empty() && in.texts.empty());
  }
  // Bytes after ENDLIB (block padding) are not read.
  EXPECT_TRUE(Read(whole + std::string(100, '\0')).error.empty());
}

TEST(GdsReader, MalformedRecordsAreErrorsNotCrashes) {
  const std::string start = GdsBuilder().Begin(0.5e-6).Structure("T").Bytes();
  const std::vector<std::string> bad = {
      start + std::string("\x00\x02\x08\x00", 4),                           // length below 4
      start + std::string("\x00\x05\x08\x00\x00", 5),                       // odd length
      start + std::string("\xFF\xFF\x08\x00", 4),                           // longer than the file
      GdsBuilder(start).Boundary(49, {0, 0, 4}).End(),                      // XY not in pairs
      GdsBuilder(start).NoData(0x08).Int16(0x0D, {49}).NoData(0x11).End(),  // no XY
      GdsBuilder(start).NoData(0x08).Int32(0x10, {0, 0, 1, 1}).NoData(0x11).End(),  // no LAYER
      GdsBuilder(start).NoData(0x08).Int32(0x0D, {49}).NoData(0x11).End(),        // LAYER as int32
      GdsBuilder(start).NoData(0x08).Int16(0x05, std::vector<int>(12, 0)).End(),  // unclosed
      GdsBuilder().Begin(0.5e-6).Boundary(49, {0, 0, 1, 0, 1, 1, 0, 0}).End(),    // outside a
                                                                                  // structure
      GdsBuilder().Begin(-1).End(),                                               // negative unit
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const ImportedLayout in = Read(bad[i]);
    EXPECT_FALSE(in.error.empty()) << i;
  }
}

}  // namespace
}  // namespace tarnisk
