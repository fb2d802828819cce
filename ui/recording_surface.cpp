#include "ui/recording_surface.h"

#include <cstdio>

namespace tarnisk {

namespace {

std::string Hex(Colour c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%06x", c & 0xFFFFFFu);
  return buffer;
}

std::string Coordinates(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
  return text;
}

const char* ModeName(PenMode mode) {
  switch (mode) {
    case PenMode::Merge: return "merge";
    case PenMode::NotXor: return "notxor";
    default: return "copy";
  }
}

}  // namespace

void RecordingSurface::SetPen(Colour colour, int width, PenStyle style, PenMode mode) {
  Record("pen " + Hex(colour) + " " + std::to_string(width) +
         (style == PenStyle::Dotted ? " dotted " : " solid ") + ModeName(mode));
}

void RecordingSurface::SetBrush(Colour colour) { Record("brush " + Hex(colour)); }
void RecordingSurface::SetHollowBrush() { Record("brush hollow"); }
void RecordingSurface::Line(int x1, int y1, int x2, int y2) {
  Record("line " + Coordinates({x1, y1, x2, y2}));
}
void RecordingSurface::Rectangle(int x1, int y1, int x2, int y2) {
  Record("rect " + Coordinates({x1, y1, x2, y2}));
}
void RecordingSurface::FillRect(int x1, int y1, int x2, int y2) {
  Record("fill " + Coordinates({x1, y1, x2, y2}));
}
void RecordingSurface::Pixel(int x, int y, Colour colour) {
  Record("pixel " + Coordinates({x, y}) + " " + Hex(colour));
}
void RecordingSurface::Text(int x, int y, const std::string& text, int pointSize,
                            unsigned style, Colour colour) {
  Record("text " + Coordinates({x, y}) + " " + std::to_string(pointSize) + " " +
         std::to_string(style) + " " + Hex(colour) + " " + text);
}
void RecordingSurface::Clear(Colour colour) { Record("clear " + Hex(colour)); }
void RecordingSurface::PatternFill(int x1, int y1, int x2, int y2, const FillPattern& pattern,
                                   Colour colour) {
  std::string bytes;
  for (uint8_t b : pattern) bytes += Hex(b).substr(4);
  Record("pattern " + Coordinates({x1, y1, x2, y2}) + " " + bytes + " " + Hex(colour));
}

}  // namespace tarnisk
