#pragma once
// The main window's modal command state: which mouse command is active, the
// rubber-band points and what a pending move or stretch needs.

#include <cstdint>

#include "core/geometry.h"

namespace tarnisk {

// Mouse command codes; draw box is the resting state.
enum Command : uint8_t {
  kCommandNone = 0,
  kCommandCut = 4,
  kCommandViewInterconnect = 5,
  kCommandRotate = 6,
  kCommandDrawBox = 7,
  kCommandZoomIn = 9,
  kCommandViewNode = 11,
  kCommandRuler = 12,
  kCommandCopySelect = 13,
  kCommandCopyTarget = 14,
  kCommandText = 15,
  kCommandCrosstalk = 16,
  kCommandPlaceContact = 18,
  kCommandPathStart = 19,
  kCommandPathNext = 20,
  kCommandMoveSelect = 21,
  kCommandStretchTarget = 22,
  kCommandMoveTarget = 23,
  kCommandPlaceContacts = 24,  // the cell generator's placements
  kCommandPlaceBus = 25,
  kCommandPlaceInductor = 26,
  kCommandTestPad = 27,
  kCommandProcessView = 28,
  kCommandPlaceMos = 30,
  kCommandFlip = 31,
  kCommandPlaceLogo = 32,
  kCommandParametric = 33,
  kCommandStepMove = 34,
  kCommandDuplicate = 35,
  kCommandPasteTarget = 36,
  kCommandResistance = 37,
};

// What the text command does with a click (chosen by the palette's tools).
enum PropertyTool : uint8_t {
  kToolText = 0, kToolVss = 1, kToolVdd = 2, kToolPulse = 3, kToolClock = 4, kToolVisible = 5
};

struct CommandState {
  uint8_t command = kCommandDrawBox;
  bool dragging = false;
  Point anchor, current;                         // pixels
  Point selectionLowerLeft, selectionUpperRight;  // pixels, of the last selection
  Point pathStart;                               // pixels
  Point pasteReference;                          // lambda
  Point panCompensation;                         // lambda
  Point lastMouse;                               // pixels
  Point cursor;                                  // lambda, at the last press or release
  uint8_t propertyTool = kToolText;
};

}  // namespace tarnisk
