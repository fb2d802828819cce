#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <tuple>
#include <vector>

#include "session/files.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Fresh;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const char* kHeader = "VERSION 01/01/2026 10:00:00\nFIG #x\nBB(0,0,10,10)\n";

std::string Crlf(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(MskWriter, WritesTheExactLines) {
  Fresh f;
  f.platform.SetFixedTime(0);
  AddBox(f.s.layout, 10, -4, 16, 8, kPoly);
  AddBox(f.s.layout, 0, 0, 3, 3, kMetal);
  f.layout.boxes[2].state = kErased;
  AddResistanceMark(f.s.layout, 7, 8, "2k5");
  AddLayoutText(f.s.layout, 1, 2, "clk");
  LayoutText& clock = f.layout.texts[1];
  clock.property = kPropertyClock;
  clock.visible = 1;
  clock.edgeTimes = {1e-9, 1.25e-9, 11.5e-9, 123.456e-9};
  AddLayoutText(f.s.layout, 3, 4, "vdd");
  f.layout.texts[2].property = kPropertyVdd;
  AddLayoutText(f.s.layout, 5, 6, "out");
  f.layout.texts[3].visible = 1;
  AddLayoutText(f.s.layout, 7, 6, "plain");
  f.layout.wide.modified = 1;
  TempDir dir;
  const std::string path = dir.File("a.msk");
  ASSERT_TRUE(SaveLayoutFile(f.s, path));
  const std::string text = ReadFile(path);
  const std::string expected = Crlf(
      "FIG #" + path + "\nBB(1,-4,47,18)\nREC(10,-4,6,12,PO)\nRST 7 8 #2k5\n"
      "TITLE 1 2  #clk\n$c 1000 0   1.00   1.25  11.50 123.46 \n"
      "TITLE 3 4  #vdd\n$1 1000 0 \nTITLE 5 6  #out\n$v 1000 0 \n"
      "TITLE 7 6  #plain\n$- 1000 0 \nFFIG " + path + "\n");
  ASSERT_EQ(text.substr(0, 8), "VERSION ");
  EXPECT_EQ(text.substr(text.find("\r\n") + 2), expected);
  EXPECT_EQ(f.layout.wide.modified, 0);
  EXPECT_EQ(f.s.LastError, 0);
  EXPECT_EQ(f.platform.Panel(0), "Saved 1 boxes in \"" + path + "\"");
  EXPECT_EQ(f.platform.Caption(), "Tarnisk 1.0 - " + path);
}

TEST(MskWriter, AFailedSaveKeepsTheOldFileAndTheModifiedFlag) {
  Fresh f;
  AddBox(f.s.layout, 0, 0, 4, 4, kMetal);
  f.layout.wide.modified = 1;
  TempDir dir;
  // The target is a directory: the new file cannot take its place.
  const std::string blocked = dir.File("blocked.msk");
  std::filesystem::create_directory(blocked);
  WriteFile(blocked + "/keep", "old");
  EXPECT_FALSE(SaveLayoutFile(f.s, blocked));
  EXPECT_NE(f.s.LastError, 0);
  EXPECT_EQ(f.layout.wide.modified, 1);
  EXPECT_EQ(f.platform.Panel(0), "Error writing \"" + blocked + "\"");
  EXPECT_EQ(ReadFile(blocked + "/keep"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1)
      << "no temporary file may be left behind";
  // A folder that does not exist.
  EXPECT_FALSE(SaveLayoutFile(f.s, dir.File("missing/x.msk")));
  EXPECT_EQ(f.layout.wide.modified, 1);
}

TEST(MskWriter, SavingReplacesAnExistingFileWhole) {
  Fresh f;
  TempDir dir;
  const std::string path = dir.File("a.msk");
  WriteFile(path, std::string(100000, 'x'));
  AddBox(f.s.layout, 0, 0, 4, 4, kMetal);
  ASSERT_TRUE(SaveLayoutFile(f.s, path));
  const std::string text = ReadFile(path);
  EXPECT_EQ(text.find('x' + std::string(10, 'x')), std::string::npos);
  EXPECT_NE(text.find("REC(0,0,4,4,ME)"), std::string::npos);
}

TEST(MskFile, RandomLayoutsSurviveAWriteReadRoundTrip) {
  std::mt19937 rng(7);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  TempDir dir;
  for (int round = 0; round < 25; ++round) {
    Fresh a;
    const int boxes = uniform(1, 400);
    for (int i = 0; i < boxes; ++i) {
      const int x = uniform(-5000, 5000), y = uniform(-5000, 5000);
      AddBox(a.s.layout, x, y, x + uniform(1, 90), y + uniform(1, 90), uniform(1, kLayerCount));
      if (uniform(0, 9) == 0) a.layout.boxes[a.layout.boxes.Count()].state = kErased;
      if (uniform(0, 9) == 0) a.layout.boxes[a.layout.boxes.Count()].state = kMarked;
    }
    for (int i = 0, n = uniform(0, 40); i < n; ++i) {
      AddLayoutText(a.s.layout, uniform(-9000, 9000), uniform(-9000, 9000),
                    "n" + std::to_string(i) + (uniform(0, 1) ? " #x y" : ""));
      LayoutText& t = a.layout.texts[a.layout.texts.Count()];
      t.property = uint8_t(uniform(0, 4));
      t.visible = t.property >= kPropertyNone ? uint8_t(uniform(0, 1)) : 0;
      t.highLevel = uniform(-2000, 3000);
      t.lowLevel = uniform(-2000, 3000);
      if (t.property >= kPropertyPulse) {
        double time = 0;
        for (double& e : t.edgeTimes) e = (time += uniform(0, 99999) * 1e-11);
      }
      if (uniform(0, 7) == 0) t.state = 0;
    }
    for (int i = 0, n = uniform(0, 20); i < n; ++i) {
      AddResistanceMark(a.s.layout, uniform(-900, 900), uniform(-900, 900), std::to_string(i) + "k");
      if (uniform(0, 7) == 0) a.layout.resistances[a.layout.resistances.Count()].state = 0;
    }
    const std::string path = dir.File("r" + std::to_string(round) + ".msk");
    ASSERT_TRUE(SaveLayoutFile(a.s, path));  // purges: only live records remain in `a`

    Fresh b;
    OpenLayoutFile(b.s, path, ReadMode::Open);
    ASSERT_EQ(b.s.LastError, 0);
    auto boxKeys = [](const Layout& l) {
      std::vector<std::tuple<int, int, int, int, int>> keys;
      for (int i = 1; i <= l.boxes.Count(); ++i) {
        const Box& x = l.boxes[i];
        keys.emplace_back(x.x1, x.y1, x.x2, x.y2, x.layer);
      }
      std::sort(keys.begin(), keys.end());
      return keys;
    };
    ASSERT_EQ(boxKeys(a.layout), boxKeys(b.layout));
    ASSERT_EQ(a.layout.texts.Count(), b.layout.texts.Count());
    for (int i = 1; i <= a.layout.texts.Count(); ++i) {
      const LayoutText &x = a.layout.texts[i], &y = b.layout.texts[i];
      EXPECT_EQ(x.text, y.text);
      EXPECT_EQ(x.x, y.x);
      EXPECT_EQ(x.y, y.y);
      EXPECT_EQ(x.property, y.property);
      EXPECT_EQ(x.visible, y.visible);
      EXPECT_EQ(x.highLevel, y.highLevel);
      EXPECT_EQ(x.lowLevel, y.lowLevel);
      for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(x.edgeTimes[k], y.edgeTimes[k], 0.0051e-9) << "text " << i;
    }
    ASSERT_EQ(a.layout.resistances.Count(), b.layout.resistances.Count());
    for (int i = 1; i <= a.layout.resistances.Count(); ++i) {
      EXPECT_EQ(a.layout.resistances[i].text, b.layout.resistances[i].text);
      EXPECT_EQ(a.layout.resistances[i].x, b.layout.resistances[i].x);
      EXPECT_EQ(a.layout.resistances[i].y, b.layout.resistances[i].y);
    }
  }
}

int ReadText(Fresh& f, const std::string& body, ReadMode mode = ReadMode::Open) {
  return OpenLayoutText(f.s, Crlf(body), "t.msk", mode).malformedLine;
}

TEST(MskReader, BoxLinesWithBadSizesOrCodesAddNothing) {
  Fresh f;
  ReadText(f, "REC(5,5,0,4,ME)\nREC(5,5,4,4,CN)\nREC(5,5,4,4,ZZ)\nREC(+1,-2,3,4,M2)\n");
  ASSERT_EQ(f.layout.boxes.Count(), 2);
  EXPECT_EQ(f.layout.boxes[1].layer, kNwell);
  const Box& b = f.layout.boxes[2];
  EXPECT_EQ(std::tie(b.x1, b.y1, b.x2, b.y2, b.layer),
            std::make_tuple(1, -2, 4, 2, uint8_t(kMetal2)));
  EXPECT_EQ(f.platform.Panel(0), "2 boxes");
}

TEST(MskReader, TextsBeforeTheFirstBoxAreIgnoredWithTheirPropertyLines) {
  Fresh f;
  ReadText(f, "TITLE 1 1  #early\n$1 1000 0 \nREC(0,0,4,4,ME)\nTITLE 2 2  #late\n$0 900 100 \n");
  ASSERT_EQ(f.layout.texts.Count(), 1);
  const LayoutText& t = f.layout.texts[1];
  EXPECT_EQ(t.text, "late");
  EXPECT_EQ(t.property, kPropertyVss);
  EXPECT_EQ(t.highLevel, 900);
  EXPECT_EQ(t.lowLevel, 100);
  EXPECT_EQ(f.layout.boxes.Count(), 1);
}

TEST(MskReader, PropertyLettersMapBack) {
  Fresh f;
  ReadText(f,
           "REC(0,0,4,4,ME)\n"
           "TITLE 0 0  #a\n$v 1000 0 \n"
           "TITLE 1 0  #b\n$- 1000 0 \n"
           "TITLE 2 0  #c\n$p 800 200   1.00   2.00   3.00   4.00 \n"
           "TITLE 3 0  #d\n$U 1000 0   1.00   2.00   3.00   4.00 \n"
           "TITLE 4 0  #e\n$C 1000 0 0.5 1 1.5 2e0\n"
           "TITLE 5 0  #f\nREC(9,9,1,1,ME)\n"
           "TITLE 6 0  #g\n$1 1000 0 \n");
  const auto& t = f.layout.texts;
  ASSERT_EQ(t.Count(), 7);
  EXPECT_EQ(std::tie(t[1].property, t[1].visible), std::make_tuple(uint8_t(2), uint8_t(1)));
  EXPECT_EQ(std::tie(t[2].property, t[2].visible), std::make_tuple(uint8_t(2), uint8_t(0)));
  EXPECT_EQ(std::tie(t[3].property, t[3].visible), std::make_tuple(uint8_t(3), uint8_t(1)));
  EXPECT_DOUBLE_EQ(t[3].edgeTimes[3], 4e-9);
  EXPECT_EQ(t[4].property, kPropertyNone);  // "U" reads its times and stays plain
  EXPECT_EQ(std::tie(t[5].property, t[5].visible), std::make_tuple(uint8_t(4), uint8_t(0)));
  EXPECT_DOUBLE_EQ(t[5].edgeTimes[0], 0.5e-9);
  // A text without a property line swallows the next line whatever it is.
  EXPECT_EQ(t[6].property, kPropertyNone);
  EXPECT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(t[7].property, kPropertyVdd);
}

TEST(MskReader, APropertyLineOfARefusedTextIsDiscarded) {
  Fresh f;
  ReadText(f, "REC(0,0,4,4,ME)\nTITLE 1 1  #a\n$1 1000 0 \nTITLE 1 1  #b\n$0 5 5 \n");
  ASSERT_EQ(f.layout.texts.Count(), 1);
  EXPECT_EQ(f.layout.texts[1].property, kPropertyVdd);
  EXPECT_EQ(f.layout.texts[1].highLevel, 1000);
}

TEST(MskReader, AnEmptyLineSwallowsTheFollowingLine) {
  Fresh f;
  ReadText(f, "REC(0,0,4,4,ME)\n\nREC(0,0,5,5,ME)\nREC(0,0,6,6,ME)\n");
  ASSERT_EQ(f.layout.boxes.Count(), 2);
  EXPECT_EQ(f.layout.boxes[2].x2, 6);
}

TEST(MskReader, TheFirstFfLineEndsTheFile) {
  Fresh f;
  ReadText(f, std::string(kHeader) + "REC(0,0,4,4,ME)\nFFIG x\nREC(0,0,5,5,ME)\n");
  EXPECT_EQ(f.layout.boxes.Count(), 1);
}

TEST(MskReader, InsertBesidePlacesTheFileRightOfTheLayout) {
  Fresh f;  // empty layout: extent (-15, -15, 50, 50)
  ReadText(f, "BB(0,0,10,10)\nREC(0,0,4,4,ME)\nRST 1 1 #1k\nTITLE 2 2  #a\n$- 1000 0 \n",
           ReadMode::InsertBeside);
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(f.layout.boxes[1].x1, 60);
  EXPECT_EQ(f.layout.boxes[1].y1, -15);
  ASSERT_EQ(f.layout.resistances.Count(), 1);
  EXPECT_EQ(f.layout.resistances[1].x, 61);
  ASSERT_EQ(f.layout.texts.Count(), 1);
  EXPECT_EQ(f.layout.texts[1].x, 62);
}

TEST(MskReader, InsertAtThePasteOriginTakesBoxesOnly) {
  Fresh f;
  f.layout.wide.pasteOrigin = {100, 200};
  f.layout.wide.extracted = 1;
  ReadText(f, "BB(-5,-5,10,10)\nREC(-5,-5,4,4,ME)\nRST 1 1 #1k\nTITLE 2 2  #a\n$- 1000 0 \n",
           ReadMode::InsertAtPasteOrigin);
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(f.layout.boxes[1].x1, 100);
  EXPECT_EQ(f.layout.boxes[1].y1, 200);
  EXPECT_EQ(f.layout.texts.Count() + f.layout.resistances.Count(), 0);
  EXPECT_EQ(f.layout.wide.extracted, 0);
}

TEST(MskReader, AMalformedLevelStopsTheReadNamingFileAndLine) {
  Fresh f;
  const int line =
      ReadText(f, "REC(0,0,4,4,ME)\nTITLE 1 1  #a\n$1 1000 0 \nTITLE 2 2  #b\n$1 x1000 0 \n"
                  "REC(0,0,8,8,ME)\n");
  EXPECT_EQ(line, 5);
  EXPECT_EQ(f.s.LastError, kErrorInvalidNumericInput);
  EXPECT_EQ(f.platform.Panel(0), "Invalid numeric input in \"t.msk\" at line 5");
  EXPECT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(f.layout.texts.Count(), 2);
  EXPECT_EQ(f.layout.texts[1].property, kPropertyVdd);
}

TEST(MskReader, AMalformedTimeStopsTheRead) {
  Fresh f;
  ReadText(f, "REC(0,0,4,4,ME)\nTITLE 2 2  #b\n$c 1000 0 1.0 2,5 3 4\nREC(0,0,8,8,ME)\n");
  EXPECT_EQ(f.s.LastError, kErrorInvalidNumericInput);
  EXPECT_EQ(f.layout.boxes.Count(), 1);
}

// A full text table must not cost the boxes after it.
TEST(MskReader, AFullTableLeavesOutOnlyItsOwnRecordsAndCountsThem) {
  Fresh f;
  std::string body = "REC(0,0,4,4,ME)\n";
  for (int i = 0; i < kMaxTexts + 5; ++i)
    body += "TITLE " + std::to_string(i) + " 0  #t\n$- 1000 0 \n";
  body += "REC(0,0,9,9,ME)\n";
  const LayoutReadResult r = OpenLayoutText(f.s, Crlf(body), "t.msk", ReadMode::Open);
  EXPECT_EQ(f.layout.texts.Count(), kMaxTexts);
  EXPECT_EQ(f.s.LastError, kErrorTextTableFull);
  EXPECT_EQ(f.layout.boxes.Count(), 2);
  EXPECT_EQ(r.dropped.texts, 5);
  EXPECT_EQ(r.dropped.boxes, 0);
}

TEST(MskReader, ToleratesUnixLineEndsMissingFinalLineEndAndLongLines) {
  Fresh f;
  const std::string longText(500, 'z');
  OpenLayoutText(f.s,
                 "REC(0,0,4,4,ME)\nTITLE 1 1  #" + longText + "\n$- 1000 0 \nREC(1,1,2,2,PO)",
                 "t.msk", ReadMode::Open);
  EXPECT_EQ(f.s.LastError, 0);
  EXPECT_EQ(f.layout.boxes.Count(), 2);
  ASSERT_EQ(f.layout.texts.Count(), 1);
  EXPECT_EQ(f.layout.texts[1].text, std::string(128, 'z'));
}

TEST(MskReader, CoordinatesBeyondTheLimitAreDropped) {
  Fresh f;
  ReadText(f, "REC(99999999999999999999,0,4,4,ME)\nREC(0,0,2000000000,4,ME)\nREC(0,0,4,4,ME)\n");
  ASSERT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(f.layout.boxes[1].x2, 4);
}

TEST(MskReader, AMissingFileLeavesTheLayoutAndReportsTheIoResult) {
  Fresh f;
  AddBox(f.s.layout, 0, 0, 4, 4, kMetal);
  OpenLayoutFile(f.s, "/nonexistent/none.msk", ReadMode::Open);
  EXPECT_NE(f.s.LastError, 0);
  EXPECT_EQ(f.layout.boxes.Count(), 1);
  EXPECT_EQ(f.platform.Panel(0), "1 boxes");
}

TEST(MskReader, AFileWithoutALayoutLineChangesNothing) {
  for (const ReadMode mode : {ReadMode::Open, ReadMode::InsertBeside}) {
    Fresh f;
    AddBox(f.s.layout, 0, 0, 4, 4, kMetal);
    f.layout.wide.extracted = 1;
    const LayoutReadResult r = OpenLayoutText(f.s, "hello world\r\nfoo\r\n", "hello.msk", mode);
    EXPECT_TRUE(r.notALayout);
    EXPECT_EQ(f.s.LastError, kErrorNotALayout);
    EXPECT_EQ(f.platform.Panel(0), "\"hello.msk\" is not a layout file: no line was recognised");
    EXPECT_EQ(f.layout.boxes.Count(), 1);
    EXPECT_EQ(f.layout.wide.extracted, 1);
  }
  EXPECT_FALSE(HoldsLayoutRecords(""));
  EXPECT_TRUE(HoldsLayoutRecords("hello\nFFIG x\n")) << "an end line alone is an empty layout";
  TempDir dir;
  WriteFile(dir.File("hello.msk"), "hello world");
  EXPECT_TRUE(FileIsNotALayout(dir.File("hello.msk")));
  EXPECT_FALSE(FileIsNotALayout(dir.File("missing.msk"))) << "left to the reader to report";
  EXPECT_FALSE(FileIsNotALayout(testing::DataFile("examples/inverter.msk")));
}

TEST(MskReader, ProgressIsShownEvery256BoxLines) {
  Fresh f;
  std::string body;
  for (int i = 0; i < 600; ++i) body += "REC(" + std::to_string(i) + ",0,1,1,ME)\n";
  ReadText(f, body);
  const auto& h = f.platform.StatusHistory();
  EXPECT_EQ(std::count(h.begin(), h.end(), "256 boxes"), 1);
  EXPECT_EQ(std::count(h.begin(), h.end(), "512 boxes"), 1);
  EXPECT_EQ(h.back(), "600 boxes");
}

TEST(MskReader, ExampleLayoutsLoad) {
  for (const char* name : {"inverter.msk", "nand2.msk", "ring5.msk"}) {
    Fresh f;
    OpenLayoutFile(f.s, testing::DataFile(std::string("examples/") + name), ReadMode::Open);
    EXPECT_EQ(f.s.LastError, 0) << name;
    EXPECT_GT(f.layout.boxes.Count(), 10) << name;
    EXPECT_GE(f.layout.texts.Count(), 3) << name;
  }
}

}  // namespace
}  // namespace tarnisk
