#include "session/editor/editing.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/arrange.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/editor/view.h"
#include "session/session.h"

namespace tarnisk {

namespace {

constexpr const char* kNothingSelectedMessage = "Warning : no element selected";
constexpr const char* kMicrons = "\xC2\xB5m";
constexpr Colour kSelectionYellow = MakeColour(255, 255, 0);
// A drag smaller than this in pixels is a click.
constexpr int kClickSize = 11;
// Label rectangle of a text or mark for hits by a click: per character plus
// one, and its height, in pixels below the anchor.
constexpr int kLabelCharWidth = 8;
constexpr int kLabelHeight = 18;

// Where a label stands in a selection's bounding box, around its anchor.
struct Frame {
  int32_t left, bottom, right, top;
};
constexpr Frame kCopyTextFrame{2, 2, 2, 2};
constexpr Frame kCopyMarkFrame{2, 2, 10, 2};
constexpr Frame kMoveMarkFrame{0, 1, 5, 1};
constexpr Frame kPasteFrame{2, 3, 10, 3};

Rect FrameAt(int32_t x, int32_t y, Frame f) {
  return {x - f.left, y - f.bottom, x + f.right, y + f.top};
}


int64_t Width(const Rect& r) { return int64_t{r.xmax} - r.xmin; }
int64_t Height(const Rect& r) { return int64_t{r.ymax} - r.ymin; }

void MarkChanged(Session& s) {
  s.layout.wide.modified = 1;
  s.layout.wide.extracted = 0;
}

// All three counts, so that an undo never removes texts or marks that were
// added before the operation it reverts.
void SaveCounts(Session& s) {
  LayoutWideState& w = s.layout.wide;
  w.savedBoxCount = s.layout.boxes.Count();
  w.savedTextCount = s.layout.texts.Count();
  w.savedResistanceCount = s.layout.resistances.Count();
}

void SetUndo(Session& s, UndoCode code) { s.layout.wide.undoCode = code; }

void Status(Session& s, const std::string& text) { ShowStatus(s.platform, text); }

void ReportTableFull(Session& s, bool full) {
  if (full) Status(s, kBoxTableFullMessage);
}

bool Unprotected(const Session& s, const Box& b) { return !s.layout.layers[b.layer].isProtected; }

template <class Label>
bool AnchorInside(const Label& l, const Rect& r) {
  return PointInRect({l.x, l.y}, r);
}

SelectionResult Selected(const Session& s, int count, const Rect& bound) {
  return {count,
          {LambdaToPixelX(s, bound.xmin), LambdaToPixelY(s, bound.ymin)},
          {LambdaToPixelX(s, bound.xmax), LambdaToPixelY(s, bound.ymax)}};
}

void ShowSelectedStatus(Session& s, int count, const Rect& bound) {
  Status(s, std::to_string(count) + " element(s) selected (area " + std::to_string(Width(bound)) +
                " x " + std::to_string(Height(bound)) + " lambda )");
}

// Calls fn(box) for every box in state 1 on an unprotected layer lying
// entirely inside the area.
template <class Fn>
void ForNormalBoxesInside(Session& s, const Rect& area, Fn fn) {
  auto& boxes = s.layout.boxes;
  for (int i = 1; i <= boxes.Count(); ++i) {
    Box& b = boxes[i];
    if (b.state == kNormal && Unprotected(s, b) && BoxInside(s.layout, i, area)) fn(b);
  }
}

// Calls fn(label) for every live text and mark anchored inside the area.
template <class Fn>
void ForLiveLabelsInside(Session& s, const Rect& area, Fn fn) {
  ForEachLive(s.layout.texts, [&](int, LayoutText& t) {
    if (AnchorInside(t, area)) fn(t);
  });
  ForEachLive(s.layout.resistances, [&](int, ResistanceMark& m) {
    if (AnchorInside(m, area)) fn(m);
  });
}

// Puts the records 1..upTo of a table that are in state `from` in state `to`.
// The states are shared: 0 erased, 1 normal (live), 2 marked, 3 highlighted.
template <class Table>
void ChangeState(Table& table, uint8_t from, uint8_t to, int upTo = INT_MAX) {
  const int last = std::min(upTo, table.Count());
  for (int i = 1; i <= last; ++i)
    if (table[i].state == from) table[i].state = to;
}

void ChangeStateEverywhere(Session& s, uint8_t from, uint8_t to) {
  ChangeState(s.layout.boxes, from, to);
  ChangeState(s.layout.texts, from, to);
  ChangeState(s.layout.resistances, from, to);
}

// Highlights left by the checker or the navigator are not part of a new
// duplicate or step-move selection, so they are cleared first.
void ClearHighlights(Session& s) { ChangeStateEverywhere(s, kHighlighted, kNormal); }

// ---- selection for copy and move ----

struct Tally {
  int boxes = 0, labels = 0;
  int Total() const { return boxes + labels; }
};

template <class Table>
int MarkLabelsInside(Table& table, const Rect& area, Frame frame, Rect& bound) {
  int count = 0;
  for (int i = 1; i <= table.Count(); ++i) {
    auto& label = table[i];
    label.state = 1;
    if (!AnchorInside(label, area)) continue;
    label.state = 2;
    GrowRect(bound, FrameAt(label.x, label.y, frame));
    ++count;
  }
  return count;
}

// Marks (state 2) the boxes on unprotected layers inside the area and the
// labels anchored inside it; every other label becomes live. A box still
// marked by an earlier command loses its mark, so that only this selection
// is copied or moved.
Tally MarkInside(Session& s, const Rect& area, Frame textFrame, Frame markFrame, Rect& bound) {
  Tally tally;
  auto& boxes = s.layout.boxes;
  for (int i = 1; i <= boxes.Count(); ++i) {
    Box& b = boxes[i];
    if (b.state == kMarked) b.state = kNormal;
    if (!Unprotected(s, b) || !BoxInside(s.layout, i, area)) continue;
    b.state = kMarked;
    GrowRect(bound, RectOf(b));
    ++tally.boxes;
  }
  tally.labels = MarkLabelsInside(s.layout.texts, area, textFrame, bound) +
                 MarkLabelsInside(s.layout.resistances, area, markFrame, bound);
  return tally;
}

// ---- shifted copies (copy, move, paste) ----

struct CopyTally {
  int sources = 0, added = 0;
  bool full = false;
};

void AddShiftedBox(Session& s, int i, int32_t dx, int32_t dy) {
  const Box b = s.layout.boxes[i];
  s.LastError = AddBox(s.layout, b.x1 + dx, b.y1 + dy, b.x2 + dx, b.y2 + dy, b.layer);
}

// The copy keeps the source's property, levels and times (a moved clock stays
// a clock) and is live whatever the source's state.
void AddShiftedText(Session& s, int i, int32_t dx, int32_t dy) {
  auto& texts = s.layout.texts;
  const int before = texts.Count();
  s.LastError = AddLayoutText(s.layout, texts[i].x + dx, texts[i].y + dy, texts[i].text);
  if (texts.Count() == before) return;
  CopyTextProperties(s.layout, i, texts.Count());
  texts[texts.Count()].state = 1;
}

void AddShiftedMark(Session& s, int i, int32_t dx, int32_t dy) {
  const ResistanceMark& m = s.layout.resistances[i];
  s.LastError = AddResistanceMark(s.layout, m.x + dx, m.y + dy, m.text);
}

// For every record present at the start in `sourceState`: puts it in
// `leftState` and adds its copy.
template <class Table, class AddCopy>
void CopyEach(Session& s, Table& table, uint8_t sourceState, uint8_t leftState, AddCopy addCopy,
              CopyTally& tally) {
  const int count = table.Count();
  for (int i = 1; i <= count; ++i) {
    if (table[i].state != sourceState) continue;
    table[i].state = leftState;
    const int before = table.Count();
    addCopy(i);
    ++tally.sources;
    tally.added += table.Count() - before;
    tally.full |= s.LastError != 0;
  }
}

CopyTally CopyAll(Session& s, uint8_t sourceState, uint8_t leftState, int32_t dx, int32_t dy) {
  CopyTally tally;
  CopyEach(
      s, s.layout.boxes, sourceState, leftState, [&](int i) { AddShiftedBox(s, i, dx, dy); },
      tally);
  CopyEach(
      s, s.layout.texts, sourceState, leftState, [&](int i) { AddShiftedText(s, i, dx, dy); },
      tally);
  CopyEach(
      s, s.layout.resistances, sourceState, leftState, [&](int i) { AddShiftedMark(s, i, dx, dy); },
      tally);
  return tally;
}

// Move and paste: every erased element comes back shifted, the sources stay
// erased so that the undo (or another paste) still finds them.
int AddShiftedCopiesOfErased(Session& s, int32_t dx, int32_t dy) {
  SaveCounts(s);
  const CopyTally tally = CopyAll(s, kErased, kErased, dx, dy);
  if (tally.added >= 1) {
    Status(s, std::to_string(tally.added) + " elements moved.");
    MarkChanged(s);
  }
  ReportTableFull(s, tally.full);
  SetUndo(s, kUndoMoveOrPaste);
  Redraw(s);
  return tally.added;
}

// ---- erase ----

// Hit when the anchor lies in the area, or when the dragged rectangle's
// lower-left pixel lies on the label.
template <class Label>
bool LabelHit(const Session& s, const Label& l, const Rect& area, Point lowerLeftPixel) {
  if (AnchorInside(l, area)) return true;
  const int64_t px = LambdaToPixelX(s, l.x), py = LambdaToPixelY(s, l.y);
  const int64_t width = kLabelCharWidth * (int64_t(l.text.size()) + 1);
  return lowerLeftPixel.x >= px && lowerLeftPixel.x <= px + width && lowerLeftPixel.y >= py &&
         lowerLeftPixel.y <= py + kLabelHeight;
}

template <class Table>
int EraseLabelsHit(const Session& s, Table& table, const Rect& area, Point lowerLeftPixel,
                   Rect& erased) {
  int count = 0;
  ForEachLive(table, [&](int, auto& label) {
    if (!LabelHit(s, label, area, lowerLeftPixel)) return;
    label.state = 0;
    GrowRect(erased, {label.x, label.y, label.x, label.y});
    ++count;
  });
  return count;
}

// The box keeps the part inside the area, erased, and the parts around it
// are added as new boxes. False (nothing done) when they do not fit.
bool CutBox(Session& s, int index, const Rect& area, Rect& erased) {
  const Box box = s.layout.boxes[index];
  const Rect c{std::max(box.x1, area.xmin), std::max(box.y1, area.ymin),
               std::min(box.x2, area.xmax), std::min(box.y2, area.ymax)};
  const Rect parts[] = {{box.x1, box.y1, c.xmin, box.y2},
                        {c.xmin, box.y1, c.xmax, c.ymin},
                        {c.xmax, box.y1, box.x2, box.y2},
                        {c.xmin, c.ymax, c.xmax, box.y2}};
  if ((s.LastError = AddBoxParts(s.layout, parts, box.layer)) != kTableOk) return false;
  GrowRect(erased, c);
  Box& cut = s.layout.boxes[index];
  SetBoxRect(cut, c);
  cut.state = kErased;
  return true;
}

bool Contains(const Box& b, const Rect& area) {
  return b.x1 <= area.xmin && b.y1 <= area.ymin && b.x2 >= area.xmax && b.y2 >= area.ymax;
}

// Of the boxes containing the whole area, those on the highest layer go.
int EraseTopCandidates(Session& s, const std::vector<int>& candidates, Rect& erased) {
  int topLayer = 0;
  for (int i : candidates) topLayer = std::max<int>(topLayer, s.layout.boxes[i].layer);
  int count = 0;
  for (int i : candidates) {
    Box& b = s.layout.boxes[i];
    if (b.layer != topLayer) continue;
    b.state = kErased;
    GrowRect(erased, RectOf(b));
    ++count;
  }
  return count;
}

int EraseBoxes(Session& s, const Rect& area, Rect& erased, bool& full) {
  auto& boxes = s.layout.boxes;
  const int count = boxes.Count();
  std::vector<int> candidates;
  int erasedCount = 0;
  for (int i = 1; i <= count; ++i) {
    const Box& b = boxes[i];
    if (b.state == kErased || !Unprotected(s, b) || !BoxIntersects(s.layout, i, area)) continue;
    if (Contains(b, area)) {
      candidates.push_back(i);
    } else if (CutBox(s, i, area, erased)) {
      ++erasedCount;
    } else {
      full = true;
    }
  }
  return erasedCount + EraseTopCandidates(s, candidates, erased);
}

// ---- stretch ----

// Whether the box edge at `edge` is the one the area points at: the edge
// lies in the area (lo..hi) and the box spans across the area or within it
// along the edge, or the edge lies on the area's border.
bool EdgeMatches(int32_t edge, int32_t lo, int32_t hi, int32_t boxLo, int32_t boxHi, int32_t areaLo,
                 int32_t areaHi) {
  const bool within = lo <= edge && edge <= hi;
  const bool boxWithinArea = boxLo >= areaLo && boxHi <= areaHi;
  const bool areaWithinBox = boxLo <= areaLo && boxHi >= areaHi;
  return (within && boxWithinArea) || edge == lo || edge == hi || (within && areaWithinBox);
}

int ChooseEdge(const Box& b, const Rect& a) {
  if (EdgeMatches(b.x2, a.xmin, a.xmax, b.y1, b.y2, a.ymin, a.ymax)) return kEdgeEast;
  if (EdgeMatches(b.x1, a.xmin, a.xmax, b.y1, b.y2, a.ymin, a.ymax)) return kEdgeWest;
  if (EdgeMatches(b.y2, a.ymin, a.ymax, b.x1, b.x2, a.xmin, a.xmax)) return kEdgeNorth;
  if (EdgeMatches(b.y1, a.ymin, a.ymax, b.x1, b.x2, a.xmin, a.xmax)) return kEdgeSouth;
  return kEdgeNone;
}

const char* EdgeName(int edge) {
  static const char* const kNames[] = {"south", "west", "none", "east", "north"};
  return kNames[edge - kEdgeSouth];
}

MoveOrStretchResult ChooseStretch(Session& s, const Rect& area) {
  auto& boxes = s.layout.boxes;
  int found = boxes.Count();
  while (found >= 1 && (!Unprotected(s, boxes[found]) || !BoxIntersects(s.layout, found, area)))
    --found;
  if (found < 1) {
    Status(s, "No box or text selected");
    return {};
  }
  EditState& e = s.edit;
  e.stretchBox = found;
  e.savedStretch = RectOf(boxes[found]);
  e.stretchEdge = ChooseEdge(boxes[found], area);
  SetUndo(s, kUndoRestoreStretch);
  Status(s, "Box " + std::to_string(found) + " to stretch " + EdgeName(e.stretchEdge) + "...");
  MoveOrStretchResult result;
  result.stretchBox = found;
  result.stretchEdge = e.stretchEdge;
  return result;
}

MoveOrStretchResult TakeAwayForMove(Session& s, Tally tally) {
  ChangeStateEverywhere(s, kMarked, kErased);
  Status(s, std::to_string(tally.boxes) + " boxes, " + std::to_string(tally.labels) +
                " label to move ...");
  MarkChanged(s);
  Redraw(s);
  const SelectionResult corners = Selected(s, tally.Total(), s.edit.selection);
  MoveOrStretchResult result;
  result.boxes = tally.boxes;
  result.labels = tally.labels;
  result.lowerLeft = corners.lowerLeft;
  result.upperRight = corners.upperRight;
  return result;
}

// ---- rotate and flip ----

using PointMap = Point (*)(Point p, Point centre);

Point RotateLeft(Point p, Point c) {
  return {static_cast<int32_t>(int64_t{c.x} + c.y - p.y),
          static_cast<int32_t>(int64_t{c.y} + p.x - c.x)};
}

Point MirrorX(Point p, Point c) { return {static_cast<int32_t>(2 * int64_t{c.x} - p.x), p.y}; }

// Applies the map to every editable element inside the area: boxes take the
// rectangle spanned by their mapped corners, labels their mapped anchor.
int MapArea(Session& s, Point a, Point b, PointMap map, const std::string& verb) {
  const Rect area = PixelAreaToLambda(s, a, b);
  const Point centre{static_cast<int32_t>((int64_t{area.xmin} + area.xmax) / 2),
                     static_cast<int32_t>((int64_t{area.ymin} + area.ymax) / 2)};
  int count = 0;
  ForNormalBoxesInside(s, area, [&](Box& box) {
    const Point p = map({box.x1, box.y1}, centre), q = map({box.x2, box.y2}, centre);
    SetBoxRect(box,
               {std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)});
    ++count;
  });
  ForLiveLabelsInside(s, area, [&](auto& label) {
    const Point p = map({label.x, label.y}, centre);
    label.x = p.x, label.y = p.y;
    ++count;
  });
  Status(s, verb + " " + std::to_string(count) + " elements.");
  if (count > 0) MarkChanged(s);
  Redraw(s);
  return count;
}

// ---- duplicate ----

DuplicateFields FieldsFromSettings(const EditState& e) {
  return {"0", std::to_string(e.duplicateCountX), std::to_string(e.duplicateCountY),
          std::to_string(e.duplicateSpacingX), std::to_string(e.duplicateSpacingY)};
}

void ReadDuplicateField(const std::string& text, int& setting) {
  const ParsedNumber n = ParseNumber(text, 0, 1000, 2);
  if (n.ok) setting = RoundToInt32(n.value);
}

// Adds the copies of one box for the array; false when the table filled up.
bool AddArrayOf(Session& s, const Box& b, int& added) {
  const EditState& e = s.edit;
  for (int i = 1; i <= e.duplicateCountX; ++i) {
    for (int j = 1; j <= e.duplicateCountY; ++j) {
      if (i == 1 && j == 1) continue;
      const int32_t dx = (i - 1) * e.duplicateSpacingX, dy = (j - 1) * e.duplicateSpacingY;
      s.LastError = AddBox(s.layout, b.x1 + dx, b.y1 + dy, b.x2 + dx, b.y2 + dy, b.layer);
      if (s.LastError != 0) return false;
      ++added;
    }
  }
  return true;
}

// ---- step move ----

template <class Table>
void ShiftHighlightedLabels(Table& table, int32_t dx, int32_t dy) {
  for (int i = 1; i <= table.Count(); ++i) {
    auto& label = table[i];
    if (label.state != kHighlighted) continue;
    label.x += dx;
    label.y += dy;
  }
}

void ShiftHighlighted(Session& s, int32_t dx, int32_t dy) {
  auto& boxes = s.layout.boxes;
  for (int i = 1; i <= boxes.Count(); ++i) {
    Box& b = boxes[i];
    if (b.state != kHighlighted) continue;
    SetBoxRect(b, {b.x1 + dx, b.y1 + dy, b.x2 + dx, b.y2 + dy});
  }
  ShiftHighlightedLabels(s.layout.texts, dx, dy);
  ShiftHighlightedLabels(s.layout.resistances, dx, dy);
}

// ---- undo ----

template <class Table>
void EraseAbove(Table& table, int saved) {
  for (int i = std::max(saved, 0) + 1; i <= table.Count(); ++i) table[i].state = kErased;
}

void ReviveErasedUpTo(Session& s, int boxes, int texts, int marks) {
  ChangeState(s.layout.boxes, kErased, kNormal, boxes);
  ChangeState(s.layout.texts, kErased, kNormal, texts);
  ChangeState(s.layout.resistances, kErased, kNormal, marks);
}

void RemoveAddedSinceSave(Session& s) {
  const LayoutWideState& w = s.layout.wide;
  EraseAbove(s.layout.boxes, w.savedBoxCount);
  EraseAbove(s.layout.texts, w.savedTextCount);
  EraseAbove(s.layout.resistances, w.savedResistanceCount);
  Purge(s.layout);
}

// The text added by the text command is the one above the saved count; when
// that command added nothing, nothing is removed.
void RemoveLastText(Session& s) {
  auto& texts = s.layout.texts;
  const int saved = s.layout.wide.savedTextCount;
  if (saved >= 0 && saved < texts.Count()) texts.Truncate(saved);
}

// Index checked: a purge since the stretch may have shortened the table.
void RestoreStretched(Session& s) {
  const int i = s.edit.stretchBox;
  if (i >= 1 && i <= s.layout.boxes.Count()) SetBoxRect(s.layout.boxes[i], s.edit.savedStretch);
}

}  // namespace

