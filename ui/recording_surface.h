#pragma once
// A surface that draws nothing and records every call as one line of text,
// for tests that check what is drawn rather than the pixels.

#include <string>
#include <vector>

#include "ui/drawing_surface.h"

namespace tarnisk {

class RecordingSurface : public DrawingSurface {
 public:
  RecordingSurface(int width, int height) : width_(width), height_(height) {}

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void SetPen(Colour colour, int width, PenStyle style, PenMode mode) override;
  void SetBrush(Colour colour) override;
  void SetHollowBrush() override;
  void Line(int x1, int y1, int x2, int y2) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  void FillRect(int x1, int y1, int x2, int y2) override;
  void Pixel(int x, int y, Colour colour) override;
  void Text(int x, int y, const std::string& text, int pointSize, unsigned style,
            Colour colour) override;
  void Clear(Colour colour) override;
  void PatternFill(int x1, int y1, int x2, int y2, const FillPattern& pattern,
                   Colour colour) override;

  const std::vector<std::string>& Calls() const { return calls_; }
  void Forget() { calls_.clear(); }

 private:
  void Record(std::string call) { calls_.push_back(std::move(call)); }

  int width_, height_;
  std::vector<std::string> calls_;
};

}  // namespace tarnisk
