#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <vector>

#include "app/cli.h"
#include "core/rule_file.h"
#include "core/technology.h"
#include "session/editor/view.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"
#include "ui/buffer_surface.h"
#include "session/analysis/drc_command.h"
#include "verify/drc_grid.h"

namespace tarnisk {
namespace {

using testing::DataFile;
using testing::Fresh;

using B = testing::BoxSpec;

// A fresh state with a rule file loaded and the given boxes.
struct Drc : testing::WithRules {
  explicit Drc(const char* rules = "cmos33-5m.rul", std::initializer_list<B> boxes = {})
      : WithRules(rules) {
    Add(boxes);
  }
  DrcReport Run(bool everyCheck = false) {
    return DesignRuleCheckerCommand(s, {.runEveryCheck = everyCheck});
  }
  std::vector<std::string> Labels(const DrcReport& r) const {
    std::vector<std::string> labels;
    for (const DrcViolation& v : r.violations) labels.push_back(v.label);
    return labels;
  }
};

const std::string kErrorsMessage = "Design rule errors detected. Good luck and keep smiling.";

TEST(DrcEdgeCases, NarrowMetalIsOneWidthViolationOfTheRowPass) {
  Drc d("es207.rul", {{0, 0, 2, 10, kMetal}});
  const DrcReport r = d.Run();
  ASSERT_EQ(r.errorCount, 1);
  EXPECT_EQ(r.violations[0].label, "(r501)");
  EXPECT_EQ(r.violations[0].what, "metal width ");
  EXPECT_EQ(r.violations[0].rect, (Rect{0, 0, 2, 10}));
  EXPECT_EQ(r.firstText, "The metal width  is less than 3 lambda (r501)");
  EXPECT_EQ(d.platform.Panel(0), kErrorsMessage);
  EXPECT_EQ(d.platform.Panel(1), "DRC Errors");
  EXPECT_EQ(d.layout.wide.window, (Rect{-20, -20, 22, 30})) << "zoomed on the violation";
}

TEST(DrcEdgeCases, CornerContactIsAnAngleInEitherDiagonal) {
  for (const bool rising : {true, false}) {
    Drc d("es207.rul");
    if (rising) d.Add({{0, 0, 5, 5, kMetal}, {5, 5, 10, 10, kMetal}});
    else d.Add({{0, 5, 5, 10, kMetal}, {5, 0, 10, 5, kMetal}});
    const DrcReport r = d.Run();
    ASSERT_EQ(r.errorCount, 1) << rising;
    EXPECT_EQ(r.violations[0].what, "metal angle ");
    EXPECT_EQ(r.violations[0].label, "(r501)");
    EXPECT_EQ(r.violations[0].rect, (Rect{5, 5, 10, 10}));
  }
}

TEST(DrcEdgeCases, ContactOnPolyAloneButNotUnderMetal) {
  Drc alone("es207.rul", {{-1, -1, 3, 3, kPoly}, {0, 0, 2, 2, kContact}});
  const DrcReport r = alone.Run();
  ASSERT_EQ(r.errorCount, 1);
  EXPECT_EQ(r.violations[0].what, "contact alone here");
  EXPECT_EQ(r.violations[0].label, "");
  EXPECT_EQ(r.firstText, "contact alone here");
  EXPECT_EQ(r.violations[0].rect, (Rect{0, 0, 2, 2}));

  Drc covered("es207.rul", {{-1, -1, 3, 3, kMetal}, {0, 0, 2, 2, kContact}});
  EXPECT_TRUE(covered.Run().Clean());
}

TEST(DrcEdgeCases, UpperMetalsAreCheckedOnlyWhenTheTechnologyHasThem) {
  Drc d("es207.rul", {{0, 0, 1, 1, kVia2}, {5, 0, 6, 1, kMetal3}});
  ASSERT_EQ(d.s.technology.META, 2);
  EXPECT_TRUE(d.Run().Clean());
  d.s.technology.META = 3;
  const DrcReport r = d.Run(true);
  EXPECT_EQ(d.Labels(r), (std::vector<std::string>{"(r801)", "(r801)", "(r901)", "(r901)"}));
}

TEST(DrcEdgeCases, FirstFailingCheckStopsTheRunUnlessEveryCheckIsAsked) {
  Drc d("es207.rul", {{0, 0, 8, 30, kNwell}, {20, 0, 22, 10, kMetal}, {40, 0, 42, 2, kContact}});
  const DrcReport first = d.Run();
  EXPECT_EQ(d.Labels(first), (std::vector<std::string>{"(r101)"}));
  const DrcReport all = d.Run(true);
  EXPECT_EQ(d.Labels(all), (std::vector<std::string>{"(r101)", "(r501)", ""}));
  EXPECT_EQ(all.firstText, first.firstText);
}

TEST(DrcEdgeCases, EachLonelyAreaIsReportedOnceWhenEveryCheckRuns) {
  Drc d("es207.rul", {{0, 0, 2, 2, kContact}, {10, 0, 12, 2, kContact}, {20, 0, 24, 6, kContact},
                      {20, 2, 24, 4, kMetal}, {19, 2, 25, 4, kMetal}});
  const DrcReport r = d.Run(true);
  std::vector<Rect> lonely;
  for (const DrcViolation& v : r.violations)
    if (v.what == "contact alone here") lonely.push_back(v.rect);
  // The third contact is cut in two lonely parts by the metal across it.
  EXPECT_EQ(lonely, (std::vector<Rect>{{0, 0, 2, 2}, {10, 0, 12, 2}, {20, 0, 24, 2}, {20, 4, 24, 6}}));
}

// Boxes with more distinct X coordinates than the grid holds.
void AddColumnsOfBoxes(Drc& d, int layer, int count, int32_t y) {
  for (int i = 0; i < count; ++i) AddBox(d.s.layout, 6 * i, y, 6 * i + 3, y + 10, layer);
}

TEST(DrcOverflow, SkippedCheckMakesTheRunIncompleteNeverClean) {
  Drc d("es207.rul");
  AddColumnsOfBoxes(d, kMetal, 1500, 0);  // 3000 edges and the 2 frame lines
  const DrcReport r = d.Run();
  EXPECT_EQ(r.errorCount, 0);
  EXPECT_FALSE(r.Complete());
  EXPECT_FALSE(r.Clean());
  EXPECT_EQ(r.skipped, (std::vector<std::string>{"metal width and spacing"}));
  EXPECT_EQ(r.maxColumns, kDrcMaxColumns);
  EXPECT_EQ(d.platform.Panel(2), "Drc overflow");
  EXPECT_EQ(d.platform.Panel(1), "DRC Incomplete");
  EXPECT_EQ(d.platform.Panel(0),
            "Design rule check incomplete: 1 check skipped, too many distinct coordinates");
}

TEST(DrcOverflow, DistanceAndGateChecksSayOverflowWithACapital) {
  Drc d("es207.rul");
  AddColumnsOfBoxes(d, kPoly, 1499, 0);  // the poly check itself just fits
  d.Add({{-100, 0, -98, 2, kVia}, {-90, 0, -80, 6, kDiffn}});
  const DrcReport r = d.Run();
  EXPECT_EQ(r.skipped, (std::vector<std::string>{"MOS gate size", "diffn-poly extension",
                                                 "poly-diffn extension", "via-poly distance"}));
  EXPECT_EQ(d.platform.Panel(2), "Drc Overflow");
  EXPECT_EQ(r.errorCount, 0);
  EXPECT_EQ(d.platform.Panel(0),
            "Design rule check incomplete: 4 checks skipped, too many distinct coordinates");
}

TEST(DrcOverflow, ErrorsAfterASkippedCheckSayBoth) {
  Drc d("es207.rul", {{-100, 0, -99, 1, kVia}});
  AddColumnsOfBoxes(d, kMetal, 1500, 0);
  const DrcReport r = d.Run();
  EXPECT_EQ(d.Labels(r), (std::vector<std::string>{"(r601)", "(r601)"}));
  EXPECT_EQ(d.platform.Panel(0),
            "Design rule errors detected. Design rule check incomplete: 1 check skipped, too many "
            "distinct coordinates");
}

TEST(DrcOverflow, RowsOverflowTooAndTheMemoryUseFollowsTheLargestGrid) {
  Drc d("es207.rul");
  for (int i = 0; i < 1000; ++i) AddBox(d.s.layout, 0, 8 * i, 10, 8 * i + 4, kMetal2);
  EXPECT_EQ(d.Run().skipped, (std::vector<std::string>{"metal2 width and spacing"}));

  Drc fits("es207.rul");
  for (int i = 0; i < 999; ++i) AddBox(fits.s.layout, 0, 8 * i, 10, 8 * i + 4, kMetal2);
  const DrcReport r = fits.Run();
  EXPECT_TRUE(r.Clean());
  EXPECT_EQ(r.maxRows, 2000);
  EXPECT_EQ(fits.platform.Panel(0), "No design rule error. Congratulations (100.0% memory used)");
}

TEST(DrcExamples, BundledLayoutsAreCleanUnderBothRuleFiles) {
  for (const char* rules : {"es207.rul", "cmos33-5m.rul"})
    for (const char* layout : {"inverter.msk", "nand2.msk", "ring5.msk"}) {
      testing::TempDir dir;
      std::ostringstream out, err;
      const std::string path = DataFile(std::string("examples/") + layout);
      const char* argv[] = {"tarnisk-cli", "drc", path.c_str(), "--rules", nullptr, "--quiet"};
      const std::string rulePath = DataFile(rules);
      argv[4] = rulePath.c_str();
      EXPECT_EQ(RunCli(6, argv, out, err), kExitOk) << layout << " " << rules << ": " << out.str();
      EXPECT_EQ(out.str().rfind("No design rule error. Congratulations (", 0), 0u) << out.str();
    }
}

TEST(DrcExamples, ChecksRunInTheirOrder) {
  const std::string path = DataFile("examples/inverter.msk");
  std::ostringstream out, err;
  const std::string rules = DataFile("cmos33-5m.rul");
  const char* argv[] = {"tarnisk-cli", "drc", path.c_str(), "--rules", rules.c_str(), "--verbose"};
  ASSERT_EQ(RunCli(6, argv, out, err), kExitOk);
  std::string subjects = err.str();
  subjects = subjects.substr(subjects.find("Design Rule Checker ...\n"));
  EXPECT_EQ(subjects,
            "Design Rule Checker ...\nnwell\ndiffp\ndiffn\npoly\ncontact\nmetal\n"
            "Scan lonely contact\nCheck MOS gates\ndiffn-poly\ndiffp-poly\nnwell-diffn\n"
            "diffp-diffn\nnwell-diffp\npoly-diffp\npoly-diffn\nmetal-contact\npoly-contact\n"
            "diffn-contact\ndiffp-contact\ncontact-poly\n" +
                out.str());
}

struct Seeded {
  const char* name;
  std::vector<B> boxes;
  const char* label;
  const char* firstText = nullptr;
};

// One violation of each rule in an otherwise clean layout (five-metal rules).
const std::vector<Seeded> kSeeded = {
    {"nwell width", {{0, 0, 10, 30, kNwell}}, "(r101)"},
    {"nwell spacing", {{0, 0, 20, 20, kNwell}, {25, 0, 45, 20, kNwell}}, "(r102)"},
    {"diffp width", {{0, 0, 20, 20, kNwell}, {6, 6, 8, 14, kDiffp}}, "(r201)"},
    {"diffn width", {{0, 0, 2, 10, kDiffn}}, "(r201)"},
    {"diffn spacing", {{0, 0, 5, 5, kDiffn}, {7, 0, 12, 5, kDiffn}}, "(r202)"},
    {"poly width", {{0, 0, 1, 10, kPoly}}, "(r301)"},
    {"poly spacing", {{0, 0, 2, 10, kPoly}, {4, 0, 6, 10, kPoly}}, "(r304)"},
    {"contact width", {{0, 0, 3, 3, kMetal}, {1, 1, 2, 2, kContact}}, "(r401)"},
    {"contact spacing", {{0, 0, 8, 4, kMetal}, {1, 1, 3, 3, kContact}, {5, 1, 7, 3, kContact}}, "(r402)"},
    {"metal width", {{0, 0, 2, 10, kMetal}}, "(r501)"},
    {"metal spacing", {{0, 0, 5, 5, kMetal}, {7, 0, 12, 5, kMetal}}, "(r502)",
     "The  spacing between metal is less than 3 lambda (r502)"},
    {"via width", {{0, 0, 3, 3, kMetal}, {0, 0, 3, 3, kMetal2}, {1, 1, 2, 2, kVia}}, "(r601)"},
    {"via spacing",
     {{0, 0, 8, 4, kMetal}, {0, 0, 8, 4, kMetal2}, {1, 1, 3, 3, kVia}, {5, 1, 7, 3, kVia}},
     "(r602)"},
    {"metal2 width", {{0, 0, 2, 10, kMetal2}}, "(r701)"},
    {"metal2 spacing", {{0, 0, 5, 5, kMetal2}, {7, 0, 12, 5, kMetal2}}, "(r702)"},
    {"via2 width", {{0, 0, 3, 3, kMetal2}, {0, 0, 3, 3, kMetal3}, {1, 1, 2, 2, kVia2}}, "(r801)"},
    {"via2 spacing",
     {{0, 0, 8, 4, kMetal2}, {0, 0, 8, 4, kMetal3}, {1, 1, 3, 3, kVia2}, {5, 1, 7, 3, kVia2}},
     "(r802)"},
    {"metal3 width", {{0, 0, 2, 10, kMetal3}}, "(r901)"},
    {"metal3 spacing", {{0, 0, 5, 5, kMetal3}, {7, 0, 12, 5, kMetal3}}, "(r902)"},
    {"via3 width", {{0, 0, 3, 3, kMetal3}, {0, 0, 3, 3, kMetal4}, {1, 1, 2, 2, kVia3}}, "(ra01)"},
    {"via3 spacing",
     {{0, 0, 8, 4, kMetal3}, {0, 0, 8, 4, kMetal4}, {1, 1, 3, 3, kVia3}, {5, 1, 7, 3, kVia3}},
     "(ra02)"},
    {"metal4 width", {{0, 0, 2, 10, kMetal4}}, "(rb01)"},
    {"metal4 spacing", {{0, 0, 5, 5, kMetal4}, {7, 0, 12, 5, kMetal4}}, "(rb02)"},
    {"via4 width", {{0, 0, 5, 5, kMetal4}, {0, 0, 5, 5, kMetal5}, {2, 2, 3, 3, kVia4}}, "(rc01)"},
    {"via4 spacing",
     {{0, 0, 9, 5, kMetal4}, {0, 0, 9, 5, kMetal5}, {1, 1, 3, 3, kVia4}, {5, 1, 7, 3, kVia4}},
     "(rc02)"},
    {"metal5 width", {{0, 0, 4, 10, kMetal5}}, "(rd01)"},
    {"metal5 spacing", {{0, 0, 6, 6, kMetal5}, {10, 0, 16, 6, kMetal5}}, "(rd02)"},
    {"lonely contact", {{-1, -1, 3, 3, kPoly}, {0, 0, 2, 2, kContact}}, ""},
    {"nMOS gate", {{0, 0, 4, 10, kPoly}, {3, 2, 10, 8, kDiffn}}, "(r303)",
     "The gaten width  is less than 2 lambda (r303)"},
    {"pMOS gate", {{-10, -10, 30, 30, kNwell}, {0, 0, 4, 10, kPoly}, {3, 2, 10, 8, kDiffp}},
     "(r303)", "The gatep width  is less than 2 lambda (r303)"},
    {"diffn beyond poly", {{0, 0, 7, 6, kDiffn}, {3, -2, 5, 8, kPoly}}, "(r306)",
     "The  extra diffn surronding poly is less than 3 lambda (r306)"},
    {"diffp beyond poly", {{-10, -10, 20, 20, kNwell}, {0, 0, 7, 6, kDiffp}, {3, -2, 5, 8, kPoly}},
     "(r306)"},
    {"nwell to diffn", {{0, 0, 20, 20, kNwell}, {22, 0, 30, 6, kDiffn}}, "(r204)",
     "The  distance between nwell and diffn is less than 6 lambda (r204)"},
    {"diffp to diffn", {{0, 0, 40, 40, kNwell}, {6, 6, 16, 16, kDiffp}, {18, 6, 28, 16, kDiffn}},
     "(r205)"},
    {"nwell around diffp", {{0, 0, 30, 30, kNwell}, {3, 6, 13, 16, kDiffp}}, "(r203)"},
    {"poly beyond diffn", {{0, 0, 10, 6, kDiffn}, {4, -1, 6, 8, kPoly}}, "(r307)",
     "The  extra poly surronding diffn is less than 2 lambda (r307)"},
    {"poly beyond diffp", {{-10, -10, 20, 20, kNwell}, {0, 0, 10, 6, kDiffp}, {4, -1, 6, 8, kPoly}},
     "(r307)"},
    {"metal around contact, left", {{0, 0, 4, 4, kMetal}, {0, 1, 2, 3, kContact}}, "(r403)",
     "The  extra metal surrounding contact  is less than 1 lambda (r403)"},
    {"metal around contact, below", {{0, 0, 4, 4, kMetal}, {1, 0, 3, 2, kContact}}, "(r403)",
     "The  extra metal surronding contact  is less than 1 lambda (r403)"},
    {"poly around contact", {{0, 0, 4, 4, kMetal}, {0, 0, 3, 4, kPoly}, {1, 1, 3, 3, kContact}},
     "(r404)"},
    {"diffn around contact", {{0, 0, 4, 4, kMetal}, {0, 0, 3, 4, kDiffn}, {1, 1, 3, 3, kContact}},
     "(r405)"},
    {"contact to via",
     {{-1, -1, 6, 3, kMetal}, {0, 0, 2, 2, kContact}, {3, 0, 5, 2, kVia}, {2, -1, 6, 3, kMetal2}},
     "(r603)"},
    {"contact to poly", {{-1, -1, 3, 3, kMetal}, {0, 0, 2, 2, kContact}, {3, -2, 5, 6, kPoly}},
     "(r406)"},
    {"via to poly",
     {{-1, -1, 3, 3, kMetal}, {-1, -1, 3, 3, kMetal2}, {0, 0, 2, 2, kVia}, {3, -2, 5, 6, kPoly}},
     "(r605)"},
    {"metal around via", {{0, -1, 3, 3, kMetal}, {-1, -1, 3, 3, kMetal2}, {0, 0, 2, 2, kVia}},
     "(r604)"},
    {"metal2 around via", {{-1, -1, 3, 3, kMetal}, {0, -1, 3, 3, kMetal2}, {0, 0, 2, 2, kVia}},
     "(r604)"},
    {"via to via2",
     {{-1, -1, 3, 3, kMetal}, {0, 0, 2, 2, kVia}, {-1, -1, 6, 3, kMetal2}, {3, 0, 5, 2, kVia2},
      {2, -1, 6, 3, kMetal3}},
     "(r803)"},
    {"metal3 around via2", {{-1, -1, 3, 3, kMetal2}, {0, -1, 3, 3, kMetal3}, {0, 0, 2, 2, kVia2}},
     "(r804)"},
    {"via2 to via3",
     {{-1, -1, 3, 3, kMetal2}, {0, 0, 2, 2, kVia2}, {-1, -1, 6, 3, kMetal3}, {3, 0, 5, 2, kVia3},
      {2, -1, 6, 3, kMetal4}},
     "(ra03)"},
    {"metal4 around via3", {{-1, -1, 3, 3, kMetal3}, {0, -1, 3, 3, kMetal4}, {0, 0, 2, 2, kVia3}},
     "(ra04)"},
    {"via3 to via4",
     {{-1, -1, 3, 3, kMetal3}, {0, 0, 2, 2, kVia3}, {-1, -1, 6, 3, kMetal4}, {3, 0, 5, 2, kVia4},
      {2, -2, 7, 3, kMetal5}},
     "(rc03)"},
    {"metal5 around via4", {{-1, -1, 3, 3, kMetal4}, {0, -2, 5, 3, kMetal5}, {0, 0, 2, 2, kVia4}},
     "(rc04)"},
};

TEST(DrcSeeded, EachRuleIsReportedWithItsLabelAndNothingElse) {
  for (const Seeded& c : kSeeded) {
    Drc d;
    for (const B& b : c.boxes) d.Add({b});
    const DrcReport r = d.Run(true);
    ASSERT_GT(r.errorCount, 0) << c.name;
    for (const DrcViolation& v : r.violations)
      EXPECT_EQ(v.label, c.label) << c.name << ": " << v.what;
    if (c.firstText) {
      EXPECT_EQ(r.firstText, c.firstText) << c.name;
    }
  }
}

TEST(DrcSeeded, GatesAreMeasuredWithoutGateLayerBoxes) {
  // A well-drawn transistor passes; the narrow gate above is found although
  // the layout holds no box on the gaten layer.
  Drc d("cmos33-5m.rul", {{0, 0, 10, 6, kDiffn}, {4, -2, 6, 8, kPoly}});
  EXPECT_TRUE(d.Run().Clean());
  d.s.technology.R303 = 3;
  const DrcReport r = d.Run();
  ASSERT_EQ(r.errorCount, 1);
  EXPECT_EQ(r.violations[0].rect, (Rect{4, 0, 6, 6}));
}

TEST(DrcView, MarksAndExplanationAreDrawnInWhite) {
  Drc d("es207.rul", {{0, 0, 2, 10, kMetal}});
  BufferSurface surface(400, 300);
  AttachSurface(d.s, &surface);
  d.Run();
  const Colour white = MakeColour(255, 255, 255);
  ASSERT_FALSE(surface.Texts().empty());
  const BufferSurface::TextItem& text = surface.Texts().back();
  EXPECT_EQ(text.text, "The metal width  is less than 3 lambda (r501)");
  EXPECT_EQ(text.pointSize, 9);
  EXPECT_EQ(text.colour, white);
  EXPECT_EQ(text.x, (LambdaToPixelX(d.s, 0) + LambdaToPixelX(d.s, 2)) / 2);
  EXPECT_EQ(text.y, (LambdaToPixelY(d.s, 0) + LambdaToPixelY(d.s, 10)) / 2 + 10);
  // The end bars across the measured width, at mid height.
  const int cy = text.y - 10;
  EXPECT_EQ(surface.At(LambdaToPixelX(d.s, 0), cy - 2), white);
  EXPECT_EQ(surface.At(LambdaToPixelX(d.s, 2), cy + 2), white);
  EXPECT_EQ(d.s.view.colours.ruler, MakeColour(0, 255, 0)) << "the ruler colour is restored";
}

// The list beside the drawing comes from a second run through every check:
// the status line, the verdict and the view stay those of the user's check;
// choosing a violation zooms on it and writes its explanation.
TEST(DrcView, TheListOfEveryViolationLeavesTheCheckersMessages) {
  Drc d("es207.rul", {{0, 0, 1, 20, kPoly}, {200, 0, 201, 20, kMetal}, {100, 0, 104, 4, kContact}});
  BufferSurface surface(400, 300);
  AttachSurface(d.s, &surface);
  const DrcReport shown = d.Run();
  const Rect window = d.layout.wide.window;
  const std::vector<std::string> panels = {d.platform.Panel(0), d.platform.Panel(1),
                                           d.platform.Panel(2)};
  const DrcReport all = ListEveryViolation(d.s);
  EXPECT_EQ((std::vector<std::string>{d.platform.Panel(0), d.platform.Panel(1),
                                      d.platform.Panel(2)}),
            panels);
  EXPECT_EQ(d.layout.wide.window, window);
  ASSERT_EQ(shown.violations.size(), 1u);
  ASSERT_EQ(all.violations.size(), 3u);
  EXPECT_EQ(DrcExplanation(all.violations[0]), shown.firstText);
  EXPECT_EQ(DrcExplanation(all.violations[1]), "The metal width  is less than 3 lambda (r501)");
  EXPECT_EQ(DrcExplanation(all.violations[2]), "contact alone here");
  EXPECT_EQ(ViolationLocation(all.violations[1]), "200,0 - 201,20");

  ShowViolation(d.s, all.violations, 1);
  EXPECT_EQ(d.layout.wide.window, (Rect{180, -20, 221, 40}));
  EXPECT_EQ(surface.Texts().back().text, "The metal width  is less than 3 lambda (r501)");
}

// The grid the plain way: coordinates inserted one by one into sorted lists
// of fixed capacity, every box painted cell by cell.
struct PlainGrid {
  std::vector<int32_t> xs{0}, ys{0};
  bool overflow = false;
  int maxColumns = 0, maxRows = 0;
  std::vector<uint8_t> cells;

