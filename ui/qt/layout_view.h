#pragma once
// The drawing area: shows the window image the layout is drawn on and turns
// mouse and key events into the editor's commands. Beside them, the wheel
// zooms about the pointer and the middle button (or Space with the left
// button) drags the view; both end in the normal window setting.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "session/editor/commands.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

struct Session;
class QtPlatform;

class LayoutView : public QWidget {
 public:
  LayoutView(Session& state, QtPlatform& platform, CommandUi& ui, QWidget* parent);
  ~LayoutView() override;

  // Schedules a repaint of the whole image (after any redraw of the layout).
  void ShowImage() { update(); }
  ImageSurface* Surface() { return surface_.get(); }

  // Called with the pointer's pixel whenever it moves over the drawing.
  std::function<void(Point pixel)> pointerMoved;
  // Called after each mouse or key input has been handled.
  std::function<void()> inputHandled;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // Input that edits the tables waits while a long command lets events run.
  bool Busy() const;
  // Repaints only what the rubber band covered before and covers now.
  void UpdateShape(const Rect& before);
  // A surface of the widget's size, the layout drawn on it.
  void FitSurface();
  void Release(Point pixel);
  void Handled();
  // Drag panning: the image follows the pointer, and the release sets the
  // window once, so that Previous Zoom returns to the view before the drag.
  bool StartsPan(const QMouseEvent* event) const;
  void EndPan();

  Session& state_;
  QtPlatform& platform_;
  CommandUi& ui_;
  std::unique_ptr<ImageSurface> surface_;
  // A release that arrived while its own press was still being handled (the
  // press's status message lets events run): it runs once the press is done.
  bool pressing_ = false;
  std::optional<Point> deferredRelease_;
  bool spaceHeld_ = false;
  Qt::MouseButton panButton_ = Qt::NoButton;
  QPoint panStart_, panShift_;
  double wheelSteps_ = 0;
};

}  // namespace tarnisk
