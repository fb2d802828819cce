#pragma once
// Drawing of the layout objects onto the attached surface: boxes by state and
// layer style, texts with their property styles, resistance marks.

namespace tarnisk {

struct Session;

// Texts in table order, then boxes, then resistance marks.
void DrawAll(Session& s);
void DrawBox(Session& s, int index);
void DrawText(Session& s, int index);
void DrawResistanceMark(Session& s, int index);

}  // namespace tarnisk
