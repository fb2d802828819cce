#include "ui/qt/layout_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "session/session.h"
#include "session/editor/view.h"
#include "ui/qt/qt_platform.h"

namespace tarnisk {

namespace {

Point PixelOf(const QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  return {p.x(), p.y()};
}

// One notch of the wheel zooms by this factor; a quarter notch is the least
// that turns into a zoom (touchpads send small steps).
constexpr double kWheelZoom = 1.25;
constexpr double kLeastWheelSteps = 0.25;

QColor ToQColor(Colour c) { return QColor::fromRgb(c); }

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
  if (!surface_) return;
  if (panShift_.isNull()) {
    painter.drawImage(event->rect(), surface_->Image(), event->rect());
    return;
  }
  painter.fillRect(rect(), ToQColor(state_.view.colours.background));
  painter.drawImage(panShift_, surface_->Image());
}

void LayoutView::resizeEvent(QResizeEvent*) { FitSurface(); }

// While a command lets events run, the layout must not be redrawn under it:
// the new size is taken as soon as the command is over.
void LayoutView::FitSurface() {
  if (Busy()) {
    QTimer::singleShot(0, this, [this] { FitSurface(); });
    return;
  }
  if (surface_ && surface_->Width() == std::max(1, width()) &&
      surface_->Height() == std::max(1, height()))
    return;
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

void LayoutView::Handled() {
  update();
  if (inputHandled) inputHandled();
}

bool LayoutView::StartsPan(const QMouseEvent* event) const {
  const bool panButton = event->button() == Qt::MiddleButton ||
                         (event->button() == Qt::LeftButton && spaceHeld_);
  return panButton && panButton_ == Qt::NoButton && PanAllowed(state_);
}

void LayoutView::mousePressEvent(QMouseEvent* event) {
  if (Busy()) return;
  if (StartsPan(event)) {
    panButton_ = event->button();
    panStart_ = event->position().toPoint();
    setCursor(Qt::ClosedHandCursor);
    return;
  }
  if (event->button() != Qt::LeftButton || panButton_ != Qt::NoButton) return;
  pressing_ = true;
  MousePress(state_, ui_, PixelOf(event));
  pressing_ = false;
  if (deferredRelease_) {
    const Point at = *deferredRelease_;
    deferredRelease_.reset();
    Release(at);
  }
  Handled();
}

void LayoutView::mouseMoveEvent(QMouseEvent* event) {
  if (pointerMoved) pointerMoved(PixelOf(event));
  if (Busy()) return;
  if (panButton_ != Qt::NoButton) {
    panShift_ = event->position().toPoint() - panStart_;
    update();
    return;
  }
  const bool dragging = state_.command.dragging;
  const Rect before = dragging ? ShapeBounds(state_) : Rect{};
  MouseMove(state_, PixelOf(event));
  if (dragging) UpdateShape(before);
}

// A pan that ends while a long command runs is dropped.
void LayoutView::EndPan() {
  const QPoint shift = panShift_;
  panButton_ = Qt::NoButton;
  panShift_ = {};
  setCursor(spaceHeld_ ? Qt::OpenHandCursor : Qt::ArrowCursor);
  if (!shift.isNull() && !Busy())
    PanTo(state_, WindowPannedBy(state_, state_.layout.wide.window, {shift.x(), shift.y()}));
  Handled();
}

void LayoutView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == panButton_) {
    EndPan();
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (pressing_) {
    deferredRelease_ = PixelOf(event);
    return;
  }
  if (Busy()) return;
  Release(PixelOf(event));
  Handled();
}

void LayoutView::Release(Point pixel) { MouseRelease(state_, ui_, pixel); }

void LayoutView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (Busy() || event->button() != Qt::LeftButton || spaceHeld_) return;
  DoubleClick(state_, ui_, PixelOf(event));
  Handled();
}

void LayoutView::wheelEvent(QWheelEvent* event) {
  event->accept();
  if (Busy() || state_.command.dragging || panButton_ != Qt::NoButton) return;
  wheelSteps_ += event->angleDelta().y() / 120.0;
  if (std::abs(wheelSteps_) < kLeastWheelSteps) return;
  const QPoint p = event->position().toPoint();
  ZoomAboutPixel(state_, {p.x(), p.y()}, std::pow(kWheelZoom, wheelSteps_));
  wheelSteps_ = 0;
  Handled();
}

void LayoutView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    if (!event->isAutoRepeat() && panButton_ == Qt::NoButton) setCursor(Qt::OpenHandCursor);
    spaceHeld_ = true;
    return;
  }
  if (Busy() || event->key() == Qt::Key_Control) return;
  KeyDown(state_, ui_, KeyOf(event->key()));
  Handled();
}

void LayoutView::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space || event->isAutoRepeat()) {
    QWidget::keyReleaseEvent(event);
    return;
  }
  spaceHeld_ = false;
  if (panButton_ == Qt::NoButton) setCursor(Qt::ArrowCursor);
}

}  // namespace tarnisk
