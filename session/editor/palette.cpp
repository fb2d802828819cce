#include "session/editor/palette.h"

#include "session/session.h"

namespace tarnisk {

bool PaletteLayerUsable(const Session& s, int layer) {
  const int metals = s.technology.META;
  switch (layer) {
    case kMetal3: return metals >= 3;
    case kMetal4: return metals >= 4;
    case kMetal5: return metals >= 5;
    default: return true;
  }
}

int HighestUsableLayer(const Session& s) {
  const int metals = s.technology.META;
  if (metals < 3) return kMetal2;
  if (metals == 3) return kMetal3;
  if (metals == 4) return kMetal4;
  return kMetal5;
}

void LimitCurrentLayer(Session& s) {
  int& current = s.layout.wide.currentLayer;
  const int highest = HighestUsableLayer(s);
  if (current >= highest) current = highest;
}

void SetCurrentLayer(Session& s, int layer) {
  if (layer < 1 || layer > kLayerCount) return;
  s.layout.wide.currentLayer = layer;
  LimitCurrentLayer(s);
  const LayerInfo& info = s.layout.layers[s.layout.wide.currentLayer];
  ShowStatus(s.platform, "Set layer to " + info.name + ".");
}

void SetLayerProtected(Session& s, int layer, bool isProtected) {
  if (layer < 1 || layer > kLayerCount) return;
  s.layout.layers[layer].isProtected = isProtected ? 1 : 0;
}

}  // namespace tarnisk
