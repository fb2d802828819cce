#pragma once
// The drawing area: shows the window image the layout is drawn on and turns
// mouse and key events into the editor's commands.

#include <QWidget>
#include <memory>

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

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // Input that edits the tables waits while a long command lets events run.
  bool Busy() const;
  // Repaints only what the rubber band covered before and covers now.
  void UpdateShape(const Rect& before);

  Session& state_;
  QtPlatform& platform_;
  CommandUi& ui_;
  std::unique_ptr<ImageSurface> surface_;
};

}  // namespace tarnisk
