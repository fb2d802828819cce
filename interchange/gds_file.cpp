#include "interchange/gds_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <optional>

#include "interchange/active_area.h"
#include "interchange/flatten.h"
#include "interchange/rectilinear.h"

namespace tarnisk {

namespace {

// Record types.
enum : uint8_t {
  kHeader = 0x00, kBgnLib = 0x01, kLibName = 0x02, kUnits = 0x03, kEndLib = 0x04,
  kBgnStr = 0x05, kStrName = 0x06, kEndStr = 0x07, kBoundary = 0x08, kPath = 0x09,
  kSref = 0x0A, kAref = 0x0B, kText = 0x0C, kLayerRecord = 0x0D, kDatatype = 0x0E,
  kWidth = 0x0F, kXy = 0x10, kEndEl = 0x11, kSname = 0x12, kColRow = 0x13, kNode = 0x15,
  kTextType = 0x16, kString = 0x19, kStrans = 0x1A, kMag = 0x1B, kAngle = 0x1C,
  kPathType = 0x21, kBox = 0x2D, kBgnExtn = 0x30, kEndExtn = 0x31
};

// Data types.
enum : uint8_t { kNoData = 0, kBits = 1, kInt16 = 2, kInt32 = 3, kReal8 = 5, kAscii = 6 };

constexpr uint16_t kReflection = 0x8000, kAbsoluteMag = 0x0004, kAbsoluteAngle = 0x0002;
constexpr size_t kMaxRecordBytes = 65534;

// ------------------------------------------------------------ 8-byte reals

// Sign bit, 7-bit excess-64 exponent of 16, 56-bit fraction in [1/16, 1).
uint64_t EncodeReal8(double v) {
  if (v == 0 || !std::isfinite(v)) return 0;
  const uint64_t sign = v < 0 ? uint64_t{1} << 63 : 0;
  int exp2 = 0;
  const double fraction = std::frexp(std::abs(v), &exp2);  // [0.5, 1) * 2^exp2
  const int exp16 = exp2 >= 0 ? (exp2 + 3) / 4 : -((-exp2) / 4);
  const int biased = exp16 + 64;
  if (biased < 0 || biased > 127) return 0;
  // The fraction shifted so that v = mantissa / 2^56 * 16^exp16; exact, as a
  // double's 53 bits fit in 56.
  const auto mantissa = uint64_t(std::ldexp(fraction, 56 + exp2 - 4 * exp16));
  return sign | uint64_t(biased) << 56 | mantissa;
}

double DecodeReal8(uint64_t bits) {
  const int exp16 = int((bits >> 56) & 0x7F) - 64;
  const double magnitude = std::ldexp(double(bits & ((uint64_t{1} << 56) - 1)), 4 * exp16 - 56);
  return bits >> 63 ? -magnitude : magnitude;
}

// ------------------------------------------------------------ writer

class StreamWriter {
 public:
  explicit StreamWriter(size_t reserve) { out_.reserve(reserve); }

  void NoData(uint8_t type) { Begin(type, kNoData, 0); }

  void Int16s(uint8_t type, std::initializer_list<int> values) {
    Begin(type, kInt16, 2 * values.size());
    for (int v : values) Put16(uint16_t(v));
  }

  void Int32s(uint8_t type, std::initializer_list<int32_t> values) {
    Begin(type, kInt32, 4 * values.size());
    for (int32_t v : values) Put32(uint32_t(v));
  }

  void Reals(uint8_t type, std::initializer_list<double> values) {
    Begin(type, kReal8, 8 * values.size());
    for (double v : values) {
      const uint64_t bits = EncodeReal8(v);
      Put32(uint32_t(bits >> 32)), Put32(uint32_t(bits));
    }
  }

  // Strings are padded with a NUL to an even length.
  void Ascii(uint8_t type, std::string_view text) {
    text = text.substr(0, kMaxRecordBytes - 4);
    Begin(type, kAscii, text.size() + text.size() % 2);
    out_ += text;
    if (text.size() % 2) out_ += '\0';
  }

  std::string Take() { return std::move(out_); }

 private:
  void Begin(uint8_t type, uint8_t dataType, size_t bytes) {
    Put16(uint16_t(4 + bytes));
    out_ += char(type), out_ += char(dataType);
  }
  void Put16(uint16_t v) { out_ += char(v >> 8), out_ += char(v); }
  void Put32(uint32_t v) { Put16(uint16_t(v >> 16)), Put16(uint16_t(v)); }