void StoreBox(Session& s, Point a, Point b) {
  const Rect r = PixelAreaToLambda(s, a, b);
  s.LastError = 0;
  const int64_t w = Width(r), h = Height(r);
  // A click stores nothing and keeps the counts the undo of the last
  // operation needs.
  if (w == 0 || h == 0) return;
  SaveCounts(s);
  const int layer = s.layout.wide.currentLayer;
  s.LastError = AddBox(s.layout, r.xmin, r.ymin, r.xmax, r.ymax, layer);
  if (s.LastError != 0) {
    Status(s, kBoxTableFullMessage);
    return;
  }
  SetUndo(s, kUndoRemoveAdded);
  MarkChanged(s);
  const double lambda = s.technology.LAMB;
  Status(s, "Store a " + s.layout.layers[layer].name + " box with size " + std::to_string(w) +
                " x " + std::to_string(h) + " lambda (" + FormatFixed(w * lambda, 4, 2) + " x " +
                FormatFixed(h * lambda, 4, 2) + " " + kMicrons + ")");
}

int EraseArea(Session& s, Point a, Point b, bool reportIfNothing) {
  const Rect area = PixelAreaToLambda(s, a, b);
  const bool click = std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)) < kClickSize;
  const Point lowerLeftPixel{std::min(a.x, b.x), std::max(a.y, b.y)};
  SaveCounts(s);
  Purge(s.layout);
  ChangeState(s.layout.boxes, kMarked, kNormal);
  s.LastError = 0;
  Rect erased = kSentinelRect;
  int count = EraseLabelsHit(s, s.layout.texts, area, lowerLeftPixel, erased) +
              EraseLabelsHit(s, s.layout.resistances, area, lowerLeftPixel, erased);
  const bool labelClicked = click && count > 0;
  bool full = false;
  if (!labelClicked) count += EraseBoxes(s, area, erased, full);
  if (count > 0) {
    Status(s, std::to_string(count) + " box(es) killed");
    MarkChanged(s);
  }
  SetUndo(s, kUndoRestoreErased);
  Redraw(s);
  if (erased.xmin <= erased.xmax) s.layout.wide.pasteOrigin = {erased.xmin, erased.ymin};
  if (full) s.LastError = kErrorBoxTableFull;
  if (s.LastError != 0)
    Status(s, kBoxTableFullMessage);
  else if (reportIfNothing && count == 0)
    Status(s, "Nothing to erase here...");
  return count;
}

