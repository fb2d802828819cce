// Other tools as peers: KLayout reads the GDSII we write (every rectangle and
// label at true size on its layer number) and writes CIF that we read back;
// Magic writes CIF and GDSII that we read. Skipped when a tool is missing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "interchange/cif_reader.h"
#include "interchange/gds_file.h"
#include "interchange/layout_files.h"
#include "session/analysis/extract_command.h"
#include "session/session.h"
#include "tests/interchange_support.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

using testing::Tables;

bool Installed(const std::string& tool) {
  return std::system(("command -v " + tool + " > /dev/null 2>&1").c_str()) == 0;
}

// ---------------------------------------------------------------- KLayout

// Shapes and texts as KLayout reports them (tests/gds_klayout_dump.py).
using Shape = std::tuple<int, int, int, int, int, int>;  // number, datatype, box
using Label = std::tuple<int, int, int, std::string>;    // number, x, y, text
struct Dump {
  double dbu = 0;
  std::string error;
  std::multiset<Shape> shapes;
  std::multiset<Label> labels;
  int notBoxes = 0;
};

std::map<std::string, Dump> ParseDump(const std::string& path) {
  std::map<std::string, Dump> dumps;
  std::ifstream in(path);
  Dump* current = nullptr;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "FILE") current = &dumps[line.substr(5)];
    if (!current) continue;
    if (kind == "DBU") words >> current->dbu;
    if (kind == "ERROR") current->error = line;
    if (kind == "S") {
      int number, datatype, x1, y1, x2, y2, points, box;
      words >> number >> datatype >> x1 >> y1 >> x2 >> y2 >> points >> box;
      current->shapes.insert({number, datatype, x1, y1, x2, y2});
      current->notBoxes += points != 4 || box != 1;
    }
    if (kind == "T") {
      int number, datatype, x, y;
      words >> number >> datatype >> x >> y;
      std::string text;
      std::getline(words >> std::ws, text);
      current->labels.insert({number, x, y, text});
    }
  }
  return dumps;
}

struct Case {
  std::string name, rules;
  std::unique_ptr<Layout> layout;
  std::string gds;
};

// Every example with both rule files and two random layouts, written once
// and read by one KLayout run, which also writes each as CIF.
class KLayoutPeer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!Installed("klayout")) return;
    dir_ = new testing::TempDir;
    cases_ = new std::vector<Case>;
    for (const char* rules : {"es207.rul", "cmos33-5m.rul"}) {
      for (const char* example : {"inverter.msk", "nand2.msk", "ring5.msk"})
        Add(std::string(example) + "-" + rules, rules, testing::ExampleLayout(example, rules));
      Add(std::string("random-") + rules, rules, testing::RandomLayout(rules, 21, 2000, 60));
    }
    std::string list;
    for (const Case& c : *cases_) list += c.gds + "\n";
    testing::WriteFile(dir_->File("files.txt"), list);
    const std::string command = "klayout -b -rd files=" + dir_->File("files.txt") +
                                " -rd out=" + dir_->File("dump.txt") + " -rd cifnames=" +
                                CifNames() + " -r " + TARNISK_SOURCE_DIR +
                                "/tests/gds_klayout_dump.py > " + dir_->File("klayout.log") +
                                " 2>&1";
    ran_ = std::system(command.c_str()) == 0;
    dumps_ = new std::map<std::string, Dump>(ParseDump(dir_->File("dump.txt")));
  }

  static void TearDownTestSuite() {
    delete dumps_, delete cases_, delete dir_;
    dumps_ = nullptr, cases_ = nullptr, dir_ = nullptr;
  }

  void SetUp() override {
    if (!dir_) GTEST_SKIP() << "klayout is not installed";
    ASSERT_TRUE(ran_) << testing::ReadFile(dir_->File("klayout.log"));
  }

  static void Add(const std::string& name, const std::string& rules,
                  std::unique_ptr<Layout> layout) {
    const std::string path = dir_->File(name + ".gds");
    testing::WriteFile(path, FormatGds(*layout, Tables(rules).technology, name, nullptr));
    cases_->push_back({name, rules, std::move(layout), path});
  }

  // Both rule files give the same numbers and names; texts take the
  // writer's substitute number.
  static std::string CifNames() {
    const LayerTable& layers = Tables("es207.rul").layers;
    const GdsLayerNumbers numbers = ChooseGdsLayerNumbers(layers);
    std::string map =
        std::to_string(numbers.text) + "=" + Tables("es207.rul").technology.CifTextLayer;
    for (int layer = 1; layer <= kLayerCount; ++layer)
      if (numbers.layer[layer] != 0)
        map += "," + std::to_string(numbers.layer[layer]) + "=" + layers[layer].cifName;
    return map;
  }

  static inline testing::TempDir* dir_ = nullptr;
  static inline std::vector<Case>* cases_ = nullptr;
  static inline std::map<std::string, Dump>* dumps_ = nullptr;
  static inline bool ran_ = false;
};

