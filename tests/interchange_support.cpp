#include "tests/interchange_support.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "interchange/cif.h"
#include "session/files.h"
#include "session/session.h"
#include "tests/test_support.h"

namespace tarnisk {

void PrintTo(const ImportedBox& b, std::ostream* out) {
  *out << "layer " << int(b.layer) << " (" << b.r.xmin << "," << b.r.ymin << ")-(" << b.r.xmax
       << "," << b.r.ymax << ")";
}

void PrintTo(const ImportedText& t, std::ostream* out) {
  *out << "\"" << t.text << "\" at (" << t.x << "," << t.y << ")";
}

}  // namespace tarnisk

namespace tarnisk::testing {

namespace {

auto BoxKey(const ImportedBox& b) {
  return std::tuple(b.layer, b.r.xmin, b.r.ymin, b.r.xmax, b.r.ymax);
}

}  // namespace

const TechnologyTables& Tables(const std::string& ruleFile) {
  static std::map<std::string, TechnologyTables> loaded;
  const auto it = loaded.find(ruleFile);
  if (it != loaded.end()) return it->second;
  WithRules state(ruleFile);
  return loaded[ruleFile] = {state.layout.layers, state.s.technology};
}

std::unique_ptr<Layout> EmptyLayout(const std::string& ruleFile) {
  auto layout = std::make_unique<Layout>();
  layout->layers = Tables(ruleFile).layers;
  return layout;
}

std::unique_ptr<Layout> ExampleLayout(const std::string& example, const std::string& ruleFile) {
  WithRules state(ruleFile);
  state.Open(example);
  auto layout = std::make_unique<Layout>();
  layout->layers = state.layout.layers;
  for (int i = 1; i <= state.layout.boxes.Count(); ++i) layout->boxes.Append(state.layout.boxes[i]);
  for (int i = 1; i <= state.layout.texts.Count(); ++i) layout->texts.Append(state.layout.texts[i]);
  return layout;
}

std::unique_ptr<Layout> LayoutFrom(const ImportedLayout& in, const LayerTable& layers) {
  auto layout = std::make_unique<Layout>();
  layout->layers = layers;
  for (const ImportedBox& b : in.boxes)
    layout->boxes.Append({kNormal, b.r.xmin, b.r.ymin, b.r.xmax, b.r.ymax, -1, b.layer, 0});
  for (const ImportedText& t : in.texts) {
    LayoutText text;
    text.x = t.x, text.y = t.y, text.text = t.text, text.state = 1;
    layout->texts.Append(text);
  }
  return layout;
}

std::vector<ImportedBox> LiveBoxes(const Layout& layout) {
  std::vector<ImportedBox> boxes;
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    const Box& b = layout.boxes[i];
    if (b.state != kErased && b.layer != kGatep && b.layer != kGaten)
      boxes.push_back({{b.x1, b.y1, b.x2, b.y2}, b.layer});
  }
  return Sorted(std::move(boxes));
}

std::vector<ImportedText> LiveTexts(const Layout& layout) {
  std::vector<ImportedText> texts;
  for (int i = 1; i <= layout.texts.Count(); ++i)
    if (layout.texts[i].state != 0)
      texts.push_back({layout.texts[i].x, layout.texts[i].y, layout.texts[i].text});
  return Sorted(std::move(texts));
}

std::vector<ImportedBox> Sorted(std::vector<ImportedBox> boxes) {
  std::sort(boxes.begin(), boxes.end(),
            [](const ImportedBox& a, const ImportedBox& b) { return BoxKey(a) < BoxKey(b); });
  return boxes;
}

std::vector<ImportedText> Sorted(std::vector<ImportedText> texts) {
  std::sort(texts.begin(), texts.end(), [](const ImportedText& a, const ImportedText& b) {
    return std::tie(a.text, a.x, a.y) < std::tie(b.text, b.x, b.y);
  });
  return texts;
}

std::unique_ptr<Layout> RandomLayout(const std::string& ruleFile, uint32_t seed, int boxes,
                                     int texts) {
  auto layout = EmptyLayout(ruleFile);
  const Technology& t = Tables(ruleFile).technology;
  std::mt19937 rng(seed);
  const auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution(lo, hi)(rng); };
  for (int i = 0; i < boxes; ++i) {
    const auto layer = uint8_t(uniform(1, kLayerCount));
    const int x = uniform(-3000, 3000), y = uniform(-3000, 3000);
    int w = uniform(1, 60), h = uniform(1, 60);
    const int rule = layer == kContact ? t.R401 : layer == kVia ? t.R601 : 0;
    if (rule != 0 && uniform(0, 9) < 6) w = h = rule;
    Box box{kNormal, x, y, x + w, y + h, -1, layer, 0};
    if (uniform(0, 19) == 0) box.state = kErased;
    layout->boxes.Append(box);
  }
  const char* words[] = {"out", "in", "Vdd", "a", "clk", "q7", "bus_3", "n$1"};
  for (int i = 0; i < texts; ++i) {
    LayoutText text;
    text.x = uniform(-3000, 3000), text.y = uniform(-3000, 3000);
    text.text = std::string(words[uniform(0, 7)]) + std::to_string(i);
    text.state = uniform(0, 9) == 0 ? 0 : 1;
    layout->texts.Append(text);
  }
  return layout;
}

