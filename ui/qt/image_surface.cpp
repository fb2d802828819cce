#include "ui/qt/image_surface.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "core/file_io.h"

namespace tarnisk {

ImageSurface::ImageSurface(int width, int height)
    : image_(width > 0 ? width : 1, height > 0 ? height : 1, QImage::Format_RGB32) {
  image_.fill(Qt::black);
  Attach(reinterpret_cast<uint32_t*>(image_.bits()), image_.width(), image_.height(),
         int(image_.bytesPerLine() / 4));
}

void ImageSurface::Text(int x, int y, const std::string& text, int pointSize, unsigned style,
                        Colour colour) {
  QPainter painter(&image_);
  QFont font("DejaVu Sans");
  font.setPointSize(pointSize);
  font.setBold(style & kFontBold);
  font.setItalic(style & kFontItalic);
  font.setUnderline(style & kFontUnderline);
  painter.setFont(font);
  painter.setPen(QColor::fromRgb(colour & 0xFFFFFFu));
  if (Mode() == PenMode::Merge)
    painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
  painter.drawText(QRect(x, y, 4 * image_.width() + 200, 200), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(text));
}

int ImageSurface::SavePng(const std::string& path) const {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image_.save(&buffer, "PNG")) return ENOMEM;
  return WriteFileAtomically(path, bytes.toStdString());
}

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "tarnisk";
  static char* argv[] = {name, nullptr};
  static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace tarnisk
