#include "session/editor/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "session/session.h"
#include "core/number_format.h"
#include "session/editor/editing.h"
#include "session/editor/ruler.h"
#include "session/editor/texts.h"
#include "session/editor/view.h"
#include "session/analysis/extract_command.h"
#include "session/navigator/navigator_commands.h"
#include "session/generator/generator.h"

namespace tarnisk {

namespace {

constexpr Colour kRubberBand = MakeColour(255, 0, 0);
const char* kMicron = "\xC2\xB5m";

std::string Num(int64_t v) { return std::to_string(v); }

Point Snapped(const Session& s, Point p) {
  return {LambdaToPixelX(s, PixelToLambdaX(s, p.x)), LambdaToPixelY(s, PixelToLambdaY(s, p.y))};
}

Point ToLambda(const Session& s, Point p) { return {PixelToLambdaX(s, p.x), PixelToLambdaY(s, p.y)}; }

// The lambda shift from the anchor to `p`.
Point DragFromAnchor(const Session& s, Point p) {
  const Point a = ToLambda(s, s.command.anchor), b = ToLambda(s, p);
  return {b.x - a.x, b.y - a.y};
}

bool IsDragCommand(int code) {
  switch (code) {
    case kCommandCut: case kCommandRotate: case kCommandDrawBox: case kCommandZoomIn:
    case kCommandRuler: case kCommandCopySelect: case kCommandMoveSelect:
    case kCommandProcessView: case kCommandFlip: case kCommandParametric:
    case kCommandStepMove: case kCommandDuplicate:
      return true;
    default:
      return false;
  }
}

bool IsLineCommand(int code) {
  return code == kCommandRuler || code == kCommandProcessView || code == kCommandParametric;
}

// Layouts from this many boxes up ask before a node view extracts them.
constexpr int kLargeLayout = 5001;

// The node view: extracts (after asking, for a large layout), then shows the
// node under the point in the drawing and the navigator.
void ViewNodeCommand(Session& s, CommandUi& ui, Point pixel) {
  if (!s.layout.wide.extracted && s.layout.boxes.Count() >= kLargeLayout &&
      s.platform.ShowMessage("Warning : this command will take time",
                             "Confirm local node extraction ?",
                             MessageButtons::YesNo) != MessageAnswer::Yes)
    return;
  EnsureExtracted(s);
  ViewNodeAt(s, pixel);
  ui.NavigatorChanged();
}

enum class BandShape { Rectangle, Line, Elbow };

// Screen rectangle (left, top, right, bottom) of the rubber band, or the
// line from (x1, y1) to (x2, y2), straight or bent once.
struct Band {
  int x1, y1, x2, y2;
  BandShape shape = BandShape::Rectangle;
};

bool IsPlacement(int code) {
  switch (code) {
    case kCommandPlaceContact: case kCommandTestPad: case kCommandPlaceContacts:
    case kCommandPlaceBus: case kCommandPlaceInductor: case kCommandPlaceMos:
    case kCommandPlaceLogo:
      return true;
    default:
      return false;
  }
}

Band StretchBand(const Session& s) {
  const Box& b = s.layout.boxes[s.edit.stretchBox];
  Band r{LambdaToPixelX(s, b.x1), LambdaToPixelY(s, b.y2), LambdaToPixelX(s, b.x2),
         LambdaToPixelY(s, b.y1)};
  const CommandState& c = s.command;
  const int dx = c.current.x - c.anchor.x, dy = c.current.y - c.anchor.y;
  switch (s.edit.stretchEdge) {
    case kEdgeEast: r.x2 += dx; break;
    case kEdgeWest: r.x1 += dx; break;
    case kEdgeNorth: r.y1 += dy; break;
    case kEdgeSouth: r.y2 += dy; break;
    default: break;
  }
  return r;
}

Band CurrentBand(const Session& s) {
  const CommandState& c = s.command;
  const Point& ll = c.selectionLowerLeft;
  const Point& ur = c.selectionUpperRight;
  const int dx = c.current.x - c.anchor.x, dy = c.current.y - c.anchor.y;
  switch (c.command) {
    case kCommandCopyTarget:
    case kCommandMoveTarget:
    case kCommandPlaceContact:
    case kCommandTestPad:
      return {ll.x + dx, ur.y + dy, ur.x + dx, ll.y + dy};
    case kCommandPasteTarget:
      return {c.current.x - (ur.x - ll.x), c.current.y - (ll.y - ur.y), c.current.x, c.current.y};
    case kCommandStretchTarget:
      return StretchBand(s);
    case kCommandPathNext:
      return {c.anchor.x, c.anchor.y, c.current.x, c.current.y, BandShape::Elbow};
    default:
      return {c.anchor.x, c.anchor.y, c.current.x, c.current.y,
              IsLineCommand(c.command) ? BandShape::Line : BandShape::Rectangle};
  }
}

// Draws the rubber band, or erases it: drawing the same shape twice in
// not-xor mode restores the pixels under it.
void DrawShape(Session& s) {
  DrawingSurface* out = s.view.surface;
  if (!out) return;
  out->SetPen(kRubberBand, 1, PenStyle::Dotted, PenMode::NotXor);
  out->SetHollowBrush();
  const Band b = CurrentBand(s);
  switch (b.shape) {
    case BandShape::Rectangle: out->Rectangle(b.x1, b.y1, b.x2, b.y2); break;
    case BandShape::Line: out->Line(b.x1, b.y1, b.x2, b.y2); break;
    case BandShape::Elbow: {
      // Along the longer direction first, as the segment will be laid.
      const bool across = std::abs(b.x2 - b.x1) >= std::abs(b.y2 - b.y1);
      const int cx = across ? b.x2 : b.x1, cy = across ? b.y1 : b.y2;
      out->Line(b.x1, b.y1, cx, cy);
      out->Line(cx, cy, b.x2, b.y2);
      break;
    }
  }
  out->SetPen(kRubberBand, 1, PenStyle::Solid, PenMode::Merge);
}

void StartDragging(Session& s, Point at) {
  s.command.anchor = s.command.current = at;
  s.command.dragging = true;
  DrawShape(s);
}

void StopHandleShape(Session& s) {
  if (!s.command.dragging) return;
  DrawShape(s);
  s.command.dragging = false;
}

std::string Microns(const Session& s, int64_t lambda, int width, int decimals) {
  return FormatFixed(double(lambda) * s.technology.LAMB, width, decimals);
}

void ShowDragStatus(Session& s) {
  const CommandState& c = s.command;
  const Point a = ToLambda(s, c.anchor), b = ToLambda(s, c.current);
  const int64_t w = std::abs(int64_t{b.x} - a.x), h = std::abs(int64_t{b.y} - a.y);
  if (c.command == kCommandDrawBox) {
    const LayerInfo& layer = s.layout.layers[s.layout.wide.currentLayer];
    std::string text = layer.name + " box size " + Microns(s, w, 4, 2) + " x " +
                       Microns(s, h, 4, 2) + " " + kMicron + ", (" + Num(w) + " x " + Num(h) +
                       " lambda) ";
    if (w < layer.minWidth || h < layer.minWidth) text += "(too small)";
    ShowStatus(s.platform, text);
  } else if (c.command == kCommandStretchTarget) {
    const Band r = StretchBand(s);
    const int64_t bw = std::abs(PixelToLambdaX(s, r.x2) - PixelToLambdaX(s, r.x1));
    const int64_t bh = std::abs(PixelToLambdaY(s, r.y1) - PixelToLambdaY(s, r.y2));
    ShowStatus(s.platform, "Stretch box to size " + Microns(s, bw, 3, 1) + " x " +
                               Microns(s, bh, 3, 1) + " " + kMicron + ", (" + Num(bw) + " x " +
                               Num(bh) + " lambda)");
  } else if (c.command == kCommandPathNext) {
    const std::string& layer = s.layout.layers[s.generator.settings.path.layer].name;
    ShowStatus(s.platform, layer + " Path " + Microns(s, w, 4, 1) + "," + Microns(s, h, 4, 1) +
                               " " + kMicron + " (Esc to stop)");
  } else {
    ShowStatus(s.platform, "Cursor at location " + Num(b.x) + "," + Num(b.y) + " lambda...");
  }
}

void RecordCursor(Session& s, Point pixel) {
  s.command.cursor = ToLambda(s, pixel);
  s.command.lastMouse = pixel;
}

void SetCommand(Session& s, CommandUi& ui, int code) {
  s.command.command = static_cast<uint8_t>(code);
  ui.CommandChanged();
}

void FollowWithSelection(Session& s, CommandUi& ui, int code, Point at, Point ll, Point ur) {
  s.command.selectionLowerLeft = ll;
  s.command.selectionUpperRight = ur;
  SetCommand(s, ui, code);
  StartDragging(s, at);
}

void EndCopySelection(Session& s, CommandUi& ui, Point a, Point b) {
  const SelectionResult r = SelectArea(s, a, b);
  if (r.count < 1) return;
  FollowWithSelection(s, ui, kCommandCopyTarget, b, r.lowerLeft, r.upperRight);
  ShowStatus(s.platform, "Give the target location for copying " + Num(r.count) + " elements ...");
}

void EndMoveSelection(Session& s, CommandUi& ui, Point a, Point b) {
  const MoveOrStretchResult r = SelectForMoveOrStretch(s, a, b);
  s.command.panCompensation = {};
  if (r.boxes + r.labels > 0) {
    FollowWithSelection(s, ui, kCommandMoveTarget, b, r.lowerLeft, r.upperRight);
    ShowStatus(s.platform, "Give the target location for moving " + Num(r.boxes + r.labels) +
                               " elements ...");
    return;
  }
  if (r.stretchBox == 0 || r.stretchEdge == kEdgeNone) return;
  const Box& box = s.layout.boxes[r.stretchBox];
  SetCommand(s, ui, kCommandStretchTarget);
  StartDragging(s, b);
  ShowStatus(s.platform, "Give the target location for stretching " +
                             s.layout.layers[box.layer].name + " box " + "width " +
                             Microns(s, int64_t{box.x2} - box.x1, 4, 1) + " " + kMicron +
                             ", height " + Microns(s, int64_t{box.y2} - box.y1, 4, 1) + " " +
                             kMicron + "...");
}

void EndTargetCommand(Session& s, CommandUi& ui, int code, Point release) {
  const Point d = DragFromAnchor(s, release);
  const Point pan = s.command.panCompensation;
  switch (code) {
    case kCommandCopyTarget:
      CopySelection(s, d.x, d.y);
      SetCommand(s, ui, kCommandCopySelect);
      break;
    case kCommandStretchTarget:
      StretchBox(s, d.x - pan.x, d.y - pan.y);
      SetCommand(s, ui, kCommandMoveSelect);
      break;
    case kCommandMoveTarget:
      MoveSelection(s, d.x - pan.x, d.y - pan.y);
      SetCommand(s, ui, kCommandMoveSelect);
      break;
    default: {
      const Point at = ToLambda(s, release), ref = s.command.pasteReference;
      PasteErased(s, at.x - ref.x, at.y - ref.y);
      SetCommand(s, ui, kCommandDrawBox);
    }
  }
}

void EndAreaCommand(Session& s, CommandUi& ui, int code, Point a, Point b) {
  switch (code) {
    case kCommandCut: EraseArea(s, a, b, true); break;
    case kCommandRotate: RotateArea(s, a, b); break;
    case kCommandDrawBox: StoreBox(s, a, b); break;
    case kCommandZoomIn: ZoomToArea(s, a, b); break;
    case kCommandRuler: Ruler(s, a, b); break;
    case kCommandCopySelect: EndCopySelection(s, ui, a, b); break;
    case kCommandMoveSelect: EndMoveSelection(s, ui, a, b); break;
    case kCommandFlip: FlipArea(s, a, b); break;
    case kCommandProcessView: ui.ShowProcessSection(ToLambda(s, a), ToLambda(s, b)); break;
    case kCommandParametric: ui.ShowParametricAnalysis(ToLambda(s, a), ToLambda(s, b)); break;
    case kCommandStepMove: {
      const StepMoveSelection r = SelectForStepMove(s, a, b);
      if (r.count == 0) ShowStatus(s.platform, "No box selected to move. Try again...");
      else ui.ShowStepMoveDialog(r);
      break;
    }
    case kCommandDuplicate: {
      const DuplicateSelection r = SelectForDuplicate(s, a, b);
      if (r.count == 0) ShowStatus(s.platform, "No box in this area. Try again...");
      SetCommand(s, ui, kCommandDrawBox);
      if (r.count > 0) ui.ShowDuplicateDialog(r);
      break;
    }
  }
}

// Puts the elements taken away for a pending move (boxes, texts and
// resistance marks) back in place.
void RestoreMovedSelection(Session& s) {
  const auto revive = [](auto& table, uint8_t live) {
    for (int i = 1; i <= table.Count(); ++i)
      if (table[i].state == 0) table[i].state = live;
  };
  revive(s.layout.boxes, kNormal);
  revive(s.layout.texts, 1);
  revive(s.layout.resistances, 1);
}

// A move that waits for its target gives its selection back, so that no
// other command finds it erased: the selection is never lost.
bool CancelPendingMove(Session& s) {
  if (s.command.command != kCommandMoveTarget) return false;
  StopHandleShape(s);
  RestoreMovedSelection(s);
  return true;
}

// After the view panned under a pending move or stretch (the redraw has
// drawn the shape again where it was): the move counts the layout's shift,
// the stretch anchor follows the layout on the screen.
void CompensatePan(Session& s, Rect before) {
  CommandState& c = s.command;
  const Rect& after = s.layout.wide.window;
  const int32_t shiftX = before.xmin - after.xmin, shiftY = before.ymin - after.ymin;
  if (c.command == kCommandMoveTarget) {
    c.panCompensation.x += shiftX;
    c.panCompensation.y += shiftY;
    return;
  }
  DrawShape(s);
  if (s.edit.stretchEdge == kEdgeEast || s.edit.stretchEdge == kEdgeWest)
    c.anchor.x += int(std::lround(shiftX * s.layout.wide.scale));
  else
    c.anchor.y -= int(std::lround(shiftY * s.layout.wide.scale));
  DrawShape(s);
}

// Runs a pan of the view; a pending move or stretch stays on the layout.
template <class PanView>
void PanKeepingShape(Session& s, PanView pan) {
  const Rect before = s.layout.wide.window;
  const bool pending = s.command.dragging && (s.command.command == kCommandMoveTarget ||
                                              s.command.command == kCommandStretchTarget);
  pan();
  if (pending) CompensatePan(s, before);
}

void Pan(Session& s, Key key) {
  PanKeepingShape(s, [&] {
    if (key == Key::Up || key == Key::Down) PanVertical(s, key == Key::Up ? 1 : -1);
    else PanHorizontal(s, key == Key::Right ? 1 : -1);
  });
}

void Escape(Session& s, CommandUi& ui) {
  StopHandleShape(s);
  CancelPendingMove(s);
  ui.ReleasePaletteTools();
  SetCommand(s, ui, kCommandDrawBox);
  RedrawClean(s);
}

// The structure of a placement command at the release point, then back to
// drawing boxes with the palette's tools released.
void EndPlacement(Session& s, CommandUi& ui, Point release) {
  PlaceAt(s, s.command.command, ToLambda(s, release));
  ui.ReleasePaletteTools();
  SetCommand(s, ui, kCommandDrawBox);
}

// The rubber line of the path follows the pointer from the path start.
void FollowFromPathStart(Session& s, CommandUi& ui) {
  SetCommand(s, ui, kCommandPathNext);
  StartDragging(s, s.command.pathStart);
}

void StartPathAt(Session& s, CommandUi& ui, Point release) {
  BeginPath(s);
  s.command.pathStart = release;
  FollowFromPathStart(s, ui);
  ShowStatus(s.platform, "Start path...");
}

void NextPathSegment(Session& s, CommandUi& ui, Point release) {
  const PathSegment segment =
      AddPathSegment(s, ToLambda(s, s.command.pathStart), ToLambda(s, release));
  s.command.pathStart = {LambdaToPixelX(s, segment.nextStart.x),
                         LambdaToPixelY(s, segment.nextStart.y)};
  FollowFromPathStart(s, ui);
}

}  // namespace

void StartMacroOutline(Session& s, int32_t size) {
  StopHandleShape(s);
  // Pixel lengths of lambda counts, measured from lambda 0, halved.
  const auto half = [&](int32_t lambda) {
    return std::abs(LambdaToPixelX(s, lambda) - LambdaToPixelX(s, 0)) / 2;
  };
  const bool odd = size % 2 != 0;
  const int low = half(odd ? size - 1 : size), high = half(odd ? size + 1 : size);
  // The larger half lies right and up, which is up the screen.
  CommandState& c = s.command;
  c.anchor = c.current = {};
  c.selectionLowerLeft = {-low, low};
  c.selectionUpperRight = {high, -high};
  StartDragging(s, {});
}

void EnterCommand(Session& s, CommandUi& ui, int code, const std::string& status) {
  StopHandleShape(s);
  if (CancelPendingMove(s)) Redraw(s);
  SetCommand(s, ui, code);
  if (!status.empty()) ShowStatus(s.platform, status);
}

void EndPendingMove(Session& s, CommandUi& ui) {
  if (!CancelPendingMove(s)) return;
  SetCommand(s, ui, kCommandDrawBox);
  Redraw(s);
}

void MousePress(Session& s, CommandUi& ui, Point pixel) {
  RecordCursor(s, pixel);
  const Point at = s.command.cursor;
  ShowStatus(s.platform, "Cursor at location " + Num(at.x) + "," + Num(at.y) + " lambda...");
  const int code = s.command.command;
  if (IsDragCommand(code)) StartDragging(s, Snapped(s, pixel));
  else if (code == kCommandViewNode) ViewNodeCommand(s, ui, pixel);
  else if (code == kCommandViewInterconnect) ExtractInterconnectAt(s, pixel), ui.NavigatorChanged();
  else if (code == kCommandCrosstalk) CrosstalkAt(s, pixel), ui.NavigatorChanged();
  else if (code == kCommandPathStart) ShowStatus(s.platform, "Path start...");
}

void MouseMove(Session& s, Point pixel) {
  s.command.lastMouse = pixel;
  if (!s.command.dragging) return;
  DrawShape(s);
  s.command.current = pixel;
  DrawShape(s);
  ShowDragStatus(s);
}

void MouseRelease(Session& s, CommandUi& ui, Point pixel) {
  RecordCursor(s, pixel);
  const bool wasDragging = s.command.dragging;
  StopHandleShape(s);
  const int code = s.command.command;
  switch (code) {
    case kCommandCopyTarget:
    case kCommandStretchTarget:
    case kCommandMoveTarget:
    case kCommandPasteTarget:
      if (wasDragging) EndTargetCommand(s, ui, code, pixel);
      break;
    case kCommandText:
      TextCommandAt(s, pixel, ui.TextDialog());
      ui.ReleasePaletteTools();
      SetCommand(s, ui, kCommandDrawBox);
      break;
    case kCommandResistance:
      ResistanceAt(s, pixel, ui.ResistanceDialog());
      break;
    case kCommandPathStart:
      StartPathAt(s, ui, pixel);
      break;
    case kCommandPathNext:
      NextPathSegment(s, ui, pixel);
      break;
    default:
      if (IsPlacement(code)) EndPlacement(s, ui, pixel);
      else if (wasDragging) EndAreaCommand(s, ui, code, s.command.anchor, pixel);
  }
}

void DoubleClick(Session& s, CommandUi& ui, Point pixel) {
  StopHandleShape(s);
  if (EditTextAt(s, pixel, ui.TextDialog())) SetCommand(s, ui, kCommandNone);
  else ViewNodeCommand(s, ui, pixel);
}

void KeyDown(Session& s, CommandUi& ui, Key key) {
  switch (key) {
    case Key::Escape: Escape(s, ui); break;
    case Key::Other: break;
    default: Pan(s, key);
  }
}

void PanTo(Session& s, const Rect& window) {
  PanKeepingShape(s, [&] { SetWindow(s, window.xmin, window.ymin, window.xmax, window.ymax); });
}

bool PanAllowed(const Session& s) {
  const int code = s.command.command;
  return !s.command.dragging || code == kCommandMoveTarget || code == kCommandStretchTarget;
}

void StartPaste(Session& s, CommandUi& ui) {
  ShowStatus(s.platform, "Paste...");
  StopHandleShape(s);
  const ErasedSelection r = SelectErased(s);
  if (r.count < 1) return;
  s.command.pasteReference = r.pasteReference;
  FollowWithSelection(s, ui, kCommandPasteTarget, s.command.lastMouse, r.lowerLeft, r.upperRight);
  ShowStatus(s.platform, "Give the target location to paste " + Num(r.count) + " elements ...");
}

void RestoreShape(Session& s) {
  if (s.command.dragging) DrawShape(s);
}

Rect ShapeBounds(const Session& s) {
  const Band b = CurrentBand(s);
  return {std::min(b.x1, b.x2), std::min(b.y1, b.y2), std::max(b.x1, b.x2),
          std::max(b.y1, b.y2)};
}

}  // namespace tarnisk