  std::string out_;
};

bool WrittenLayer(int layer) {
  return layer >= 1 && layer <= kLayerCount && layer != kGatep && layer != kGaten;
}

void WarnAboutNumbers(const Layout& layout, const GdsLayerNumbers& numbers,
                      const std::array<int, kLayerCount + 1>& boxesOn, int texts,
                      std::vector<std::string>& warnings) {
  std::map<int, int> firstOnNumber;
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    if (boxesOn[layer] == 0) continue;
    const std::string& name = layout.layers[layer].name;
    const int number = numbers.layer[layer];
    if (numbers.substituted[layer])
      warnings.push_back("Layer " + name + " has no GDS2 number: written on " +
                         std::to_string(number));
    const auto [it, first] = firstOnNumber.emplace(number, layer);
    if (!first)
      warnings.push_back("Layers " + layout.layers[it->second].name + " and " + name +
                         " share GDS2 number " + std::to_string(number) +
                         ": reading the file back puts both on " +
                         layout.layers[it->second].name);
  }
  if (texts > 0 && numbers.textSubstituted)
    warnings.push_back("Texts have no GDS2 number: written on " + std::to_string(numbers.text));
}

// ------------------------------------------------------------ reader

struct Record {
  uint8_t type = 0, dataType = 0;
  std::string_view data;
  size_t offset = 0;
};

uint16_t Get16(std::string_view d, size_t at) {
  return uint16_t(uint8_t(d[at]) << 8 | uint8_t(d[at + 1]));
}
int32_t Get32(std::string_view d, size_t at) {
  return int32_t(uint32_t(Get16(d, at)) << 16 | Get16(d, at + 2));
}
double GetReal8(std::string_view d, size_t at) {
  return DecodeReal8(uint64_t(uint32_t(Get32(d, at))) << 32 | uint32_t(Get32(d, at + 4)));
}

std::string AsciiOf(const Record& r) {
  std::string_view text = r.data;
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  return std::string(text);
}

// The fields of one element, gathered up to its ENDEL.
struct Element {
  uint8_t type = 0;
  size_t offset = 0;
  std::optional<int> layer;
  int pathType = 0;
  int64_t width = 0, beginExtension = 0, endExtension = 0;
  std::vector<LocalPoint> xy;  // half units; empty without an XY record
  std::optional<std::string> sname, string;
  uint16_t strans = 0;
  double mag = 1, angle = 0;
  int cols = 0, rows = 0;
};

class GdsReader {
 public:
  GdsReader(std::string_view bytes, const LayerTable& layers, const Technology& technology)
      : bytes_(bytes), layers_(layers), technology_(technology),
        numbers_(ChooseGdsLayerNumbers(layers)) {
    SetUnit(1e-9);
  }

  ImportedLayout Run() {
    if (!Library()) {
      ImportedLayout failed;
      failed.error = error_;
      return failed;
    }
    ResolveReferences();
    Place();
    return std::move(out_);
  }

 private:
  // ---------------------------------------------------------- records

  bool Next(Record& r) {
    if (bytes_.size() - pos_ < 4) return Fail("the file ends inside a record (truncated)");
    const size_t length = Get16(bytes_, pos_);
    if (length < 4 || length % 2 != 0) return Fail("bad record length " + std::to_string(length));
    if (length > bytes_.size() - pos_) return Fail("the file ends inside a record (truncated)");
    r.offset = pos_;
    r.type = uint8_t(bytes_[pos_ + 2]);
    r.dataType = uint8_t(bytes_[pos_ + 3]);
    r.data = bytes_.substr(pos_ + 4, length - 4);
    pos_ += length;
    return true;
  }

  bool Fail(const std::string& message) { return FailAt(message, pos_); }
  bool FailAt(const std::string& message, size_t offset) {
    if (error_.empty()) error_ = "GDSII: " + message + " at byte " + std::to_string(offset);
    return false;
  }

  // The record carries `count` values of `dataType` (at least one when
  // count is 0).
  bool Check(const Record& r, uint8_t dataType, size_t count = 0) {
    static constexpr size_t kUnit[] = {0, 2, 2, 4, 4, 8, 1};
    const size_t unit = kUnit[dataType];
    // Strings may be empty; number records carry at least one value.
    const bool sized = count > 0
                           ? r.data.size() == unit * count
                           : (dataType == kAscii || !r.data.empty()) && r.data.size() % unit == 0;
    if (r.dataType == dataType && sized) return true;
    return FailAt("malformed record " + std::to_string(r.type), r.offset);
  }

