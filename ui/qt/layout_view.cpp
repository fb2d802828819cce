#include "ui/qt/layout_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "session/session.h"
#include "session/editor/view.h"
#include "ui/qt/qt_platform.h"

namespace tarnisk {

namespace {

Point PixelOf(const QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  return {p.x(), p.y()};
}

Key KeyOf(int key) {
  switch (key) {
    case Qt::Key_Up: return Key::Up;
    case Qt::Key_Down: return Key::Down;
    case Qt::Key_Left: return Key::Left;
    case Qt::Key_Right: return Key::Right;
    case Qt::Key_Escape: return Key::Escape;
    default: return Key::Other;
  }
}

}  // namespace

LayoutView::LayoutView(Session& state, QtPlatform& platform, CommandUi& ui, QWidget* parent)
    : QWidget(parent), state_(state), platform_(platform), ui_(ui) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 150);
}

LayoutView::~LayoutView() {
  if (state_.view.surface == surface_.get()) AttachSurface(state_, nullptr);
}

bool LayoutView::Busy() const { return platform_.InsideEventPump(); }

void LayoutView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (surface_) painter.drawImage(event->rect(), surface_->Image(), event->rect());
}

void LayoutView::resizeEvent(QResizeEvent*) {
  if (Busy()) return;
  surface_ = std::make_unique<ImageSurface>(std::max(1, width()), std::max(1, height()));
  AttachSurface(state_, surface_.get());
  Redraw(state_);
  update();
}

void LayoutView::UpdateShape(const Rect& before) {
  const Rect after = ShapeBounds(state_);
  const QRect a(QPoint(before.xmin, before.ymin), QPoint(before.xmax, before.ymax));
  const QRect b(QPoint(after.xmin, after.ymin), QPoint(after.xmax, after.ymax));
  update(a.adjusted(-2, -2, 2, 2));
  update(b.adjusted(-2, -2, 2, 2));
}

void LayoutView::mousePressEvent(QMouseEvent* event) {
  if (Busy() || event->button() != Qt::LeftButton) return;
  MousePress(state_, ui_, PixelOf(event));
  update();
}

void LayoutView::mouseMoveEvent(QMouseEvent* event) {
  if (Busy()) return;
  const bool dragging = state_.command.dragging;
  const Rect before = dragging ? ShapeBounds(state_) : Rect{};
  MouseMove(state_, PixelOf(event));
  if (dragging) UpdateShape(before);
}

void LayoutView::mouseReleaseEvent(QMouseEvent* event) {
  if (Busy() || event->button() != Qt::LeftButton) return;
  MouseRelease(state_, ui_, PixelOf(event));
  update();
}

void LayoutView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (Busy() || event->button() != Qt::LeftButton) return;
  DoubleClick(state_, ui_, PixelOf(event));
  update();
}

void LayoutView::keyPressEvent(QKeyEvent* event) {
  if (Busy() || event->key() == Qt::Key_Control) return;
  KeyDown(state_, ui_, KeyOf(event->key()));
  update();
}

}  // namespace tarnisk