SelectionResult SelectArea(Session& s, Point a, Point b) {
  const Rect area = PixelAreaToLambda(s, a, b);
  Purge(s.layout);
  s.edit.selection = kSentinelRect;
  const int count = MarkInside(s, area, kCopyTextFrame, kCopyMarkFrame, s.edit.selection).Total();
  if (count == 0) {
    Status(s, kNothingSelectedMessage);
    return {};
  }
  ShowSelectedStatus(s, count, s.edit.selection);
  return Selected(s, count, s.edit.selection);
}

int CopySelection(Session& s, int32_t dx, int32_t dy) {
  SaveCounts(s);
  const CopyTally tally = CopyAll(s, kMarked, kNormal, dx, dy);
  Status(s, std::to_string(tally.sources) + " elements copied.");
  ReportTableFull(s, tally.full);
  SetUndo(s, kUndoRemoveAdded);
  if (tally.added > 0) MarkChanged(s);
  Redraw(s);
  return tally.sources;
}

MoveOrStretchResult SelectForMoveOrStretch(Session& s, Point a, Point b) {
  const Rect area = PixelAreaToLambda(s, a, b);
  s.edit.stretchBox = 0;
  s.edit.selection = kSentinelRect;
  Purge(s.layout);
  SetUndo(s, kUndoNothing);
  const Tally tally = MarkInside(s, area, kCopyTextFrame, kMoveMarkFrame, s.edit.selection);
  return tally.Total() > 0 ? TakeAwayForMove(s, tally) : ChooseStretch(s, area);
}

