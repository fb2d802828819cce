// The cell generator window and the palette's placement macros on the real
// main window: pages and their fields, the placement that follows a click,
// the macro outline, paths laid click by click, and Undo.

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "session/editor/commands.h"
#include "session/editor/editing.h"
#include "session/generator/generator.h"
#include "tests/window_fixture.h"
#include "ui/qt/generator_form.h"
#include "ui/qt/palette.h"

namespace tarnisk {
namespace {

struct GeneratorWindow : testing::EditorWindowTest {
  void SetUp() override {
    EditorWindowTest::SetUp();
    s.generator.cellDirectory = testing::DataFile("pads");
  }
  void TearDown() override {
    Form().close();
    EditorWindowTest::TearDown();
  }
  TFormGenerator& Form() { return *window.findChild<TFormGenerator*>("TFormGenerator"); }
  template <class Widget>
  Widget& InForm(const char* name) {
    return testing::Child<Widget>(Form(), name);
  }
  QToolButton& Tool(const char* name) {
    return testing::Child<QToolButton>(*window.findChild<Palette*>("TPalette"), name);
  }
  int Count(int layer) const {
    int n = 0;
    ForEachLive(s.layout.boxes, [&](int, const Box& b) { n += b.layer == layer; });
    return n;
  }
  void UndoAll() {
    Menu("&Undo");
    Purge(s.layout);
  }
};

TEST_F(GeneratorWindow, EditMenuOpensThePageAndGeneratePlacesAtTheNextClick) {
  Menu("Contact");
  ASSERT_TRUE(Form().isVisible());
  EXPECT_EQ(Form().windowTitle(), "Layout Generator");
  EXPECT_EQ(Form().CurrentPage(), GeneratorPage::Contacts);
  EXPECT_EQ(InForm<QPushButton>("btnOK").text(), "Generate Contact");
  InForm<QLineEdit>("EditRows").setText("2");
  EXPECT_EQ(s.generator.settings.contacts.rows, 2);
  EXPECT_EQ(Status(), "Change rows");
  InForm<QLineEdit>("EditColumns").setText("abc");
  EXPECT_EQ(Status(), "'abc' is not a valid integer value");
  EXPECT_EQ(s.generator.settings.contacts.columns, 1);
  InForm<QPushButton>("btnOK").click();
  EXPECT_FALSE(Form().isVisible());
  EXPECT_EQ(s.command.command, kCommandPlaceContacts);
  EXPECT_EQ(Status(), "In the drawing, select the location for contacts...");
  Click(At(50, 50));
  EXPECT_EQ(Count(kContact), 2);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  UndoAll();
  EXPECT_EQ(s.layout.boxes.Count(), 0);
}

TEST_F(GeneratorWindow, TheGenerateCaptionFollowsThePage) {
  Menu("Transistor");
  EXPECT_EQ(Form().CurrentPage(), GeneratorPage::Mos);
  auto& tabs = InForm<QTabWidget>("PageControl");
  for (int page = 0; page < tabs.count(); ++page) {
    tabs.setCurrentIndex(page);
    EXPECT_EQ(InForm<QPushButton>("btnOK").text(), GenerateCaption(GeneratorPage(page)));
  }
}

TEST_F(GeneratorWindow, TheWindowWarnsWhenTheFieldsBreakARule) {
  Menu("Chip Lib");
  EXPECT_EQ(Status(), "Show cell generator menu...");
  InForm<QTabWidget>("PageControl").setCurrentIndex(int(GeneratorPage::Bus));
  EXPECT_EQ(InForm<QLabel>("LabelWarning").text(), "");
  InForm<QLineEdit>("EditBusWidth").setText("2");
  EXPECT_EQ(Status(), "Change bus width");
  EXPECT_TRUE(InForm<QLabel>("LabelWarning").text().contains("metal width rule"));
}

TEST_F(GeneratorWindow, APadRingFromAPadFileIsDrawnAtOnce) {
  Menu("IO Pads");
  Form().LoadPads(testing::DataFile("pads/demo.pad"));
  EXPECT_EQ(InForm<QLineEdit>("EditPadsX").text(), "3");
  EXPECT_EQ(InForm<QLabel>("LabelPadFile").text(), "(Read 12 pads) loaded...");
  EXPECT_EQ(InForm<QLabel>("LabelTotal").text(), "(Total 12 pads)");
  InForm<QLineEdit>("EditPadsX").setText("4");
  EXPECT_EQ(Status(), "The chip has 4 pads in X.");
  InForm<QButtonGroup>("RadioPads").button(0)->click();
  EXPECT_EQ(s.generator.settings.pads.choice, PadChoice::Ring);
  InForm<QPushButton>("btnOK").click();
  EXPECT_EQ(Count(kPassiv), 14);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  UndoAll();
  EXPECT_EQ(s.layout.boxes.Count(), 0);
}

TEST_F(GeneratorWindow, PaletteContactFollowsThePointerUntilItIsPlaced) {
  Tool("sbContactDiffn").click();
  EXPECT_EQ(s.command.command, kCommandPlaceContact);
  EXPECT_EQ(Status(), "Enter the location for contact Diffn...");
  EXPECT_TRUE(Tool("sbContactDiffn").isChecked());
  EXPECT_TRUE(s.command.dragging);
  Send(QEvent::MouseMove, At(30, 30), Qt::NoButton);
  const Rect outline = ShapeBounds(s);
  EXPECT_LE(outline.xmin, At(30, 30).x());
  EXPECT_GE(outline.xmax, At(30, 30).x());
  Click(At(30, 30));
  ASSERT_EQ(Count(kContact), 1);
  EXPECT_EQ(Count(kDiffn), 1);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  EXPECT_FALSE(Tool("sbContactDiffn").isChecked());
  UndoAll();
  EXPECT_EQ(s.layout.boxes.Count(), 0);

  Tool("sbContactPoly").click();
  Key(Qt::Key_Escape);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  EXPECT_FALSE(Tool("sbContactPoly").isChecked());
}

TEST_F(GeneratorWindow, TheMetal2ContactOutlineIsSevenLambdaAroundThePointer) {
  ASSERT_EQ(LambdaToPixelX(s, 1) - LambdaToPixelX(s, 0), 6) << "lambda in whole pixels";
  Tool("sbContactMetal2").click();
  Send(QEvent::MouseMove, At(50, 50), Qt::NoButton);
  const Rect r = ShapeBounds(s);
  EXPECT_EQ(PixelToLambdaX(s, r.xmin), 47);
  EXPECT_EQ(PixelToLambdaX(s, r.xmax), 54);
  EXPECT_EQ(PixelToLambdaY(s, r.ymax), 47);
  EXPECT_EQ(PixelToLambdaY(s, r.ymin), 54);
}

TEST_F(GeneratorWindow, TheTestPadAndTheMosButtons) {
  Tool("sbPad").click();
  EXPECT_EQ(s.command.command, kCommandTestPad);
  EXPECT_EQ(Status(), "Enter the location for  test pad...");
  Click(At(50, 50));
  EXPECT_EQ(Count(kPassiv), 1);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  Tool("sbMos").click();
  EXPECT_EQ(Status(), "MOS Generator");
  EXPECT_TRUE(Form().isVisible());
  EXPECT_TRUE(Form().isModal());
  EXPECT_EQ(Form().CurrentPage(), GeneratorPage::Mos);
}

TEST_F(GeneratorWindow, APathIsLaidClickByClickAndUndoneWhole) {
  Tool("sbPathMetal").click();
  EXPECT_EQ(Form().CurrentPage(), GeneratorPage::Path);
  InForm<QPushButton>("btnOK").click();
  EXPECT_EQ(s.command.command, kCommandPathStart);
  EXPECT_EQ(Status(),
            "Path metal: in the drawing, click the start point of the routing path <esc to quit>");
  Click(At(10, 10));
  EXPECT_EQ(s.command.command, kCommandPathNext);
  Send(QEvent::MouseMove, At(40, 12), Qt::NoButton);
  EXPECT_NE(Status().find("metal Path "), std::string::npos) << Status();
  Click(At(60, 14));
  Click(At(62, 40));
  ASSERT_EQ(Count(kMetal), 2);
  EXPECT_EQ(BoxRect(1), (Rect{8, 8, 62, 12}));
  EXPECT_EQ(BoxRect(2), (Rect{58, 8, 62, 42}));
  Key(Qt::Key_Escape);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  UndoAll();
  EXPECT_EQ(s.layout.boxes.Count(), 0);
}

}  // namespace
}  // namespace tarnisk
