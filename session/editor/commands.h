#pragma once
// The main window's mouse and key commands: what a press, a drag and a
// release do under the active command, the rubber-band shapes drawn in
// not-xor mode, the cursor readout, Esc and the arrow keys.
//
// Everything here works on the Session and the attached drawing surface;
// the window only forwards its events and shows the dialogs asked for.

#include <cstdint>
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
  // A line drawn for the process view (the cut) or for the parametric
  // analysis (the spacing line); its ends in lambda.
  virtual void ShowProcessSection(Point a, Point b) = 0;
  virtual void ShowParametricAnalysis(Point a, Point b) = 0;
  // A layout command changed what the navigator shows: show it.
  virtual void NavigatorChanged() = 0;
};

enum class Key { Up, Down, Left, Right, Escape, Other };

// Makes `code` the active command, ending any rubber band and giving back
// the selection of a pending move, and shows `status` unless it is empty. A
// command whose subsystem is not built yet is refused at once with
// "<name> is not available yet".
void EnterCommand(Session& s, CommandUi& ui, int code, const std::string& status);

// Ends a move that waits for its target, its selection back in place, before
// an operation that could purge or save the layout; otherwise does nothing.
void EndPendingMove(Session& s, CommandUi& ui);

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

// The outline of a placement macro, a square of `size` lambda centred on the
// pointer, follows it like a moved selection until the click that places it.
void StartMacroOutline(Session& s, int32_t size);

// Draws the present rubber-band shape again; the view calls it after every
// full redraw, which wipes the shape from the image.
void RestoreShape(Session& s);

// The pixel rectangle the rubber band covers now (for partial repaints).
Rect ShapeBounds(const Session& s);

}  // namespace tarnisk