  void Insert(std::vector<int32_t>& list, int32_t v, int capacity, int& longest) {
    const auto at = std::lower_bound(list.begin() + 1, list.end(), v);
    if (at != list.end() && *at == v) return;
    if (int(list.size()) - 1 >= capacity) {
      overflow = true;
      return;
    }
    list.insert(at, v);
    longest = std::max(longest, int(list.size()) - 1);
  }
  int Index(const std::vector<int32_t>& list, int32_t v) const {
    return int(std::lower_bound(list.begin() + 1, list.end(), v) - list.begin());
  }
  void Build(const Layout& l, const std::vector<DrcPaint>& paints) {
    xs = ys = {0};
    overflow = false;
    Insert(xs, l.wide.extent.xmin - 1, kDrcMaxColumns, maxColumns);
    Insert(xs, l.wide.extent.xmax + 1, kDrcMaxColumns, maxColumns);
    Insert(ys, l.wide.extent.ymin - 1, kDrcMaxRows, maxRows);
    Insert(ys, l.wide.extent.ymax + 1, kDrcMaxRows, maxRows);
    for (const DrcPaint& p : paints)
      for (int b = l.wide.layerFirst[p.layer]; b <= l.wide.layerLast[p.layer]; ++b) {
        const Box& box = l.boxes[b];
        Insert(xs, box.x1, kDrcMaxColumns, maxColumns);
        Insert(xs, box.x2, kDrcMaxColumns, maxColumns);
        Insert(ys, box.y1, kDrcMaxRows, maxRows);
        Insert(ys, box.y2, kDrcMaxRows, maxRows);
      }
    if (overflow) return;
    const int height = int(ys.size()) + 1;
    cells.assign(size_t(xs.size() + 1) * height, 0);
    for (const DrcPaint& p : paints)
      for (int b = l.wide.layerFirst[p.layer]; b <= l.wide.layerLast[p.layer]; ++b) {
        const Box& box = l.boxes[b];
        for (int i = Index(xs, box.x1); i < Index(xs, box.x2); ++i)
          for (int j = Index(ys, box.y1); j < Index(ys, box.y2); ++j)
            cells[size_t(i) * height + j] |= p.code;
      }
  }
};

// The grid's cells in the plain grid's order (column by column, frame included).
std::vector<uint8_t> CellsByColumn(const DrcLines& lines, bool transposed) {
  std::vector<uint8_t> cells;
  const int columns = (transposed ? lines.length : lines.count) + 2;
  const int rows = (transposed ? lines.count : lines.length) + 2;
  for (int i = 0; i < columns; ++i)
    for (int j = 0; j < rows; ++j) cells.push_back(transposed ? lines.At(j, i) : lines.At(i, j));
  return cells;
}

TEST(DrcGridTest, SameListsAndCellsAsThePlainGridOnRandomLayouts) {
  std::mt19937 rng(7);
  int overflows = 0;
  for (int round = 0; round < 12; ++round) {
    Fresh f;
    const bool wide = round >= 10;  // overflows when the three layers are painted together
    const int count = wide ? 3000 : 30 + 60 * round;
    std::uniform_int_distribution<int> pos(-400, wide ? 40000 : 400), size(1, 60),
        layer(kDiffp, kPoly);
    for (int i = 0; i < count; ++i) {
      const int x = pos(rng), y = pos(rng) / 4;
      AddBox(f.s.layout, x, y, x + size(rng), y + size(rng), layer(rng));
    }
    Purge(f.layout);
    OrderBoxesByLayer(f.s.layout, f.s.progress);
    ComputeExtent(f.layout);
    DrcGrid grid(f.layout);
    PlainGrid plain;
    for (const std::vector<DrcPaint>& paints :
         {std::vector<DrcPaint>{{kPoly, 1}}, {{kPoly, 1}, {kDiffn, 2}, {kDiffp, 4}},
          {{kContact, 1}, {kDiffn, 2}}}) {
      plain.Build(f.layout, paints);
      ASSERT_EQ(grid.Build(paints), !plain.overflow) << round;
      EXPECT_EQ(grid.MaxColumns(), plain.maxColumns);
      EXPECT_EQ(grid.MaxRows(), plain.maxRows);
      overflows += plain.overflow;
      if (plain.overflow) continue;
      std::vector<int32_t> xs{0}, ys{0};
      for (int i = 1; i <= grid.NX(); ++i) xs.push_back(grid.X(i));
      for (int j = 1; j <= grid.NY(); ++j) ys.push_back(grid.Y(j));
      ASSERT_EQ(xs, plain.xs) << round;
      ASSERT_EQ(ys, plain.ys) << round;
      EXPECT_TRUE(CellsByColumn(grid.Columns(), false) == plain.cells) << round;
      EXPECT_TRUE(CellsByColumn(grid.Rows(), true) == plain.cells) << round;
    }
  }
  EXPECT_GT(overflows, 0);
}

TEST(DrcRandom, EditorRunIsTheStartOfTheFullRunAndMarksHaveASize) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    Drc d;
    for (const RuleKey& k : RuleKeys()) d.s.technology.*k.field = 1 + int(rng() % 6);
    std::uniform_int_distribution<int> pos(0, 120), size(1, 12), layer(kNwell, kMetal5);
    for (int i = 0; i < 40 + 10 * round; ++i) {
      const int x = pos(rng), y = pos(rng);
      AddBox(d.s.layout, x, y, x + size(rng), y + size(rng), layer(rng));
    }
    const DrcReport all = d.Run(true), first = d.Run();
    ASSERT_TRUE(all.Complete());
    ASSERT_EQ(size_t(all.errorCount), all.violations.size());
    ASSERT_LE(first.violations.size(), all.violations.size());
    for (size_t i = 0; i < first.violations.size(); ++i) {
      EXPECT_EQ(first.violations[i].what, all.violations[i].what) << round << " " << i;
      EXPECT_EQ(first.violations[i].rect, all.violations[i].rect) << round << " " << i;
    }
    const Rect& e = d.layout.wide.extent;
    for (const DrcViolation& v : all.violations) {
      EXPECT_LT(v.rect.xmin, v.rect.xmax) << v.what;
      EXPECT_LT(v.rect.ymin, v.rect.ymax) << v.what;
      EXPECT_TRUE(v.rect.xmin >= e.xmin - 1 && v.rect.xmax <= e.xmax + 1 &&
                  v.rect.ymin >= e.ymin - 1 && v.rect.ymax <= e.ymax + 1)
          << v.what;
    }
  }
}