  // ---------------------------------------------------------- structure

  bool Library() {
    Record r;
    if (bytes_.size() < 4 || !Next(r) || r.type != kHeader || r.dataType != kInt16) {
      error_ = "not a GDSII stream (no HEADER record)";
      return false;
    }
    while (Next(r)) {
      switch (r.type) {
        case kEndLib: return true;
        case kUnits:
          if (!Units(r)) return false;
          break;
        case kBgnStr:
          if (!Structure()) return false;
          break;
        case kBgnLib: case kLibName: case 0x1F: case 0x20: case 0x22: case 0x23: case 0x36:
        case 0x37: case 0x38: case 0x39: case 0x3A: case 0x3B:
          break;  // library header records say nothing about the geometry
        default:
          return Fail("unexpected record " + std::to_string(r.type) + " outside a structure");
      }
    }
    return false;
  }

  bool Units(const Record& r) {
    if (!Check(r, kReal8, 2)) return false;
    const double metres = GetReal8(r.data, 8);
    if (!(metres > 0)) return FailAt("database unit is not positive", r.offset);
    SetUnit(metres);
    return true;
  }

  void SetUnit(double metres) {
    // Lambda per database unit as a fraction; coordinates are exact only when
    // it is one (a 1 nm unit with lambda = 0.35 um gives 1/350).
    const double perLambda = metres / (technology_.LAMB * 1e-6);
    unitsExact_ = RationalApproximation(perLambda, 1'000'000'000, 1'000'000, 1e-12, unitNum_,
                                        unitDen_);
    unitMetres_ = metres;
  }

  bool Structure() {
    Record r;
    if (!Next(r)) return false;
    if (r.type != kStrName || !Check(r, kAscii)) return Fail("BGNSTR without STRNAME");
    cells_.emplace_back();
    cells_.back().name = AsciiOf(r);
    while (Next(r)) {
      switch (r.type) {
        case kEndStr: return true;
        case kBoundary: case kPath: case kSref: case kAref: case kText: case kNode: case kBox:
          if (!ReadElement(r)) return false;
          break;
        case 0x34: case 0x25:
          break;  // structure class and type
        default:
          return Fail("unexpected record " + std::to_string(r.type) + " in a structure");
      }
    }
    return false;
  }

  // One element at a time; the point buffer is kept from one to the next.
  bool ReadElement(const Record& header) {
    std::vector<LocalPoint> points = std::move(element_.xy);
    points.clear();
    element_ = Element{};
    element_.xy = std::move(points);
    Element& e = element_;
    e.type = header.type;
    e.offset = header.offset;
    Record r;
    while (Next(r)) {
      if (r.type == kEndEl) return Build(e);
      if (!Field(r, e)) return false;
    }
    return false;
  }

  bool Field(const Record& r, Element& e) {
    switch (r.type) {
      case kLayerRecord:
        if (!Check(r, kInt16, 1)) return false;
        e.layer = Get16(r.data, 0);
        return true;
      case kXy: return Points(r, e);
      case kWidth:
        if (!Check(r, kInt32, 1)) return false;
        e.width = Get32(r.data, 0);
        return true;
      case kPathType:
        if (!Check(r, kInt16, 1)) return false;
        e.pathType = int16_t(Get16(r.data, 0));
        return true;
      case kBgnExtn: case kEndExtn:
        if (!Check(r, kInt32, 1)) return false;
        (r.type == kBgnExtn ? e.beginExtension : e.endExtension) = Get32(r.data, 0);
        return true;
      case kSname: case kString:
        if (!Check(r, kAscii)) return false;
        (r.type == kSname ? e.sname : e.string) = AsciiOf(r);
        return true;
      case kStrans:
        if (!Check(r, kBits, 1)) return false;
        e.strans = Get16(r.data, 0);
        return true;
      case kMag: case kAngle:
        if (!Check(r, kReal8, 1)) return false;
        (r.type == kMag ? e.mag : e.angle) = GetReal8(r.data, 0);
        return true;
      case kColRow:
        if (!Check(r, kInt16, 2)) return false;
        e.cols = int16_t(Get16(r.data, 0)), e.rows = int16_t(Get16(r.data, 2));
        return true;
      case kDatatype: case kTextType: case 0x17: case 0x26: case 0x2A: case 0x2B: case 0x2C:
      case 0x2E: case 0x2F: case 0x14: case 0x18: case 0x1D: case 0x1E: case 0x27: case 0x28:
      case 0x29:
        return true;  // datatypes, presentation, flags and properties: not geometry
      default:
        return Fail("unexpected record " + std::to_string(r.type) + " in an element");
    }
  }

