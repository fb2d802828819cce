#pragma once
// Drawing of the layout objects onto the attached surface: boxes by state and
// layer style, texts with their property styles, resistance marks.

namespace tarnisk {

struct AppState;

// Texts in table order, then boxes, then resistance marks.
void DrawAll(AppState& s);
void DrawBox(AppState& s, int index);
void DrawText(AppState& s, int index);
void DrawResistanceMark(AppState& s, int index);

}  // namespace tarnisk