int MoveSelection(Session& s, int32_t dx, int32_t dy) {
  return AddShiftedCopiesOfErased(s, dx, dy);
}

void StretchBox(Session& s, int32_t dx, int32_t dy) {
  const int i = s.edit.stretchBox;
  if (i < 1 || i > s.layout.boxes.Count()) return;
  Box& b = s.layout.boxes[i];
  switch (s.edit.stretchEdge) {
    case kEdgeSouth:
      b.y1 += dy;
      break;
    case kEdgeWest:
      b.x1 += dx;
      break;
    case kEdgeEast:
      b.x2 += dx;
      break;
    case kEdgeNorth:
      b.y2 += dy;
      break;
    default:
      return;
  }
  if (b.x1 > b.x2) std::swap(b.x1, b.x2);
  if (b.y1 > b.y2) std::swap(b.y1, b.y2);
  MarkChanged(s);
  Redraw(s);
}

ErasedSelection SelectErased(Session& s) {
  Rect bound = kSentinelRect;
  int count = 0;
  const Layout& l = s.layout;
  for (int i = 1; i <= l.boxes.Count(); ++i) {
    if (l.boxes[i].state != kErased) continue;
    GrowRect(bound, RectOf(l.boxes[i]));
    ++count;
  }
  const auto addLabels = [&](const auto& table) {
    for (int i = 1; i <= table.Count(); ++i) {
      if (table[i].state != kErased) continue;
      GrowRect(bound, FrameAt(table[i].x, table[i].y, kPasteFrame));
      ++count;
    }
  };
  addLabels(l.texts);
  addLabels(l.resistances);
  s.edit.selection = bound;
  if (count == 0) {
    Status(s, kNothingSelectedMessage);
    return {};
  }
  ShowSelectedStatus(s, count, bound);
  const SelectionResult corners = Selected(s, count, bound);
  return {count, {bound.xmax, bound.ymin}, corners.lowerLeft, corners.upperRight};
}

