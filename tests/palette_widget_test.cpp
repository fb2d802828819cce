#include "ui/qt/palette.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

#include "session/session.h"
#include "tests/fake_editor_host.h"

namespace tarnisk {
namespace {

struct PaletteWidget : ::testing::Test {
  testing::FakeEditorHost host;
  Session& s = host.State();
  Palette palette{host};

  template <class Widget>
  Widget* Child(const char* name) {
    auto* w = palette.findChild<Widget*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QPushButton* Layer(int row) { return Child<QPushButton>(("btnLayer" + std::to_string(row)).c_str()); }
  QCheckBox* Protect(int row) { return Child<QCheckBox>(("chkBtn" + std::to_string(row)).c_str()); }
  QToolButton* Tool(const char* name) { return Child<QToolButton>(name); }
  const std::string& Status() const { return host.f.platform.Panel(0); }
};

TEST_F(PaletteWidget, MetalButtonsFollowTheTechnology) {
  EXPECT_TRUE(Layer(8)->isEnabled());
  for (int row = 9; row <= 11; ++row) {
    EXPECT_FALSE(Layer(row)->isEnabled()) << row;
    EXPECT_FALSE(Protect(row)->isEnabled()) << row;
  }
  s.technology.META = 3;
  s.layout.wide.currentLayer = kMetal5;
  palette.RefreshMetalLayers();
  EXPECT_TRUE(Layer(9)->isEnabled());
  EXPECT_TRUE(Protect(9)->isEnabled());
  EXPECT_FALSE(Layer(10)->isEnabled());
  EXPECT_EQ(s.layout.wide.currentLayer, kMetal3);
  EXPECT_EQ(Layer(9)->styleSheet(), "color: red");
}

TEST_F(PaletteWidget, LayerButtonSelectsTheLayerForDrawing) {
  EXPECT_EQ(palette.windowTitle(), "Palette");
  EXPECT_EQ(Layer(3)->toolTip(), "Select P+ Diff");
  s.command.command = kCommandCut;
  Layer(3)->click();
  EXPECT_EQ(s.layout.wide.currentLayer, kDiffp);
  EXPECT_EQ(s.command.command, kCommandDrawBox);
  EXPECT_EQ(Status(), "Set layer to diffp.");
  EXPECT_EQ(Layer(3)->styleSheet(), "color: red");
  EXPECT_EQ(Layer(4)->styleSheet(), "");
  EXPECT_GT(host.broughtToFront, 0);
}

TEST_F(PaletteWidget, UncheckedProtectBoxProtectsAndTheButtonUndoesIt) {
  s.command.command = kCommandCut;
  Protect(6)->click();  // Metal 1
  EXPECT_EQ(s.layout.layers[kMetal].isProtected, 1);
  EXPECT_EQ(s.layout.wide.currentLayer, kMetal);
  EXPECT_EQ(s.command.command, kCommandCut);  // protecting does not end the command
  EXPECT_GT(host.redraws, 0);

  Layer(6)->click();
  EXPECT_EQ(s.layout.layers[kMetal].isProtected, 0);
  EXPECT_TRUE(Protect(6)->isChecked());
  EXPECT_EQ(s.command.command, kCommandDrawBox);
}

TEST_F(PaletteWidget, ProtectAllAndUnprotectAll) {
  palette.ProtectAll();
  for (int layer : {kNwell, kDiffn, kDiffp, kPoly, kContact, kMetal, kVia, kMetal2})
    EXPECT_EQ(s.layout.layers[layer].isProtected, 1) << layer;
  EXPECT_EQ(s.layout.layers[kMetal3].isProtected, 0);  // not offered with two metals
  EXPECT_EQ(s.layout.wide.currentLayer, kMetal2);      // the last one processed
  EXPECT_FALSE(Protect(1)->isChecked());

  palette.UnprotectAll();
  for (int layer = 1; layer <= kLayerCount; ++layer)
    EXPECT_EQ(s.layout.layers[layer].isProtected, 0) << layer;
  EXPECT_TRUE(Protect(1)->isChecked());
}

TEST_F(PaletteWidget, PropertyAndResistanceToolsEnterTheirCommands) {
  Tool("sbClock")->click();
  EXPECT_EQ(s.command.propertyTool, kToolClock);
  EXPECT_EQ(s.command.command, kCommandText);
  EXPECT_EQ(Status(), "In the layout, select the location for the property...");
  EXPECT_TRUE(Tool("sbClock")->isChecked());

  Tool("sbVss")->click();
  EXPECT_EQ(s.command.propertyTool, kToolVss);
  EXPECT_FALSE(Tool("sbClock")->isChecked());

  palette.ReleaseTools();
  EXPECT_FALSE(Tool("sbVss")->isChecked());
  EXPECT_EQ(s.command.propertyTool, kToolText);
  EXPECT_EQ(s.command.command, kCommandDrawBox);

  Tool("sbRes")->click();
  EXPECT_EQ(s.command.command, kCommandResistance);
  EXPECT_EQ(Status(), "In the layout, fix the resistance position ...");

  Tool("sbPad")->click();
  EXPECT_EQ(s.command.command, kCommandTestPad);
  EXPECT_EQ(Status(), "Enter the location for  test pad...");
  EXPECT_TRUE(Tool("sbPad")->isChecked());
  EXPECT_FALSE(Tool("sbRes")->isChecked());
}

TEST_F(PaletteWidget, MacroButtonsStartTheirPlacementsAndTheGenerator) {
  Tool("sbContactMetal2")->click();
  EXPECT_EQ(s.command.command, kCommandPlaceContact);
  EXPECT_EQ(s.generator.placementKind, kContactVia);
  EXPECT_EQ(Status(), "Enter the location for contact Metal2...");
  EXPECT_TRUE(s.command.dragging) << "the outline follows the pointer";
  Tool("sbPathMetal")->click();
  Tool("sbMos")->click();
  EXPECT_EQ(Status(), "MOS Generator");
  ASSERT_EQ(host.generatorShown.size(), 2u);
  EXPECT_EQ(host.generatorShown[0], std::pair(GeneratorPage::Path, true));
  EXPECT_EQ(host.generatorShown[1], std::pair(GeneratorPage::Mos, true));
}

TEST_F(PaletteWidget, EscapeIsHandedToTheMainWindow) {
  int escapes = 0;
  QObject::connect(&palette, &Palette::escapePressed, [&] { ++escapes; });
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&palette, &esc);
  EXPECT_EQ(escapes, 1);
  EXPECT_EQ(Status(), "<Escape>");
}

}  // namespace
}  // namespace tarnisk