  bool Points(const Record& r, Element& e) {
    if (r.dataType != kInt32 || r.data.size() % 8 != 0) return Check(r, kInt32, 1);
    e.xy.clear();
    e.xy.reserve(r.data.size() / 8);
    for (size_t at = 0; at < r.data.size(); at += 8)
      e.xy.push_back({2 * int64_t{Get32(r.data, at)}, 2 * int64_t{Get32(r.data, at + 4)}});
    return true;
  }

  // ---------------------------------------------------------- elements

  bool Build(const Element& e) {
    Cell& cell = cells_.back();
    if (e.type == kNode) {
      ++cell.dropped[drop::kUnsupportedRecord];
      return true;
    }
    if (e.xy.empty()) return FailAt("element without XY", e.offset);
    switch (e.type) {
      case kText: return TextElement(e, cell);
      case kSref: case kAref: return Reference(e);
      default: break;
    }
    if (!e.layer) return FailAt("element without LAYER", e.offset);
    const int layer = LayerOf(*e.layer);
    const char* problem = layer == 0 ? LayerProblem(*e.layer)
                          : e.type == kPath ? PathShape(e, layer, cell)
                                            : PolygonShape(e, layer, cell);
    if (problem) ++cell.dropped[problem];
    return true;
  }

  // Why a number that maps to no layer is left out.
  const char* LayerProblem(int number) const {
    const bool gate = (layers_[kGatep].gds2 != 0 && number == layers_[kGatep].gds2) ||
                      (layers_[kGaten].gds2 != 0 && number == layers_[kGaten].gds2);
    return gate ? drop::kGeneratedLayer : drop::kUnknownLayer;
  }

  int LayerOf(int number) const {
    for (int layer = 1; layer <= kLayerCount; ++layer)
      if (numbers_.layer[layer] == number && WrittenLayer(layer)) return layer;
    return 0;
  }

  const char* PolygonShape(const Element& e, int layer, Cell& cell) {
    const size_t first = cell.boxes.size();
    if (const char* problem = DecomposePolygon(e.xy, cell.boxes)) return problem;
    AddShape(cell, layer, first);
    return nullptr;
  }

  // Widths and extensions are in file units; in half units the half-width is
  // the width itself. A negative width is absolute (unscaled by placements),
  // which the cell-local boxes cannot express.
  const char* PathShape(const Element& e, int layer, Cell& cell) {
    if (e.pathType == 1) return drop::kRoundShape;
    if (e.width < 0 || (e.pathType != 0 && e.pathType != 2 && e.pathType != 4))
      return drop::kUnsupportedRecord;
    const int64_t half = e.width;
    const int64_t begin = e.pathType == 2 ? half : e.pathType == 4 ? 2 * e.beginExtension : 0;
    const int64_t end = e.pathType == 2 ? half : e.pathType == 4 ? 2 * e.endExtension : 0;
    const size_t first = cell.boxes.size();
    if (const char* problem = PathBoxes(e.xy, half, begin, end, cell.boxes)) return problem;
    AddShape(cell, layer, first);
    return nullptr;
  }

  static void AddShape(Cell& cell, int layer, size_t first) {
    cell.shapes.push_back({uint8_t(layer), uint32_t(first), uint32_t(cell.boxes.size() - first)});
  }

  bool TextElement(const Element& e, Cell& cell) {
    if (!e.string) return FailAt("TEXT without STRING", e.offset);
    std::string text = *e.string;
    if (const char* problem = NormaliseText(text)) ++cell.dropped[problem];
    else cell.texts.push_back({e.xy.front().x, e.xy.front().y, std::move(text)});
    return true;
  }

  // ---------------------------------------------------------- references

  struct PendingRef {
    size_t parent;
    std::string name;
    CellRef ref;
  };