int PasteErased(Session& s, int32_t dx, int32_t dy) { return AddShiftedCopiesOfErased(s, dx, dy); }

int RotateArea(Session& s, Point a, Point b) { return MapArea(s, a, b, RotateLeft, "Rotate"); }

int FlipArea(Session& s, Point a, Point b) { return MapArea(s, a, b, MirrorX, "Flip"); }

DuplicateSelection SelectForDuplicate(Session& s, Point a, Point b) {
  const Rect area = PixelAreaToLambda(s, a, b);
  DuplicateSelection result{0, FieldsFromSettings(s.edit)};
  ClearHighlights(s);
  Rect bound = kSentinelRect;
  ForNormalBoxesInside(s, area, [&](Box& box) {
    box.state = kHighlighted;
    box.highlightColour = kSelectionYellow;
    GrowRect(bound, RectOf(box));
    ++result.count;
  });
  if (result.count == 0) {
    Status(s, "No box in this area. Try again...");
    return result;
  }
  s.edit.selection = bound;
  result.fields.selectedCount = std::to_string(result.count);
  result.fields.spacingX = std::to_string(Width(bound));
  result.fields.spacingY = std::to_string(Height(bound));
  Redraw(s);
  return result;
}

int Duplicate(Session& s, const DuplicateFields& fields) {
  EditState& e = s.edit;
  ReadDuplicateField(fields.countX, e.duplicateCountX);
  ReadDuplicateField(fields.countY, e.duplicateCountY);
  ReadDuplicateField(fields.spacingX, e.duplicateSpacingX);
  ReadDuplicateField(fields.spacingY, e.duplicateSpacingY);
  Status(s, "Generate in X,Y..");
  SaveCounts(s);
  auto& boxes = s.layout.boxes;
  const int count = boxes.Count();
  int added = 0;
  bool full = false;
  for (int i = 1; i <= count; ++i) {
    if (boxes[i].state != kHighlighted) continue;
    boxes[i].state = kNormal;
    if (!full) full = !AddArrayOf(s, boxes[i], added);
  }
  SetUndo(s, kUndoRemoveAdded);
  if (added > 0) MarkChanged(s);
  ViewAll(s);
  ReportTableFull(s, full);
  return added;
}

