#include "process/ucp_file.h"

#include "core/layout.h"
#include "core/number_format.h"
#include "process/section.h"

namespace tarnisk {

namespace {

std::string Integer(int value, int width) {
  std::string text = std::to_string(value);
  return std::string(text.size() < size_t(width) ? width - text.size() : 0, ' ') + text;
}

// Layout coordinates to µm from the origin of the base surface.
struct Frame {
  Point origin;
  double lambda = 1;
  double X(int32_t x) const { return (int64_t{x} - origin.x) * lambda; }
  double Y(int32_t y) const { return (int64_t{y} - origin.y) * lambda; }
};

class UcpWriter {
 public:
  UcpWriter(const Layout& layout, double lambda, const UcpSettings& settings, UcpFile& file)
      : layout_(layout), settings_(settings), file_(file) {
    Rect r = kSentinelRect;
    ForEachLive(layout.boxes, [&](int, const Box& b) { GrowRect(r, RectOf(b)); });
    if (layout.boxes.Count() == 0 || r.xmin > r.xmax) r = {};
    const int32_t m = RoundToInt32(settings.spaceAround / lambda);
    frame_ = {{ClampCoordinate(int64_t{r.xmin} - m), ClampCoordinate(int64_t{r.ymin} - m)}, lambda};
    extent_ = r;
  }

  void Header(const std::string& stamp) {
    Comment("UCP translator version 2.0");
    Comment("Written by the Tarnisk layout editor's translator, for teaching");
    Comment("Time: " + stamp);
    Line("BASE SURFACE : X . Y (MICRONS)");
    const double margin = 2 * settings_.spaceAround;
    Line(FormatFixed(frame_.lambda * (int64_t{extent_.xmax} - extent_.xmin) + margin, 5, 2) + " " +
         FormatFixed(frame_.lambda * (int64_t{extent_.ymax} - extent_.ymin) + margin, 5, 2));
  }

  void Stack(int metals) {
    const LayerTable& layers = layout_.layers;
    Comment("Initial oxide to metal1");
    Layer(layers[kMetal].height, 4);
    for (int k = 1; k <= metals; ++k) {
      const LayerInfo& metal = layers[MetalLayer(k)];
      Comment("Layer " + metal.name);
      Layer(metal.thickness, 4);
      Boxes(MetalLayer(k), "CONDUCTOR", file_.conductors);
      if (k == metals) break;
      const int via = ViaLayerAbove(k);
      Comment("Interlayer " + layers[via].name);
      Layer(layers[MetalLayer(k + 1)].height - metal.height - metal.thickness, 4);
      Boxes(via, "VIA", file_.vias);
    }
    Comment("Passivation PSG, er=4");
    Layer(layers[kPassiv].thickness, 4);
    Comment("Nitride Si3N4, er=7");
    Layer(layers[kNitride].thickness, 7);
    Comment("Air, 10\xC2\xB5m, er=1");
    Layer(10.0, 1);
  }

  void Texts() {
    for (int i = 1; i <= layout_.texts.Count(); ++i) {
      const LayoutText& t = layout_.texts[i];
      if (t.state == 0) continue;
      const std::optional<double> altitude = TextAltitude(layout_, i);
      if (!altitude) continue;
      const std::string at = Num(frame_.X(t.x)) + " " + Num(frame_.Y(t.y)) + " ";
      const std::string end = Num(*altitude) + " " + t.text;
      if (t.property == kPropertyClock || t.property == kPropertyPulse) Line("SOURCE " + at + end);
      else if (t.property == kPropertyVss) Line("GND " + at + Num(settings_.groundAltitude) + " " + end);
      else Line("PROP " + at + end);
      ++file_.texts;
    }
  }

 private:
  static std::string Num(double v) { return FormatFixed(v, 4, 2); }
  void Line(std::string text) { file_.lines.push_back(std::move(text)); }
  void Comment(const std::string& text) { Line("! " + text); }
  void Layer(double thickness, int permittivity) {
    Line("LAYER : THICK (MICRONS) REL. PERMITTIVITY");
    Line(FormatFixed(thickness, 5, 2) + " " + Integer(permittivity, 5));
  }
  void Boxes(int layer, const std::string& keyword, int& count) {
    ForEachLive(layout_.boxes, [&](int, const Box& b) {
      if (b.layer != layer) return;
      Line(keyword + " : INDEX X1 (MICR.) X2 (MICR.) Y1 (MICR.) Y2 (MICR.)");
      Line(Integer(b.node - 1, 2) + " " + FormatFixed(frame_.X(b.x1), 8, 2) + " " +
           FormatFixed(frame_.X(b.x2), 8, 2) + " " + FormatFixed(frame_.Y(b.y1), 8, 2) + " " +
           FormatFixed(frame_.Y(b.y2), 8, 2));
      ++count;
    });
  }

  const Layout& layout_;
  const UcpSettings& settings_;
  UcpFile& file_;
  Frame frame_;
  Rect extent_;
};

}  // namespace

std::vector<UcpProperty> UcpProperties(const Layout& layout) {
  std::vector<UcpProperty> rows;
  ForEachLive(layout.texts, [&](int, const LayoutText& t) {
    const bool source = t.property == kPropertyClock || t.property == kPropertyPulse;
    rows.push_back({t.text, source ? "source" : "prop"});
  });
  return rows;
}

std::optional<double> TextAltitude(const Layout& layout, int text) {
  const LayoutText& t = layout.texts[text];
  std::optional<double> altitude;
  ForEachLive(layout.boxes, [&](int, const Box& b) {
    if (!PointInRect({t.x, t.y}, RectOf(b))) return;
    const LayerInfo& layer = layout.layers[b.layer];
    altitude = layer.height + layer.thickness;
  });
  return altitude;
}

UcpFile UcpFileLines(const Layout& layout, double lambda, int metals, const UcpSettings& settings,
                     const std::string& stamp) {
  UcpFile file;
  UcpWriter writer(layout, lambda, settings, file);
  writer.Header(stamp);
  writer.Stack(metals);
  writer.Texts();
  return file;
}

}  // namespace tarnisk
