#pragma once
// The real main window on the offscreen platform, for widget tests: message
// boxes are recorded and answered from a script instead of waiting for a
// person, and menu items are triggered by their text.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <functional>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "session/editor/view.h"
#include "session/session.h"
#include "tests/test_support.h"
#include "ui/qt/layout_view.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_platform.h"

namespace tarnisk::testing {

// Runs `user` on the modal dialog once one is open. Status messages let
// events run before the dialog opens, so a plain zero timer fires too soon;
// on a loaded machine the dialog may take long, so this keeps looking (the
// test's time limit ends a test whose dialog never opens).
inline void WhenModal(std::function<void(QWidget*)> user) {
  QTimer::singleShot(10, [user] {
    if (QWidget* dialog = QApplication::activeModalWidget()) user(dialog);
    else WhenModal(user);
  });
}

class ScriptedPlatform : public QtPlatform {
 public:
  MessageAnswer ShowMessage(const std::string& title, const std::string& text,
                            MessageButtons) override {
    messages.push_back(title + ": " + text);
    if (answers.empty()) return fallback;
    const MessageAnswer a = answers.front();
    answers.pop_front();
    return a;
  }
  std::deque<MessageAnswer> answers;
  MessageAnswer fallback = MessageAnswer::Cancel;  // once the script runs out
  std::vector<std::string> messages;
};

struct MainWindowTest : ::testing::Test {
  ScriptedPlatform platform;
  std::unique_ptr<Session> owner = std::make_unique<Session>(platform);
  Session& s = *owner;
  Tmdiframe window{s, platform, DataFile("es207.rul"), DataFile("help/tarnisk-help.md")};

  void SetUp() override {
    window.resize(900, 700);
    window.show();
    window.StartUp({"tarnisk"});
  }
  void TearDown() override { s.layout.wide.modified = 0; }

  // Triggers the first menu item or tool button with this text.
  void Menu(const char* text) {
    for (QAction* a : window.findChildren<QAction*>())
      if (a->text() == text) {
        a->trigger();
        return;
      }
    ADD_FAILURE() << "no action " << text;
  }
  std::string Status() const { return s.platform.StatusPanelText(0); }

  // The pixel of a lambda point in the drawing area.
  QPoint At(int x, int y) const { return {LambdaToPixelX(s, x), LambdaToPixelY(s, y)}; }
  void Send(QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(p), QPointF(window.View().mapToGlobal(p)), Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(&window.View(), &e);
  }
  // A press at `from`, moves to `to`, a release there.
  void Drag(QPoint from, QPoint to) {
    Send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    Send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    Send(QEvent::MouseMove, to, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  }
  void Click(QPoint p) { Drag(p, p); }
};

// The main window on a view of (0, 0) to (100, 100) lambda, driven by
// synthetic mouse and key events on its drawing area.
struct EditorWindowTest : MainWindowTest {
  void SetUp() override {
    MainWindowTest::SetUp();
    SetWindow(s, 0, 0, 100, 100);
  }

  void Key(int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&window.View(), &e);
  }
  Rect BoxRect(int i) const {
    const Box& b = s.layout.boxes[i];
    return {b.x1, b.y1, b.x2, b.y2};
  }
};

// The child widget of `parent` with this object name.
template <class Widget>
Widget& Child(QObject& parent, const char* name) {
  Widget* w = parent.findChild<Widget*>(name);
  EXPECT_NE(w, nullptr) << name;
  return *w;
}

// One of the main window's tool windows, found by its object name and
// closed after each test.
template <class Form>
struct ToolWindowTest : MainWindowTest {
  explicit ToolWindowTest(const char* name) : form(*window.findChild<Form*>(name)) {}
  void TearDown() override {
    form.close();
    MainWindowTest::TearDown();
  }
  template <class Widget>
  Widget& Find(const char* name) {
    return Child<Widget>(form, name);
  }
  Form& form;
};

}  // namespace tarnisk::testing