  bool Reference(const Element& e) {
    if (!e.sname) return FailAt("reference without SNAME", e.offset);
    const bool array = e.type == kAref;
    if (array && (e.xy.size() < 3 || e.cols <= 0 || e.rows <= 0)) {
      ++cells_.back().dropped[drop::kUnsupportedRecord];
      return true;
    }
    Transform orientation;
    if (const char* problem = Orientation(e, orientation)) {
      ++cells_.back().dropped[problem];
      return true;
    }
    CellRef ref;
    const LocalPoint origin = e.xy.front();
    if (array) {
      // The lattice steps are (corner - origin) / count; the placement's
      // denominator takes the counts so that they stay exact.
      const LocalPoint& c = e.xy[1];
      const LocalPoint& rr = e.xy[2];
      const Int128 k = Int128{e.cols} * e.rows;
      orientation.scale *= k, orientation.tx *= k, orientation.ty *= k, orientation.den *= k;
      ref.ux = (c.x - origin.x) * (orientation.den / e.cols);
      ref.uy = (c.y - origin.y) * (orientation.den / e.cols);
      ref.vx = (rr.x - origin.x) * (orientation.den / e.rows);
      ref.vy = (rr.y - origin.y) * (orientation.den / e.rows);
      ref.cols = e.cols, ref.rows = e.rows;
    }
    orientation.tx += origin.x * orientation.den;
    orientation.ty += origin.y * orientation.den;
    ref.transform = orientation;
    pending_.push_back({cells_.size() - 1, *e.sname, ref});
    return true;
  }

  // Reflection in the x axis, then magnification, then rotation; the
  // translation is added by the caller. nullptr or the kind left out as.
  static const char* Orientation(const Element& e, Transform& t) {
    if (e.strans & (kAbsoluteMag | kAbsoluteAngle)) return drop::kUnsupportedRecord;
    const double quarter = e.angle / 90;
    if (!std::isfinite(quarter) || std::abs(quarter) > 1e6 ||
        std::abs(quarter - std::nearbyint(quarter)) > 1e-9)
      return drop::kRotation;
    int64_t magNum = 1, magDen = 1;
    if (!RationalApproximation(e.mag, 1'000'000, 1'000'000, 1e-12, magNum, magDen))
      return drop::kMagnification;
    Transform mirrored = (e.strans & kReflection) ? MirrorY() : Transform{};
    Transform scaled, turned;
    Compose(Scaling(magNum, magDen), mirrored, scaled);
    Compose(QuarterTurns(int(int64_t(std::nearbyint(quarter)) % 4)), scaled, turned);
    t = turned;
    return nullptr;
  }

  void ResolveReferences() {
    std::map<std::string, int> index;
    for (size_t i = 0; i < cells_.size(); ++i) {
      if (!index.emplace(cells_[i].name, int(i)).second)
        out_.warnings.push_back("Structure " + cells_[i].name +
                                " is defined twice: the first is used");
    }
    referenced_.assign(cells_.size(), false);
    for (PendingRef& p : pending_) {
      const auto it = index.find(p.name);
      if (it == index.end()) {
        ++cells_[p.parent].dropped[drop::kMissingCell];
        continue;
      }
      p.ref.cell = it->second;
      referenced_[size_t(it->second)] = true;
      cells_[p.parent].refs.push_back(p.ref);
    }
  }

  // Every structure that nothing references is a top structure, placed at
  // the origin; a second definition under a taken name is never placed.
  void Place() {
    std::vector<int> roots;
    std::map<std::string, bool> seen;
    for (size_t i = 0; i < cells_.size(); ++i)
      if (seen.emplace(cells_[i].name, true).second && !referenced_[i]) roots.push_back(int(i));
    if (roots.size() > 1)
      out_.warnings.push_back(std::to_string(roots.size()) + " top structures: all are placed");
    if (!unitsExact_) {
      out_.warnings.push_back("The database unit (" + std::to_string(unitMetres_) +
                              " m) is no whole fraction of lambda: every shape is off the grid");
      OffGridSink sink(out_);
      Flatten(cells_, roots, Transform{}, sink, out_.dropped);
      return;
    }
    LambdaSink sink(out_);
    Flatten(cells_, roots, Scaling(unitNum_, Int128{2} * unitDen_), sink, out_.dropped);
  }

  std::string_view bytes_;
  size_t pos_ = 0;
  const LayerTable& layers_;
  const Technology& technology_;
  const GdsLayerNumbers numbers_;
  std::string error_;
  ImportedLayout out_;
  std::vector<Cell> cells_;
  std::vector<PendingRef> pending_;
  std::vector<bool> referenced_;
  Element element_;
  // Lambda per database unit; a file without UNITS has the usual 1 nm.
  bool unitsExact_ = false;
  int64_t unitNum_ = 1, unitDen_ = 1;
  double unitMetres_ = 1e-9;
};

}  // namespace