TEST_F(KLayoutPeer, ReadsOurGdsWithEveryRectangleAndLabelAtTrueSize) {
  for (const Case& c : *cases_) {
    SCOPED_TRACE(c.name);
    const Dump& dump = (*dumps_)[c.gds];
    ASSERT_TRUE(dump.error.empty()) << dump.error;
    // One database unit is one lambda, given in microns.
    EXPECT_DOUBLE_EQ(dump.dbu, Tables(c.rules).technology.LAMB);
    const GdsLayerNumbers numbers = ChooseGdsLayerNumbers(c.layout->layers);
    std::multiset<Shape> shapes;
    for (const ImportedBox& b : testing::LiveBoxes(*c.layout)) {
      shapes.insert({numbers.layer[b.layer], 0, b.r.xmin, b.r.ymin, b.r.xmax, b.r.ymax});
      if (b.layer == kDiffn || b.layer == kDiffp)  // and its active-area mask
        shapes.insert({numbers.layer[kAarea], 0, b.r.xmin, b.r.ymin, b.r.xmax, b.r.ymax});
    }
    std::multiset<Label> labels;
    for (const ImportedText& t : testing::LiveTexts(*c.layout))
      labels.insert({numbers.text, t.x, t.y, t.text});
    EXPECT_EQ(dump.notBoxes, 0);
    EXPECT_EQ(dump.shapes, shapes);
    EXPECT_EQ(dump.labels, labels);
  }
}

TEST_F(KLayoutPeer, OurCifReaderReadsTheCifKLayoutWritesFromIt) {
  for (const Case& c : *cases_) {
    SCOPED_TRACE(c.name);
    const ImportedLayout in = ReadCif(testing::ReadFile(c.gds + ".cif"), Tables(c.rules).layers,
                                      Tables(c.rules).technology);
    ASSERT_TRUE(in.error.empty()) << in.error;
    EXPECT_EQ(in.dropped, (std::map<std::string, int>{}));
    auto back = testing::LayoutFrom(in, c.layout->layers);
    EXPECT_EQ(testing::LiveBoxes(*back), testing::LiveBoxes(*c.layout));
    EXPECT_EQ(testing::LiveTexts(*back), testing::LiveTexts(*c.layout));
  }
}

// ---------------------------------------------------------------- Magic

TEST(MagicPeer, ReadsTheCifAndGdsMagicWrites) {
  if (!Installed("magic")) GTEST_SKIP() << "magic is not installed";
  testing::TempDir dir;
  testing::WriteFile(dir.File("peer.tcl"),
                     "tech load scmos\ncellname rename (UNNAMED) peer\n"
                     "box 0 0 10 4\npaint metal1\nbox 0 10 4 20\npaint poly\n"
                     "box 12 0 20 6\npaint metal2\nbox 2 2 6 6\nlabel hello\n"
                     "box 14 2 14 2\nlabel out\n"
                     "cif write peer\ngds write peer\nquit -noprompt\n");
  const std::string command = "cd " + dir.Path().string() +
                              " && magic -dnull -noconsole -T scmos peer.tcl > magic.log 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << testing::ReadFile(dir.File("magic.log"));
  // Magic's scmos output style draws lambda as 1 um; its layer names and
  // numbers are those of the bundled rule files.
  Technology micron = Tables("es207.rul").technology;
  micron.LAMB = 1.0;
  const LayerTable& layers = Tables("es207.rul").layers;
  const std::vector<ImportedBox> boxes = testing::Sorted(
      {{{0, 0, 10, 4}, kMetal}, {{0, 10, 4, 20}, kPoly}, {{12, 0, 20, 6}, kMetal2}});

  const ImportedLayout cif = ReadCif(testing::ReadFile(dir.File("peer.cif")), layers, micron);
  ASSERT_TRUE(cif.error.empty()) << cif.error;
  EXPECT_TRUE(cif.dropped.empty());
  EXPECT_EQ(testing::Sorted(cif.boxes), boxes);
  EXPECT_EQ(testing::Sorted(cif.texts), testing::Sorted({{4, 4, "hello"}, {14, 2, "out"}}));

  // Magic writes only the label that is attached to a layer into GDSII.
  const ImportedLayout gds = ReadGds(testing::ReadFile(dir.File("peer.gds")), layers, micron);
  ASSERT_TRUE(gds.error.empty()) << gds.error;
  EXPECT_TRUE(gds.dropped.empty());
  EXPECT_EQ(testing::Sorted(gds.boxes), boxes);
  EXPECT_EQ(gds.texts, (std::vector<ImportedText>{{14, 2, "out"}}));
}

