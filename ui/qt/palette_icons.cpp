#include "ui/qt/palette_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace tarnisk {

namespace {

constexpr int kSwatchWidth = 32, kSwatchHeight = 16;
constexpr int kIcon = 20;

QColor ColourOf(const LayerInfo& layer) {
  return QColor(layer.colour.r, layer.colour.g, layer.colour.b);
}

// Halfway between the colour and white: visible over the colour itself.
QColor Lightened(const QColor& c) {
  return QColor((c.red() + 255) / 2, (c.green() + 255) / 2, (c.blue() + 255) / 2);
}

void FillPattern(QImage& image, const QRect& area, const std::array<uint8_t, 8>& pattern,
                 const QColor& colour) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (pattern[size_t(y % 8)] & (0x80 >> (x % 8))) image.setPixelColor(x, y, colour);
}

QIcon Drawn(int width, int height, const std::function<void(QPainter&)>& draw) {
  QPixmap pixmap(width, height);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  return QIcon(pixmap);
}

// A contact: the lower layer, the metal square over it and the cut inside.
QIcon Contact(const LayerInfo& lower, const LayerInfo& upper, const LayerInfo& cut) {
  return Drawn(kIcon, kIcon, [&](QPainter& p) {
    p.fillRect(1, 1, 18, 18, ColourOf(lower));
    p.setPen(QPen(ColourOf(upper), 2));
    p.drawRect(4, 4, 12, 12);
    p.fillRect(7, 7, 6, 6, ColourOf(cut));
  });
}

void Wave(QPainter& p, const QColor& colour, std::initializer_list<QPointF> points) {
  p.setPen(QPen(colour, 2));
  QPainterPath path;
  bool first = true;
  for (const QPointF& point : points) {
    if (first) path.moveTo(point);
    else path.lineTo(point);
    first = false;
  }
  p.drawPath(path);
}

}  // namespace

QIcon LayerSwatch(const LayerInfo& layer) {
  QImage image(kSwatchWidth, kSwatchHeight, QImage::Format_RGB32);
  image.fill(Qt::black);
  const QColor colour = ColourOf(layer);
  const QRect inside(1, 1, kSwatchWidth - 2, kSwatchHeight - 2);
  {
    QPainter p(&image);
    p.setPen(colour);
    switch (layer.style) {
      case kStyleFilled: p.fillRect(inside, colour); break;
      case kStyleDiagonals:
        p.drawLine(inside.topLeft(), inside.bottomRight());
        p.drawLine(inside.bottomLeft(), inside.topRight());
        break;
      case kStyleInsetCross: {
        const QRect r = inside.adjusted(1, 1, -1, -1);
        p.drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
        p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
        p.drawRect(r.adjusted(0, 0, -1, -1));
        break;
      }
      default: break;
    }
    p.drawRect(inside.adjusted(0, 0, -1, -1));
  }
  if (layer.style == kStyleFilled) FillPattern(image, inside, layer.pattern, Lightened(colour));
  else if (layer.style == kStylePattern) FillPattern(image, inside, layer.pattern, colour);
  return QIcon(QPixmap::fromImage(image));
}

QIcon ToolIcon(std::string_view tool, const LayerTable& l) {
  const QColor metal = ColourOf(l[kMetal]);
  if (tool == "sbContactPoly") return Contact(l[kPoly], l[kMetal], l[kContact]);
  if (tool == "sbContactDiffn") return Contact(l[kDiffn], l[kMetal], l[kContact]);
  if (tool == "sbContactDiffp") return Contact(l[kDiffp], l[kMetal], l[kContact]);
  if (tool == "sbContactMetal2") return Contact(l[kMetal2], l[kMetal], l[kVia]);
  if (tool == "sbMos")
    return Drawn(kIcon, kIcon, [&](QPainter& p) {
      p.fillRect(1, 6, 18, 8, ColourOf(l[kDiffn]));
      p.fillRect(8, 1, 4, 18, ColourOf(l[kPoly]));
    });
  if (tool == "sbPad")
    return Drawn(kIcon, kIcon, [&](QPainter& p) {
      p.fillRect(1, 1, 18, 18, metal);
      p.setPen(QPen(Qt::white, 1));
      p.drawRect(5, 5, 9, 9);
    });
  if (tool == "sbPathMetal")
    return Drawn(kIcon, kIcon, [&](QPainter& p) {
      p.fillRect(2, 13, 12, 4, metal);
      p.fillRect(10, 2, 4, 15, metal);
    });
  if (tool == "sbVdd")
    return Drawn(kIcon, kIcon, [](QPainter& p) {
      Wave(p, Qt::red, {{3, 5}, {17, 5}});
      Wave(p, Qt::red, {{10, 5}, {10, 17}});
      Wave(p, Qt::red, {{6, 11}, {14, 11}});
    });
  if (tool == "sbVss")
    return Drawn(kIcon, kIcon, [](QPainter& p) {
      const QColor c(60, 60, 255);
      Wave(p, c, {{10, 2}, {10, 10}});
      Wave(p, c, {{3, 10}, {17, 10}});
      Wave(p, c, {{6, 14}, {14, 14}});
      Wave(p, c, {{9, 18}, {11, 18}});
    });
  if (tool == "sbClock")
    return Drawn(kIcon, kIcon, [](QPainter& p) {
      Wave(p, QColor(0, 150, 0), {{1, 15}, {5, 15}, {5, 5}, {10, 5}, {10, 15}, {15, 15},
                                  {15, 5}, {19, 5}});
    });
  if (tool == "sbPulse")
    return Drawn(kIcon, kIcon, [](QPainter& p) {
      Wave(p, QColor(200, 120, 0), {{1, 15}, {6, 15}, {8, 5}, {12, 5}, {14, 15}, {19, 15}});
    });
  if (tool == "sbVisible")
    return Drawn(kIcon, kIcon, [](QPainter& p) {
      p.setPen(QPen(Qt::darkGray, 1.5));
      p.drawEllipse(QRectF(2, 5, 16, 10));
      p.setBrush(Qt::black);
      p.drawEllipse(QRectF(7.5, 7.5, 5, 5));
    });
  if (tool == "sbRes")
    return Drawn(kIcon, kIcon, [](QPainter& p) {
      Wave(p, QColor(150, 80, 0),
           {{1, 10}, {4, 10}, {6, 4}, {9, 16}, {12, 4}, {15, 16}, {17, 10}, {19, 10}});
    });
  return {};
}

}  // namespace tarnisk