GdsLayerNumbers ChooseGdsLayerNumbers(const LayerTable& layers) {
  GdsLayerNumbers numbers;
  std::array<bool, 256> taken{};
  for (int layer = 1; layer <= kLayerCount; ++layer)
    if (WrittenLayer(layer)) taken[layers[layer].gds2] = true;
  int next = kFirstSubstituteGdsNumber;
  const auto substitute = [&] {
    while (next < 255 && taken[size_t(next)]) ++next;
    taken[size_t(next)] = true;
    return next;
  };
  for (int layer = 1; layer <= kLayerCount; ++layer) {
    if (!WrittenLayer(layer)) continue;
    numbers.substituted[layer] = layers[layer].gds2 == 0;
    numbers.layer[layer] = numbers.substituted[layer] ? substitute() : layers[layer].gds2;
  }
  numbers.text = substitute();
  numbers.textSubstituted = true;
  return numbers;
}

std::string GdsName(const std::string& fileName) {
  std::string name = fileName.substr(fileName.find_last_of("/\\") + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_' && ch != '?' && ch != '$')
      ch = '_';
  if (name.size() > 32) name.resize(32);
  return name.empty() ? "TOP" : name;
}

std::string FormatGds(const Layout& layout, const Technology& technology,
                      const std::string& libraryName, GdsWriteReport* report,
                      const GdsTime& time) {
  const GdsLayerNumbers numbers = ChooseGdsLayerNumbers(layout.layers);
  const std::string name = GdsName(libraryName);
  StreamWriter w(256 + size_t(layout.boxes.Count()) * 64 + size_t(layout.texts.Count()) * 180);
  const std::initializer_list<int> stamp = {time.year, time.month, time.day, time.hour,
                                            time.minute, time.second, time.year, time.month,
                                            time.day, time.hour, time.minute, time.second};
  w.Int16s(kHeader, {600});
  w.Int16s(kBgnLib, stamp);
  w.Ascii(kLibName, name);
  // One database unit is one lambda: lambda in user units (microns), then in metres.
  w.Reals(kUnits, {technology.LAMB, technology.LAMB * 1e-6});
  w.Int16s(kBgnStr, stamp);
  w.Ascii(kStrName, name);

  GdsWriteReport written;
  std::array<int, kLayerCount + 1> boxesOn{};
  int flat = 0;
  for (int i = 1; i <= layout.boxes.Count(); ++i) {
    const Box& b = layout.boxes[i];
    if (b.state == kErased || !WrittenLayer(b.layer)) continue;
    const int32_t x1 = std::min(b.x1, b.x2), x2 = std::max(b.x1, b.x2);
    const int32_t y1 = std::min(b.y1, b.y2), y2 = std::max(b.y1, b.y2);
    if (x1 == x2 || y1 == y2) {
      ++flat;
      continue;
    }
    const auto boundary = [&](int layer) {
      w.NoData(kBoundary);
      w.Int16s(kLayerRecord, {numbers.layer[layer]});
      w.Int16s(kDatatype, {0});
      w.Int32s(kXy, {x1, y1, x2, y1, x2, y2, x1, y2, x1, y1});
      w.NoData(kEndEl);
    };
    boundary(b.layer);
    // A diffusion also goes on the active-area mask, which foundry flows and
    // other editors expect beside the selects; our reader takes the copy for
    // the diffusion's own mask, as it does in CIF.
    if (b.layer == kDiffn || b.layer == kDiffp) boundary(kAarea);
    ++boxesOn[b.layer], ++written.boxes;
  }
  for (int i = 1; i <= layout.texts.Count(); ++i) {
    const LayoutText& t = layout.texts[i];
    if (t.state == 0) continue;
    w.NoData(kText);
    w.Int16s(kLayerRecord, {numbers.text});
    w.Int16s(kTextType, {0});
    w.Int32s(kXy, {t.x, t.y});
    w.Ascii(kString, t.text);
    w.NoData(kEndEl);
    ++written.texts;
  }
  w.NoData(kEndStr);
  w.NoData(kEndLib);

  WarnAboutNumbers(layout, numbers, boxesOn, written.texts, written.warnings);
  if (flat > 0)
    written.warnings.push_back(std::to_string(flat) + " boxes without area were not written");
  if (report) *report = std::move(written);
  return w.Take();
}

ImportedLayout ReadGds(std::string_view bytes, const LayerTable& layers,
                       const Technology& technology) {
  ImportedLayout in = GdsReader(bytes, layers, technology).Run();
  ResolveActiveArea(in);
  return in;
}

}  // namespace tarnisk
