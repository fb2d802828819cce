// The CIF window inside the real main window: "Make Cif File", the
// conversion and its listing, and File Open of a CIF file.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <functional>

#include "session/session.h"
#include "tests/window_fixture.h"
#include "ui/qt/cif_form.h"

namespace tarnisk {
namespace {

struct CifWindow : testing::ToolWindowTest<TFormCif> {
  testing::TempDir dir;

  CifWindow() : ToolWindowTest("TFormCif") { platform.fallback = MessageAnswer::Ok; }
  QStringList Listing(const char* memo) { return Find<QPlainTextEdit>(memo).toPlainText().split('\n'); }
  void MakeCifFile() { Menu("&Make Cif File"); }
  // A copy of an example in the scratch directory, so the CIF lands there.
  std::string OpenExample(const std::string& name) {
    const std::string path = dir.File(name);
    testing::WriteFile(path, testing::ReadFile(testing::DataFile("examples/" + name)));
    EXPECT_TRUE(window.OpenLayout(path, false));
    return path;
  }
};

TEST_F(CifWindow, MakeCifFileShowsTheOutputPageWithTheLayerGrid) {
  OpenExample("inverter.msk");
  MakeCifFile();
  ASSERT_TRUE(form.isVisible());
  EXPECT_FALSE(form.isModal());
  EXPECT_EQ(form.windowTitle(), "CIF Interface");
  auto& pages = Find<QTabWidget>("PageControl");
  EXPECT_EQ(pages.tabText(pages.currentIndex()), "Cif Out");
  EXPECT_TRUE(Find<QPushButton>("btnCifOut").isEnabled());
  EXPECT_FALSE(Find<QPushButton>("btnCifIn").isEnabled());
  EXPECT_EQ(Status(), "Update CIF Form options");

  auto& grid = Find<QTableWidget>("GridLayers");
  QStringList header;
  for (int c = 0; c < grid.columnCount(); ++c) header << grid.horizontalHeaderItem(c)->text();
  EXPECT_EQ(header, (QStringList{"Layer", "Cif Name", "Gds2 n\u00B0", "Boxes", "Overetch"}));
  QStringList contact;
  for (int c = 0; c < 5; ++c) contact << grid.item(kContact - 1, c)->text();
  EXPECT_EQ(contact, (QStringList{"contact", "CCC", "25", "9", "0.05"}));
  EXPECT_EQ(grid.item(kMetal2 - 1, 3)->text(), "") << "no boxes";
  EXPECT_EQ(grid.item(kMetal - 1, 4)->text(), "") << "no overetch";
  EXPECT_EQ(Find<QLabel>("LabelLayers").text(), "Layer list in \"es207.rul\"");
  EXPECT_EQ(Find<QLineEdit>("EditScaleOut").text(), "1000");
  EXPECT_EQ(Find<QLineEdit>("EditTopCell").text(), "topcell");
  EXPECT_EQ(Find<QLineEdit>("EditTextLayer").text(), "94");

  pages.setCurrentIndex(1);
  EXPECT_EQ(pages.currentIndex(), 0) << "the user cannot switch pages";
}

TEST_F(CifWindow, ConvertIntoCifWritesBesideTheLayoutAndListsTheFile) {
  const std::string layout = OpenExample("nand2.msk");
  MakeCifFile();
  Find<QLineEdit>("EditScaleOut").setText("100");
  Find<QLineEdit>("EditTopCell").setText("nand");
  Find<QPushButton>("btnCifOut").click();
  const std::string cif = dir.File("nand2.CIF");
  const std::string text = testing::ReadFile(cif);
  EXPECT_NE(text.find("\nDS 1 1 1;\n9 nand;\n"), std::string::npos) << text;
  EXPECT_EQ(form.Settings().fileName, cif);
  EXPECT_EQ(Status(), "Open \"" + cif + "\" as output CIF file...");
  const QStringList listing = Listing("MemoOut");
  EXPECT_EQ(listing.front().toStdString(), "( File : \"" + cif + "\")");
  EXPECT_EQ(listing.back(), "E");

  // The scale is remembered for the next time the window opens.
  MakeCifFile();
  EXPECT_EQ(Find<QLineEdit>("EditScaleOut").text(), "100");
  EXPECT_EQ(Find<QLineEdit>("EditScaleIn").text(), "100");
}

TEST_F(CifWindow, ANonIntegerScaleShowsTheConversionErrorAndWritesNothing) {
  OpenExample("inverter.msk");
  MakeCifFile();
  Find<QLineEdit>("EditScaleOut").setText("abc");
  Find<QPushButton>("btnCifOut").click();
  EXPECT_EQ(platform.messages, (std::vector<std::string>{"Error: 'abc' is not a valid integer value"}));
  EXPECT_FALSE(std::filesystem::exists(dir.File("inverter.CIF")));
  EXPECT_EQ(form.Settings().unit, 1000);
  EXPECT_EQ(form.Settings().fileName, "noFile.cif");
}

TEST_F(CifWindow, TheListingOfALongFileIsTruncated) {
  std::string layout = "FIG #long.msk\n";
  for (int i = 0; i < 250; ++i) layout += "REC(" + std::to_string(i * 5) + ",0,4,4,ME)\n";
  testing::WriteFile(dir.File("long.msk"), layout + "FFIG long.msk\n");
  window.OpenLayout(dir.File("long.msk"), false);
  MakeCifFile();
  Find<QPushButton>("btnCifOut").click();
  const QStringList listing = Listing("MemoOut");
  ASSERT_EQ(listing.size(), 201);
  EXPECT_EQ(listing.back(), "(tuncated...)");
}

TEST_F(CifWindow, ViewingACifFileListsItModally) {
  OpenExample("inverter.msk");
  const int boxes = s.layout.boxes.Count();
  const std::string cif = dir.File("chip.cif");
  testing::WriteFile(cif, "DS 1 1 10;\n9 a;\nDF;\nDS 2 1 10;\nDF;\nC 1;\nE\n");
  bool viewed = false;
  // Runs once the modal window has been activated and has read the file.
  std::function<void(int)> user = [&](int triesLeft) {
    QTimer::singleShot(10, [&, triesLeft] {
      if (QApplication::activeModalWidget() != &form && triesLeft > 0) return user(triesLeft - 1);
      viewed = true;
      auto& pages = Find<QTabWidget>("PageControl");
      EXPECT_EQ(pages.tabText(pages.currentIndex()), "Cif In");
      EXPECT_FALSE(Find<QPushButton>("btnCifOut").isEnabled());
      EXPECT_EQ(Find<QLineEdit>("EditCells").text(), "2");
      EXPECT_EQ(Listing("MemoIn").front(), "DS 1 1 10;");
      EXPECT_EQ(Status(), "End reading \"" + cif + "\"");
      Find<QPushButton>("btnCifIn").click();
      EXPECT_EQ(form.windowTitle(), "End conversion of \"noFile.cif\" into MSK");
      EXPECT_EQ(Status(), "# Error: \"noFile.cif\" input file open error...");
      form.findChildren<QPushButton*>("btnCancel").back()->click();
    });
  };
  user(500);
  form.ViewFile(cif);  // what "View a CIF File..." does with the file chosen
  EXPECT_TRUE(viewed);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Status(), "Cancel");
  EXPECT_EQ(s.layout.boxes.Count(), boxes) << "viewing leaves the layout alone";
}

TEST_F(CifWindow, OpenReadsGdsAndCifFilesAsLayoutsAndSaveAsWritesGds) {
  OpenExample("inverter.msk");
  const int boxes = s.layout.boxes.Count();
  const std::string gds = dir.File("inverter.gds");
  ASSERT_TRUE(window.SaveLayout(gds));
  EXPECT_EQ(s.layout.wide.modified, 0);
  ASSERT_TRUE(window.OpenLayout(gds, false));
  EXPECT_EQ(s.layout.boxes.Count(), boxes);
  EXPECT_EQ(s.layout.wide.currentFileName, gds);

  const std::string cif = dir.File("wire.cif");
  testing::WriteFile(cif, "DS 1 1 1;\nL CMF;\nB 600 200 300 100;\nDF;\nC 1;\nE\n");
  ASSERT_TRUE(window.OpenLayout(cif, false));
  ASSERT_EQ(s.layout.boxes.Count(), 1);
  EXPECT_EQ(s.layout.boxes[1].layer, kMetal);
  EXPECT_EQ(RectOf(s.layout.boxes[1]), (Rect{0, 0, 12, 4}));
}

}  // namespace
}  // namespace tarnisk
