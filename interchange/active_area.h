#pragma once
// Files that carry an active-area mask say in two ways where the diffusion
// is. Ours repeat every diffusion box on the active-area layer; Magic's and
// most foundries' draw the active area and cover it with larger select
// (implant) boxes on the diffusion layers. Both are read back as drawn
// diffusion here.

#include "interchange/imported_layout.h"

namespace tarnisk {

// Active-area boxes that repeat a diffusion box exactly are dropped (they are
// the diffusion's own mask). When the active-area boxes left all lie inside
// the diffusion boxes that no active-area box repeats, those diffusion boxes
// are selects: the diffusion becomes the active area inside each select, and
// selects that cover no active area are counted as left out. Otherwise the
// remaining active-area boxes stay on their layer.
void ResolveActiveArea(ImportedLayout& in);

}  // namespace tarnisk