namespace tarnisk {
namespace {

TEST(PalettePlacement, KeptWhollyOnTheScreen) {
  const QRect screen(0, 0, 1600, 1000);
  // Beside a maximised window the palette would start 124 pixels from the
  // screen's right edge.
  EXPECT_EQ(KeptOnScreen({1476, 95}, {260, 520}, screen), QPoint(1340, 95));
  EXPECT_EQ(KeptOnScreen({300, 95}, {260, 520}, screen), QPoint(300, 95));
  EXPECT_EQ(KeptOnScreen({-40, 900}, {260, 520}, screen), QPoint(0, 480));
  EXPECT_EQ(KeptOnScreen({1476, 95}, {260, 1200}, screen), QPoint(1340, 0)) << "taller: top";
}

TEST_F(PaletteWidget, SwatchesShowTheLayersAndTellMetalsApart) {
  const auto picture = [&](int row) { return Layer(row)->icon().pixmap(32, 16).toImage(); };
  for (int row = 1; row <= 11; ++row) EXPECT_FALSE(Layer(row)->icon().isNull()) << row;
  const QImage metal1 = picture(6), metal2 = picture(8);
  EXPECT_NE(metal1, metal2);
  const QColor blue(0, 0, 255);
  EXPECT_EQ(metal1.pixelColor(3, 1), blue) << "metal's own colour fills the swatch";
  EXPECT_EQ(metal1.pixelColor(2, 1), QColor(127, 127, 255)) << "with its pattern lightened";
  EXPECT_TRUE(Protect(6)->toolTip().startsWith("Protect\nChecked: the layer can be edited."));
  for (const char* tool : {"sbContactPoly", "sbMos", "sbPad", "sbVdd", "sbVss", "sbClock",
                           "sbPulse", "sbVisible", "sbRes", "sbPathMetal"})
    EXPECT_FALSE(Tool(tool)->icon().isNull()) << tool;
}

}  // namespace
}  // namespace tarnisk
