// The user's guide against the real main window: every menu item is named
// in it, its pictures exist, and Help Index shows it with them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextBrowser>
#include <filesystem>

#include "tests/window_fixture.h"
#include "ui/qt/help_window.h"

namespace tarnisk {
namespace {

using HelpGuide = testing::MainWindowTest;

const std::string kGuide = testing::DataFile("help/tarnisk-help.md");

// Every item of the menu bar's menus and their submenus, hidden ones too.
void CollectItems(const QMenu& menu, QStringList& names) {
  for (QAction* action : menu.actions()) {
    if (action->isSeparator()) continue;
    if (action->menu()) CollectItems(*action->menu(), names);
    else names << action->text().remove('&');
  }
}

TEST_F(HelpGuide, NamesEveryMenuItem) {
  // Markdown wraps lines anywhere: a name may run over two.
  const QString guide = QString::fromStdString(testing::ReadFile(kGuide)).simplified();
  QStringList names;
  for (QAction* top : window.menuBar()->actions()) {
    ASSERT_NE(top->menu(), nullptr);
    names << top->text().remove('&');
    CollectItems(*top->menu(), names);
  }
  EXPECT_GT(names.size(), 60);
  for (const QString& name : names)
    EXPECT_TRUE(guide.contains(name)) << "the guide does not name \"" << name.toStdString() << "\"";
}

TEST_F(HelpGuide, HelpIndexShowsTheGuideWithItsPictures) {
  const QString guide = QString::fromStdString(testing::ReadFile(kGuide));
  const QRegularExpression picture(R"(\]\((images/[^)]+\.png)\))");
  int pictures = 0;
  for (const auto& m : picture.globalMatch(guide)) {
    ++pictures;
    EXPECT_TRUE(std::filesystem::exists(testing::DataFile("help/" + m.captured(1).toStdString())))
        << m.captured(1).toStdString();
  }
  EXPECT_GE(pictures, 5);

  Menu("Help &Index");
  QTextBrowser* browser = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QTextBrowser*>(w); b && b->isVisible()) browser = b;
  ASSERT_NE(browser, nullptr);
  EXPECT_TRUE(browser->toPlainText().startsWith("Tarnisk user's guide"));
  EXPECT_FALSE(browser->toPlainText().contains("](images/")) << "read as Markdown";
  const QVariant image = browser->loadResource(QTextDocument::ImageResource,
                                               QUrl("images/inverter.png"));
  EXPECT_TRUE(image.isValid());
  // The contents links reach their headings.
  const QRegularExpression link(R"(\]\(#([a-z0-9-]+)\))");
  int links = 0;
  for (const auto& m : link.globalMatch(guide)) {
    ++links;
    bool found = false;
    for (QTextBlock b = browser->document()->begin(); b.isValid() && !found; b = b.next())
      found = b.blockFormat().headingLevel() > 0 && HeadingAnchor(b.text()) == m.captured(1);
    EXPECT_TRUE(found) << m.captured(1).toStdString();
  }
  EXPECT_GE(links, 5);
  EXPECT_EQ(HeadingAnchor("The batch tool: tarnisk-cli"), "the-batch-tool-tarnisk-cli");
  browser->close();
}

}  // namespace
}  // namespace tarnisk
