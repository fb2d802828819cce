#pragma once
// The editing operations behind the mouse commands of the main window:
// storing a box, cut and paste, copy, move and stretch, rotate and flip,
// duplicate in an array, the step-by-step move and the one-level undo.
//
// Areas arrive as two pixel corners in any order and are converted to lambda
// with the view; shifts are in lambda. Boxes on protected layers are never
// selected, cut, moved, stretched, rotated, flipped or duplicated. Every
// operation that changes the layout marks it modified and not extracted.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/arrange.h"
#include "core/geometry.h"

namespace tarnisk {

struct Session;

// Shown when a box table filled up during an operation.
inline constexpr const char* kBoxTableFullMessage = "Waring : box data base full ...";

// What a selection hands back to the main window for its rubber band.
struct SelectionResult {
  int count = 0;                // elements selected
  Point lowerLeft, upperRight;  // pixel corners of the selection's bounding box
};

struct MoveOrStretchResult {
  int boxes = 0, labels = 0;  // selected for a move (labels: texts and marks)
  Point lowerLeft, upperRight;
  int stretchBox = 0;   // box chosen for stretching when nothing was selected, else 0
  int stretchEdge = 0;  // StretchEdge of that box
};

struct ErasedSelection {
  int count = 0;
  Point pasteReference;  // lambda: lower-right corner (xmax, ymin) of the erased group
  Point lowerLeft, upperRight;
};

// The fields of the duplicate dialog, as the user sees and types them.
struct DuplicateFields {
  std::string selectedCount, countX, countY, spacingX, spacingY;
};

struct DuplicateSelection {
  int count = 0;  // boxes highlighted; 0 means no dialog
  DuplicateFields fields;
};

struct StepMoveSelection {
  int count = 0;     // elements highlighted; 0 means no dialog
  std::string step;  // the dialog's step field
};

enum class StepDirection { Left, Right, Up, Down };

// Adds a box on the current layer for the dragged rectangle.
void StoreBox(Session& s, Point a, Point b);

// Cuts the area: a click on a label erases the label only; otherwise every
// box meeting the area loses its part inside it, and a click inside boxes
// erases the topmost layer's. Returns the number of elements erased.
int EraseArea(Session& s, Point a, Point b, bool reportIfNothing);

// Marks the elements inside the area for a copy.
SelectionResult SelectArea(Session& s, Point a, Point b);
// Adds a shifted copy of every marked element; returns how many were marked.
int CopySelection(Session& s, int32_t dx, int32_t dy);

// Takes the elements inside the area away for a move; with nothing inside,
// chooses the last box meeting the area and its edge for a stretch.
MoveOrStretchResult SelectForMoveOrStretch(Session& s, Point a, Point b);
// Adds a shifted copy of every erased element; returns the number added.
int MoveSelection(Session& s, int32_t dx, int32_t dy);
void StretchBox(Session& s, int32_t dx, int32_t dy);

// The erased elements as a group to paste.
ErasedSelection SelectErased(Session& s);
int PasteErased(Session& s, int32_t dx, int32_t dy);

// Counter-clockwise by 90 degrees, or mirrored left to right, about the
// area's centre. Return the number of elements turned.
int RotateArea(Session& s, Point a, Point b);
int FlipArea(Session& s, Point a, Point b);

// Highlights the boxes inside the area and fills the dialog's fields.
DuplicateSelection SelectForDuplicate(Session& s, Point a, Point b);
// Reads the fields into the settings and adds the array; returns boxes added.
int Duplicate(Session& s, const DuplicateFields& fields);
void CancelDuplicate(Session& s);

StepMoveSelection SelectForStepMove(Session& s, Point a, Point b);
// One arrow click; returns the step to write back into the field.
std::string StepMove(Session& s, StepDirection direction, std::string_view stepField);
void CloseStepMove(Session& s);

void Undo(Session& s);

// An operation that only adds records (a generated structure, a path) keeps
// the table counts before it, so that Undo removes what it then added.
void BeginAddition(Session& s);
// After such an operation added something: Undo removes the records added
// since BeginAddition; the layout is modified and no longer extracted.
void EndAddition(Session& s);

// "Arrange the Layout": merges and splits the boxes without drawing the
// pieces, then redraws and reports how many boxes went.
ArrangeResult ArrangeLayout(Session& s);

}  // namespace tarnisk
