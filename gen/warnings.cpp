#include "gen/warnings.h"

#include <array>

#include "core/number_format.h"
#include "gen/contact.h"
#include "gen/logo.h"
#include "gen/path.h"
#include "gen/structures.h"

namespace tarnisk {

namespace {

using Rule = int32_t Technology::*;

struct LayerRules {
  int layer;
  const char* name;
  Rule width, spacing;
  int metals;  // the technology needs this many metal layers for it
};

constexpr std::array<LayerRules, 9> kLayerRules = {{
    {kDiffp, "diffp", &Technology::R201, &Technology::R202, 0},
    {kDiffn, "diffn", &Technology::R201, &Technology::R202, 0},
    {kPoly, "poly", &Technology::R301, &Technology::R304, 0},
    {kMetal, "metal", &Technology::R501, &Technology::R502, 0},
    {kMetal2, "metal2", &Technology::R701, &Technology::R702, 2},
    {kMetal3, "metal3", &Technology::R901, &Technology::R902, 3},
    {kMetal4, "metal4", &Technology::RB01, &Technology::RB02, 4},
    {kMetal5, "metal5", &Technology::RD01, &Technology::RD02, 5},
    {kNwell, "nwell", &Technology::R101, &Technology::R102, 0},
}};

const LayerRules* RulesOf(int layer) {
  for (const LayerRules& r : kLayerRules)
    if (r.layer == layer) return &r;
  return nullptr;
}

// A layer above the technology's metals, wires narrower than the width rule
// or closer than the spacing rule (a spacing of 0 is not checked).
std::string WireWarning(const Technology& t, int layer, int64_t width, int64_t spacing,
                        const char* what) {
  const LayerRules* r = RulesOf(layer);
  if (!r) return "";
  const std::string name = r->name;
  if (t.META < r->metals)
    return name + " is not a layer of this technology (" + std::to_string(t.META) + " metals).";
  if (width < t.*(r->width))
    return std::string(what) + " " + std::to_string(width) + " lambda is below the " + name +
           " width rule of " + std::to_string(t.*(r->width)) + " lambda.";
  if (spacing > 0 && spacing < t.*(r->spacing))
    return std::string("Spacing ") + std::to_string(spacing) + " lambda is below the " + name +
           " spacing rule of " + std::to_string(t.*(r->spacing)) + " lambda.";
  return "";
}

std::string ContactWarning(const Technology& t, int kind) {
  const std::optional<ContactStack> stack = ContactStackOf(t, kind);
  if (!stack) return "Unknown contact kind " + std::to_string(kind) + ".";
  return WireWarning(t, stack->upper, stack->cutSize + 2 * int64_t{stack->upperSurround}, 0,
                     "Contact");
}

std::string MosWarning(const Technology& t, const MosSettings& mos) {
  const MosSize size = MosSizeLambda(t, mos);
  if (size.width < t.R201)
    return "Width " + std::to_string(size.width) + " lambda is below the diffusion width rule of " +
           std::to_string(t.R201) + " lambda.";
  if (size.length < std::max(t.R301, t.R303))
    return "Length " + std::to_string(size.length) + " lambda is below the gate rule of " +
           std::to_string(std::max(t.R301, t.R303)) + " lambda.";
  if (MosContactsPerColumn(t, size.width) < 1)
    return "Width " + std::to_string(size.width) +
           " lambda leaves no room for contacts: source and drain stay unconnected.";
  return "";
}

std::string InductorWarning(const Technology& t, const InductorSettings& inductor) {
  for (size_t m = 0; m < kInductorLayers.size(); ++m) {
    if (!inductor.onLayer[m]) continue;
    const std::string w =
        WireWarning(t, kInductorLayers[m], inductor.width, inductor.spacing, "Width");
    if (!w.empty()) return w;
  }
  return "";
}

std::string PadRingWarning(const Technology& t, const PadSettings& pads) {
  const int64_t w = RoundToInt32(pads.ringWidthMicrons / t.LAMB);
  if (w < t.R501) return WireWarning(t, kMetal, w, 0, "Ring width");
  if (w > t.RP05)
    return "Ring width " + std::to_string(w) + " lambda is above " + std::to_string(t.RP05) +
           " lambda: the inner ring comes closer than the metal spacing to the layout and to "
           "the input and output cells.";
  return "";
}

}  // namespace

std::string RuleWarning(Structure structure, const GeneratorSettings& g, const Technology& t) {
  switch (structure) {
    case Structure::Contact:
    case Structure::Contacts:
    case Structure::Ring: return ContactWarning(t, g.contacts.kind);
    case Structure::Pad: return "";
    case Structure::PadRing: return PadRingWarning(t, g.pads);
    case Structure::Bus: return WireWarning(t, g.bus.layer, g.bus.width, g.bus.spacing, "Width");
    case Structure::Inductor: return InductorWarning(t, g.inductor);
    case Structure::Mos: return MosWarning(t, g.mos);
    case Structure::Path:
      return WireWarning(t, PathWireLayer(g.path.layer), g.path.width, 0, "Width");
    case Structure::Logo: {
      const int64_t p = LogoPixel(t, g.logo.letterSizeMicrons);
      return WireWarning(t, g.logo.layer, p, p, "Pixel");
    }
  }
  return "";
}

}  // namespace tarnisk