std::string CifOf(const Layout& layout, const std::string& ruleFile, int unit) {
  WithRules state(ruleFile);
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    const Box& b = layout.boxes[i];
    if (b.state != kErased) AddBox(state.layout, b.x1, b.y1, b.x2, b.y2, b.layer);
  }
  for (int i = 1; i <= layout.texts.Count(); ++i)
    if (layout.texts[i].state != 0)
      AddLayoutText(state.layout, layout.texts[i].x, layout.texts[i].y, layout.texts[i].text);
  CifOptions options;
  options.unit = unit;
  return FormatCifFile(CifLayoutOf(state.s), "test.cif", options);
}

// ------------------------------------------------------------ GdsBuilder

GdsBuilder& GdsBuilder::Record(uint8_t type, uint8_t dataType, const std::string& data) {
  const size_t length = 4 + data.size();
  bytes_ += char(length >> 8), bytes_ += char(length);
  bytes_ += char(type), bytes_ += char(dataType);
  bytes_ += data;
  return *this;
}

GdsBuilder& GdsBuilder::Int16(uint8_t type, std::vector<int> values) {
  std::string data;
  for (int v : values) data += char(v >> 8), data += char(v);
  return Record(type, 2, data);
}

GdsBuilder& GdsBuilder::Int32(uint8_t type, std::vector<int32_t> values) {
  std::string data;
  for (int32_t v : values)
    for (int shift = 24; shift >= 0; shift -= 8) data += char(uint32_t(v) >> shift);
  return Record(type, 3, data);
}

// Written independently of the writer: sign, excess-64 exponent of 16 and a
// 56-bit fraction, found by repeated division.
GdsBuilder& GdsBuilder::Real8(uint8_t type, std::vector<double> values) {
  std::string data;
  for (double v : values) {
    uint64_t bits = 0;
    if (v != 0) {
      double m = std::abs(v);
      int e = 64;
      while (m >= 1) m /= 16, ++e;
      while (m < 1.0 / 16) m *= 16, --e;
      bits = (v < 0 ? uint64_t{1} << 63 : 0) | uint64_t(e) << 56 |
             uint64_t(std::llround(std::ldexp(m, 56)));
    }
    for (int shift = 56; shift >= 0; shift -= 8) data += char(bits >> shift);
  }
  return Record(type, 5, data);
}

GdsBuilder& GdsBuilder::Ascii(uint8_t type, const std::string& text) {
  return Record(type, 6, text.size() % 2 ? text + '\0' : text);
}

GdsBuilder& GdsBuilder::Begin(double databaseUnit) {
  Int16(0x00, {600});
  Int16(0x01, std::vector<int>(12, 1));
  Ascii(0x02, "LIB");
  return Real8(0x03, {databaseUnit / 1e-6, databaseUnit});
}

GdsBuilder& GdsBuilder::Structure(const std::string& name) {
  Int16(0x05, std::vector<int>(12, 1));
  return Ascii(0x06, name);
}

GdsBuilder& GdsBuilder::Boundary(int layer, std::vector<int32_t> xy) {
  NoData(0x08).Int16(0x0D, {layer}).Int16(0x0E, {0}).Int32(0x10, std::move(xy));
  return NoData(0x11);
}

GdsBuilder& GdsBuilder::Text(int layer, int32_t x, int32_t y, const std::string& text) {
  NoData(0x0C).Int16(0x0D, {layer}).Int16(0x16, {0}).Int32(0x10, {x, y}).Ascii(0x19, text);
  return NoData(0x11);
}

GdsBuilder& GdsBuilder::Sref(const std::string& name, int32_t x, int32_t y, bool reflect,
                             double angle, double mag) {
  NoData(0x0A).Ascii(0x12, name);
  if (reflect || angle != 0 || mag != 1)
    Record(0x1A, 1, std::string{reflect ? '\x80' : '\0', '\0'});
  if (mag != 1) Real8(0x1B, {mag});
  if (angle != 0) Real8(0x1C, {angle});
  return Int32(0x10, {x, y}).NoData(0x11);
}

GdsBuilder& GdsBuilder::Aref(const std::string& name, int cols, int rows, std::vector<int32_t> xy) {
  NoData(0x0B).Ascii(0x12, name).Int16(0x13, {cols, rows}).Int32(0x10, std::move(xy));
  return NoData(0x11);
}

std::string GdsBuilder::End() {
  NoData(0x04);
  return bytes_;
}

}  // namespace tarnisk::testing
