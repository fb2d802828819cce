#pragma once
// The main window's mouse and key commands: what a press, a drag and a
// release do under the active command, the rubber-band shapes drawn in
// not-xor mode, the cursor readout, Esc and the arrow keys.
//
// Everything here works on the Session and the attached drawing surface;
// the window only forwards its events and shows the dialogs asked for.

#include <string>

#include "core/geometry.h"

namespace tarnisk {

struct Session;
struct DuplicateSelection;
struct StepMoveSelection;
class TextDialogUi;
class ResistanceDialogUi;

// What the commands need from the window around them.
class CommandUi {
 public:
  virtual ~CommandUi() = default;
  // The active command changed: press its tool button.
  virtual void CommandChanged() = 0;
  virtual void ShowDuplicateDialog(const DuplicateSelection& selection) = 0;
  virtual void ShowStepMoveDialog(const StepMoveSelection& selection) = 0;
  virtual TextDialogUi& TextDialog() = 0;
  virtual ResistanceDialogUi& ResistanceDialog() = 0;
  // Releases the palette's property and placement tools.
  virtual void ReleasePaletteTools() = 0;
};

enum class Key { Up, Down, Left, Right, Escape, Other };

// Makes `code` the active command, ending any rubber band, and shows `status`
// unless it is empty.
void EnterCommand(Session& s, CommandUi& ui, int code, const std::string& status);

void MousePress(Session& s, CommandUi& ui, Point pixel);
void MouseMove(Session& s, Point pixel);
void MouseRelease(Session& s, CommandUi& ui, Point pixel);
void DoubleClick(Session& s, CommandUi& ui, Point pixel);
void KeyDown(Session& s, CommandUi& ui, Key key);

// Shows `window` after the user dragged the view with the mouse; a pending
// move or stretch stays on the layout, as with the arrow keys.
void PanTo(Session& s, const Rect& window);
// False while a rubber band is anchored to a pixel of the present view
// (dragging, except a pending move or stretch, which panning corrects).
bool PanAllowed(const Session& s);

// Starts pasting the erased elements: their outline follows the pointer.
void StartPaste(Session& s, CommandUi& ui);

// Draws the present rubber-band shape again; the view calls it after every
// full redraw, which wipes the shape from the image.
void RestoreShape(Session& s);

// The pixel rectangle the rubber band covers now (for partial repaints).
Rect ShapeBounds(const Session& s);

}  // namespace tarnisk