// Transistors as (type, width, length) in lambda, sorted.
using Devices = std::vector<std::tuple<std::string, int, int>>;

// The transistors of Magic's own SPICE output (lambda drawn as 1 um).
Devices MagicDevices(const std::string& spice) {
  Devices devices;
  std::istringstream in(spice);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] != 'M') continue;
    const std::string type = line.find(" nfet ") != std::string::npos ? "n" : "p";
    const size_t w = line.find(" w="), l = line.find(" l=");
    devices.emplace_back(type, std::stoi(line.substr(w + 3)), std::stoi(line.substr(l + 3)));
  }
  std::sort(devices.begin(), devices.end());
  return devices;
}

// Our extraction of a file Magic wrote, read at 1 um per lambda.
Devices OurDevices(const std::string& path, LayoutFormat format) {
  testing::WithRules f("es207.rul");
  f.s.technology.LAMB = 1.0;
  const LayoutImport in =
      ImportLayoutFile(f.layout, f.s.technology, path, format, ReadMode::Open, f.s.progress);
  EXPECT_TRUE(in.Read()) << in.error;
  EXPECT_TRUE(EnsureExtracted(f.s)) << f.s.circuit.summary;
  Devices devices;
  for (const MosDevice& d : f.s.circuit.nmos) devices.emplace_back("n", d.W, d.L);
  for (const MosDevice& d : f.s.circuit.pmos) devices.emplace_back("p", d.W, d.L);
  std::sort(devices.begin(), devices.end());
  return devices;
}

// Magic draws diffusion as active area under larger select boxes, and names
// its contacts otherwise: the transistors must come out as Magic extracts them.
TEST(MagicPeer, ACellMagicWroteGivesTheTransistorsMagicExtracts) {
  if (!Installed("magic")) GTEST_SKIP() << "magic is not installed";
  testing::TempDir dir;
  testing::WriteFile(dir.File("cell.tcl"),
                     "tech load scmos\ncellname rename (UNNAMED) cell\n"
                     "box 0 0 12 6\npaint ndiffusion\nbox 5 -2 7 8\npaint poly\n"
                     "box 14 0 30 8\npaint ndiffusion\nbox 17 -2 20 10\npaint poly\n"
                     "box 23 -2 25 10\npaint poly\n"
                     "box -3 14 15 28\npaint nwell\nbox 0 18 12 24\npaint pdiffusion\n"
                     "box 5 16 7 26\npaint poly\nbox 0 0 4 4\npaint ndc\nbox 0 18 4 22\npaint pdc\n"
                     "cif write cell\ngds write cell\nextract all\next2spice\nquit -noprompt\n");
  const std::string command = "cd " + dir.Path().string() +
                              " && magic -dnull -noconsole -T scmos cell.tcl > magic.log 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << testing::ReadFile(dir.File("magic.log"));
  const Devices magic = MagicDevices(testing::ReadFile(dir.File("cell.spice")));
  ASSERT_EQ(magic.size(), 4u) << testing::ReadFile(dir.File("cell.spice"));
  EXPECT_EQ(OurDevices(dir.File("cell.cif"), LayoutFormat::Cif), magic);
  EXPECT_EQ(OurDevices(dir.File("cell.gds"), LayoutFormat::Gds), magic);
}

}  // namespace
}  // namespace tarnisk
