#pragma once
// What the editor's tool windows (palette, dialogs) may ask of the main
// window.

#include <string>

namespace tarnisk {

struct Session;
enum class GeneratorPage : int;

class EditorHost {
 public:
  virtual ~EditorHost() = default;
  virtual Session& State() = 0;
  // Makes `code` the active mouse command (pressing its tool button) and
  // shows `status` unless it is empty.
  virtual void EnterCommand(int code, const std::string& status) = 0;
  // Releases the palette's placement tools, command 7, "Draw Box" pressed.
  virtual void EndPlacement() = 0;
  virtual void BringToFront() = 0;
  // Redraws the drawing area from the layout.
  virtual void RedrawLayout() = 0;
  // Shows the cell generator window on a page, modal or not.
  virtual void ShowCellGenerator(GeneratorPage page, bool modal) = 0;
};

// A tool window that shows something of the layout: New and Open tell it that
// the layout was replaced, so that it drops what it showed of the old one.
class LayoutFollower {
 public:
  virtual ~LayoutFollower() = default;
  virtual void LayoutReplaced() = 0;
};

}  // namespace tarnisk