void CancelDuplicate(Session& s) {
  Status(s, "Cancel duplicate");
  RedrawClean(s);
}

StepMoveSelection SelectForStepMove(Session& s, Point a, Point b) {
  const Rect area = PixelAreaToLambda(s, a, b);
  StepMoveSelection result{0, std::to_string(s.edit.moveStep)};
  ClearHighlights(s);
  ForNormalBoxesInside(s, area, [&](Box& box) {
    box.state = kHighlighted;
    box.highlightColour = kSelectionYellow;
    ++result.count;
  });
  ForLiveLabelsInside(s, area, [&](auto& label) {
    label.state = kHighlighted;
    ++result.count;
  });
  if (result.count == 0) {
    Status(s, "No box selected to move. Try again...");
    return result;
  }
  Status(s, "Use the arrows to move the " + std::to_string(result.count) +
                " boxes and text with a lambda step.");
  Redraw(s);
  return result;
}

std::string StepMove(Session& s, StepDirection direction, std::string_view stepField) {
  const ParsedNumber n = ParseNumber(stepField, 1, 1000, 1);
  if (n.ok) s.edit.moveStep = RoundToInt32(n.value);
  const int32_t step = s.edit.moveStep;
  switch (direction) {
    case StepDirection::Left:
      ShiftHighlighted(s, -step, 0);
      break;
    case StepDirection::Right:
      ShiftHighlighted(s, step, 0);
      break;
    case StepDirection::Up:
      ShiftHighlighted(s, 0, step);
      break;
    case StepDirection::Down:
      ShiftHighlighted(s, 0, -step);
      break;
  }
  MarkChanged(s);
  Redraw(s);
  return std::to_string(step);
}