using testing::CliResult;
constexpr auto Tool = testing::RunTool;

TEST(DrcCli, JsonKeysAndExitStatuses) {
  testing::TempDir dir;
  const std::string rules = DataFile("es207.rul");
  const CliResult clean =
      Tool({"drc", DataFile("examples/nand2.msk"), "--rules", rules, "--json", "--quiet"});
  EXPECT_EQ(clean.status, kExitOk) << clean.err;
  for (const char* key : {"{\"errors\":0,\"complete\":true,\"skipped\":[],\"message\":\"No design rule error. Congratulations (",
                          "\"verdict\":\"No Error\"", "\"first\":null", "\"violations\":[]",
                          "\"max_columns\":", "\"max_rows\":"})
    EXPECT_NE(clean.out.find(key), std::string::npos) << key << " in " << clean.out;

  const std::string bad = dir.File("bad.msk");
  testing::WriteFile(bad, "REC(0,0,2,10,ME)\r\nREC(30,0,8,30,NW)\r\n");
  const CliResult first = Tool({"drc", bad, "--rules", rules, "--json", "--quiet"});
  EXPECT_EQ(first.status, kExitProblems);
  EXPECT_NE(first.out.find("{\"errors\":1,\"complete\":true,\"skipped\":[],\"message\":\"" +
                           kErrorsMessage + "\",\"verdict\":\"DRC Errors\",\"first\":{\"text\":"
                           "\"The nwell width  is less than 10 lambda (r101)\",\"label\":\"(r101)\","
                           "\"rect\":[30,0,38,30]},\"violations\":[{\"label\":\"(r101)\",\"what\":"
                           "\"nwell width \",\"rect\":[30,0,38,30]}],"),
            std::string::npos)
      << first.out;
  const CliResult all = Tool({"drc", bad, "--rules", rules, "--all", "--quiet"});
  EXPECT_EQ(all.status, kExitProblems);
  EXPECT_EQ(all.out, "(r101) nwell width  at 30,0,38,30\n(r501) metal width  at 0,0,2,10\n" +
                         kErrorsMessage + "\n");

  const std::string wide = dir.File("wide.msk");
  std::string boxes;
  for (int i = 0; i < 1500; ++i)
    boxes += "REC(" + std::to_string(6 * i) + ",0,3,10,ME)\r\n";
  testing::WriteFile(wide, boxes);
  const CliResult incomplete = Tool({"drc", wide, "--rules", rules, "--json", "--quiet"});
  EXPECT_EQ(incomplete.status, kExitProblems);
  EXPECT_NE(incomplete.out.find("\"errors\":0,\"complete\":false,\"skipped\":[\"metal width and spacing\"]"),
            std::string::npos)
      << incomplete.out;

  EXPECT_EQ(Tool({"drc", dir.File("missing.msk"), "--rules", rules, "--quiet"}).status, kExitUsage);
  EXPECT_EQ(Tool({"drc", bad, "--rules", rules, "--png"}).status, kExitUsage);
}

TEST(DrcCli, PngShowsTheMarkedView) {
  testing::TempDir dir;
  const std::string bad = dir.File("bad.msk"), png = dir.File("out.png");
  testing::WriteFile(bad, "REC(0,0,2,10,ME)\r\n");
  const CliResult r = Tool({"drc", bad, "--rules", DataFile("es207.rul"), "--png", png, "--quiet"});
  EXPECT_EQ(r.status, kExitProblems) << r.err;
  EXPECT_EQ(testing::ReadFile(png).substr(1, 3), "PNG");
  EXPECT_EQ(Tool({"drc", bad, "--png", dir.File("no/such/dir.png"), "--quiet"}).status, kExitUsage);
}

}  // namespace
}  // namespace tarnisk