void CloseStepMove(Session& s) {
  ClearHighlights(s);
  RedrawClean(s);
}

void Undo(Session& s) {
  const LayoutWideState& w = s.layout.wide;
  switch (w.undoCode) {
    case kUndoRemoveAdded:
      RemoveAddedSinceSave(s);
      break;
    case kUndoRestoreErased:
      ChangeStateEverywhere(s, kErased, kNormal);
      break;
    case kUndoRestoreStretch:
      RestoreStretched(s);
      break;
    case kUndoNothing:
      Status(s, "Sorry, no undo available...");
      break;
    case kUndoRemoveLastText:
      RemoveLastText(s);
      break;
    case kUndoMoveOrPaste:
      ReviveErasedUpTo(s, w.savedBoxCount, w.savedTextCount, w.savedResistanceCount);
      RemoveAddedSinceSave(s);
      break;
    default:
      break;
  }
  Redraw(s);
  MarkChanged(s);
  SetUndo(s, kUndoNothing);
}

void BeginAddition(Session& s) { SaveCounts(s); }

void EndAddition(Session& s) {
  SetUndo(s, kUndoRemoveAdded);
  MarkChanged(s);
}

ArrangeResult ArrangeLayout(Session& s) {
  ShowStatus(s.platform, "Start removind redundant and overlap boxes...");
  ArrangeResult result;
  {
    const DrawingSuspended quiet(s);
    result = ArrangeBoxes(s.layout, s.progress);
  }
  if (result.merged || result.split) MarkChanged(s);
  s.LastError = result.status;
  Redraw(s);
  ShowStatus(s.platform, result.message);
  if (s.LastError == kErrorBoxTableFull) ShowStatus(s.platform, kBoxTableFullMessage);
  return result;
}

}  // namespace tarnisk
