#include "interchange/cif_reader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "interchange/active_area.h"
#include "interchange/flatten.h"
#include "interchange/rectilinear.h"

namespace tarnisk {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
// Anything but a digit, an upper-case letter, '-', '(', ')' or ';' separates.
bool IsBlank(char c) {
  return !IsDigit(c) && !IsUpper(c) && c != '-' && c != '(' && c != ')' && c != ';';
}
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ','; }

// Coordinates beyond this are refused; doubled and scaled they still fit
// the placement arithmetic.
constexpr int64_t kMaxCifInteger = int64_t{1} << 40;

// -------------------------------------------------------------- overetch

// Takes the writer's overetch off single rectangles (see the header).
class CifSink : public LambdaSink {
 public:
  CifSink(ImportedLayout& out, const LayerTable& layers, const Technology& technology)
      : LambdaSink(out), technology_(technology) {
    for (int layer = 1; layer <= kLayerCount; ++layer)
      overetch_[layer] = technology.LAMB > 0 ? layers[layer].overetch / technology.LAMB : 0;
  }

  void Shape(uint8_t layer, std::span<const LocalBox> boxes, const Transform& t) override {
    if (boxes.size() != 1) return LambdaSink::Shape(layer, boxes, t);
    if (overetch_[layer] == 0) return LambdaSink::Shape(layer, boxes, t);
    Rect drawn;
    if (Drawn(PlaceBoxRational(t, boxes.front()), layer, drawn))
      out_.boxes.push_back({drawn, layer});
  }

 private:
  static bool Exact(const RationalBox& r, Rect& out) {
    const Int128 d = r.den;
    if (r.x1 % d != 0 || r.y1 % d != 0 || r.x2 % d != 0 || r.y2 % d != 0) return false;
    const Int128 limit = kCoordinateLimit;
    for (Int128 v : {r.x1 / d, r.y1 / d, r.x2 / d, r.y2 / d})
      if (v > limit || v < -limit) return false;
    out = {int32_t(r.x1 / d), int32_t(r.y1 / d), int32_t(r.x2 / d), int32_t(r.y2 / d)};
    return true;
  }

  // The drawn box of a mask rectangle, or false (counted) when there is no
  // exact one.
  bool Drawn(const RationalBox& r, int layer, Rect& out) {
    Rect raw, shrunk;
    const bool rawExact = Exact(r, raw);
    const bool shrinks = overetch_[layer] != 0 && Shrunk(r, overetch_[layer], shrunk);
    if (shrinks && (!rawExact || !OffSizeCut(layer, shrunk, raw))) {
      out = shrunk;
      return true;
    }
    if (rawExact) {
      out = raw;
      return true;
    }
    const double far = double(kCoordinateLimit) * double(r.den);
    const bool inRange = std::abs(double(r.x1)) <= far && std::abs(double(r.x2)) <= far &&
                         std::abs(double(r.y1)) <= far && std::abs(double(r.y2)) <= far;
    AddDropped(out_.dropped, inRange ? drop::kOffGrid : drop::kOutOfRange);
    return false;
  }

  // When both readings are on the grid (an overetch of whole lambda), a
  // contact or via is taken as drawn unless shrinking gives the rule's width
  // and the rectangle itself does not have it: the writer grows only cuts of
  // the rule's size.
  bool OffSizeCut(int layer, const Rect& shrunk, const Rect& raw) const {
    const int32_t rule = layer == kContact ? technology_.R401
                         : layer == kVia   ? technology_.R601
                                           : 0;
    return rule != 0 && (shrunk.xmax - shrunk.xmin != rule || raw.xmax - raw.xmin == rule);
  }

  // The rectangle moved in by the same exact distance on all four sides to
  // whole lambda, that distance within a tenth of lambda of the overetch.
  static bool Shrunk(const RationalBox& r, double overetch, Rect& out) {
    const double d = double(r.den);
    const double limit = double(kCoordinateLimit);
    const double x1 = std::round(double(r.x1) / d + overetch),
                 y1 = std::round(double(r.y1) / d + overetch);
    const double x2 = std::round(double(r.x2) / d - overetch),
                 y2 = std::round(double(r.y2) / d - overetch);
    for (double v : {x1, y1, x2, y2})
      if (!(std::abs(v) <= limit)) return false;
    if (x1 >= x2 || y1 >= y2) return false;
    const Int128 s = Int128(int64_t(x1)) * r.den - r.x1;
    if (Int128(int64_t(y1)) * r.den - r.y1 != s || r.x2 - Int128(int64_t(x2)) * r.den != s ||
        r.y2 - Int128(int64_t(y2)) * r.den != s)
      return false;
    if (std::abs(double(s) / d - overetch) > 0.1) return false;
    out = {int32_t(x1), int32_t(y1), int32_t(x2), int32_t(y2)};
    return true;
  }

  const Technology& technology_;
  std::array<double, kLayerCount + 1> overetch_{};
};

// -------------------------------------------------------------- parser

// A call waiting for its symbol: transformations in the caller's units.
struct PendingCall {
  size_t parent;
  int64_t symbol;
  Transform transform;
};

class CifParser {
 public:
  CifParser(std::string_view text, const LayerTable& layers, const Technology& technology)
      : text_(text), layers_(layers), technology_(technology) {
    cells_.emplace_back();  // the top level, in hundredths of a micron
    scales_.push_back({1, 1});
  }

  ImportedLayout Run() {
    if (!Commands()) {
      ImportedLayout failed;
      failed.error = error_;
      return failed;
    }
    ResolveCalls();
    Place();
    return std::move(out_);
  }

 private:
  // ---------------------------------------------------------- characters

  char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  bool AtEnd() const { return pos_ >= text_.size(); }

  bool Fail(const std::string& message) {
    if (error_.empty()) {
      const auto line =
          std::count(text_.begin(), text_.begin() + std::min(pos_, text_.size()), '\n');
      error_ = "CIF: " + message + " at line " + std::to_string(line + 1);
    }
    return false;
  }

  void SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) ++pos_;
  }

  // A comment, nested parentheses included.
  bool SkipComment() {
    int depth = 0;
    while (!AtEnd()) {
      const char c = text_[pos_++];
      if (c == '(') ++depth;
      else if (c == ')' && --depth == 0) return true;
    }
    return Fail("unterminated comment (truncated)");
  }

  // Separators before a number: blanks, upper-case letters and comments.
  bool SkipSeparators() {
    while (!AtEnd()) {
      const char c = Peek();
      if (c == '(') {
        if (!SkipComment()) return false;
      } else if (IsBlank(c) || IsUpper(c)) {
        ++pos_;
      } else {
        return true;
      }
    }
    return true;
  }

  bool AtCommandEnd() {
    if (!SkipSeparators()) return true;
    return AtEnd() || Peek() == ';';
  }

  // A signed integer; numbers past kMaxCifInteger mark the command out of
  // range.
  bool Integer(int64_t& value) {
    if (!SkipSeparators()) return false;
    const bool negative = Peek() == '-';
    if (negative) ++pos_;
    if (!IsDigit(Peek())) return Fail(AtEnd() ? "the file ends inside a command (truncated)"
                                              : "a number is missing");
    value = 0;
    while (IsDigit(Peek())) {
      value = std::min(value * 10 + (text_[pos_++] - '0'), kMaxCifInteger + 1);
    }
    if (value > kMaxCifInteger) outOfRange_ = true;
    if (negative) value = -value;
    return true;
  }

  bool Point(LocalPoint& p) {
    int64_t x = 0, y = 0;
    if (!Integer(x) || !Integer(y)) return false;
    p = {2 * x, 2 * y};
    return true;
  }

  bool EndOfCommand() {
    SkipBlanks();
    if (Peek() == ';') {
      ++pos_;
      return true;
    }
    return Fail(AtEnd() ? "the file ends inside a command (truncated)" : "';' expected");
  }

  // ---------------------------------------------------------- commands

  bool Commands() {
    while (true) {
      SkipBlanks();
      if (AtEnd()) return Fail("no E command (truncated)");
      const char c = Peek();
      if (c == 'E') return true;
      if (c == ';') {
        ++pos_;
        continue;
      }
      if (c == '(') {
        if (!SkipComment()) return false;
        continue;
      }
      outOfRange_ = false;
      ++pos_;
      if (!Command(c)) return false;
    }
  }

  bool Command(char c) {
    switch (c) {
      case 'P': return Polygon();
      case 'B': return BoxCommand();
      case 'W': case 'R': return RoundShape();
      case 'L': return LayerCommand();
      case 'D': return Definition();
      case 'C': return Call();
      default:
        if (IsDigit(c)) return UserExtension(c);
        --pos_;
        return Fail(std::string("unexpected '") + c + "'");
    }
  }

  Cell& Current() { return cells_[current_]; }

  void Drop(const char* kind) { ++Current().dropped[kind]; }

  bool Polygon() {
    std::vector<LocalPoint> points;
    while (!AtCommandEnd()) {
      LocalPoint p;
      if (!Point(p)) return false;
      points.push_back(p);
    }
    if (!error_.empty() || !EndOfCommand()) return false;
    AddShape([&](std::vector<LocalBox>& boxes) { return DecomposePolygon(points, boxes); });
    return true;
  }

  // "B length width centre [direction]": in half units the half-length is
  // the length itself.
  bool BoxCommand() {
    int64_t length = 0, width = 0;
    LocalPoint centre, direction{1, 0};
    if (!Integer(length) || !Integer(width) || !Point(centre)) return false;
    if (!AtCommandEnd() && !Point(direction)) return false;
    if (!error_.empty() || !EndOfCommand()) return false;
    AddShape([&](std::vector<LocalBox>& boxes) -> const char* {
      if (direction.x != 0 && direction.y != 0) return drop::kNonManhattan;
      if (direction.x == 0 && direction.y == 0) return drop::kUnsupportedRecord;
      if (length <= 0 || width <= 0) return drop::kDegenerate;
      const int64_t hx = direction.x != 0 ? length : width, hy = direction.x != 0 ? width : length;
      boxes.push_back({centre.x - hx, centre.y - hy, centre.x + hx, centre.y + hy});
      return nullptr;
    });
    return true;
  }

  // Round flashes and wires (whose ends are round) are never exact boxes.
  bool RoundShape() {
    while (!AtCommandEnd()) {
      int64_t ignored = 0;
      if (!Integer(ignored)) return false;
    }
    if (!error_.empty() || !EndOfCommand()) return false;
    Drop(drop::kRoundShape);
    return true;
  }

  // Cuts the shape into the current cell's boxes, or counts why not.
  template <class Cut>
  void AddShape(Cut cut) {
    Cell& cell = Current();
    if (layerProblem_) return Drop(layerProblem_);
    if (outOfRange_) return Drop(drop::kOutOfRange);
    const size_t first = cell.boxes.size();
    if (const char* problem = cut(cell.boxes)) {
      cell.boxes.resize(first);
      return Drop(problem);
    }
    cell.shapes.push_back({uint8_t(layer_), uint32_t(first), uint32_t(cell.boxes.size() - first)});
  }

  bool LayerCommand() {
    SkipBlanks();
    const size_t start = pos_;
    while (!AtEnd() && Peek() != ';' && !IsSpace(Peek())) ++pos_;
    const std::string name(text_.substr(start, pos_ - start));
    if (name.empty()) return Fail("a layer name is missing");
    SelectLayer(name);
    return EndOfCommand();
  }

  void SelectLayer(const std::string& name) {
    layer_ = 0;
    layerProblem_ = drop::kUnknownLayer;
    int found = 0;
    for (int layer = 1; layer <= kLayerCount; ++layer) {
      if (layers_[layer].cifName != name) continue;
      if (layer == kGatep || layer == kGaten) {
        if (found == 0) layerProblem_ = drop::kGeneratedLayer;
        continue;
      }
      if (found != 0) {
        if (warnedNames_.emplace(name, true).second)
          out_.warnings.push_back("CIF layer " + name + " is the name of " +
                                  layers_[found].name + " and " + layers_[layer].name +
                                  ": read as " + layers_[found].name);
        continue;
      }
      found = layer;
    }
    if (found != 0) layer_ = found, layerProblem_ = nullptr;
  }

  bool Definition() {
    SkipBlanks();
    const char kind = Peek();
    ++pos_;
    if (kind == 'S') return DefinitionStart();
    if (kind == 'F') {
      if (current_ == 0) return Fail("DF without DS");
      current_ = 0;
      layer_ = 0, layerProblem_ = drop::kUnknownLayer;
      return EndOfCommand();
    }
    if (kind == 'D') {
      int64_t ignored = 0;
      if (!Integer(ignored) || !EndOfCommand()) return false;
      out_.warnings.push_back("DD (deleting definitions) is not supported: ignored");
      return true;
    }
    --pos_;
    return Fail("DS, DF or DD expected");
  }

  bool DefinitionStart() {
    if (current_ != 0) return Fail("DS inside a definition");
    int64_t number = 0, a = 1, b = 1;
    if (!Integer(number)) return false;
    if (!AtCommandEnd() && (!Integer(a) || !Integer(b))) return false;
    if (!error_.empty() || !EndOfCommand()) return false;
    if (a <= 0 || b <= 0 || a > kMaxCifScale || b > kMaxCifScale)
      return Fail("bad DS scale " + std::to_string(a) + "/" + std::to_string(b));
    if (symbols_.count(number))
      out_.warnings.push_back("Symbol " + std::to_string(number) +
                              " is defined twice: the last definition is used");
    current_ = cells_.size();
    symbols_[number] = current_;
    cells_.emplace_back();
    cells_.back().name = std::to_string(number);
    scales_.push_back({a, b});
    layer_ = 0, layerProblem_ = drop::kUnknownLayer;
    return true;
  }

  // "C symbol" and transformations applied in the order written: T point,
  // M X, M Y, R direction (axis directions only).
  bool Call() {
    int64_t symbol = 0;
    if (!Integer(symbol)) return false;
    Transform t;
    const char* problem = nullptr;
    while (true) {
      SkipBlanks();
      const char op = Peek();
      if (op == ';' || AtEnd()) break;
      ++pos_;
      Transform step;
      if (!Transformation(op, step, problem)) return false;
      Transform next;
      if (!problem && !Compose(step, t, next)) problem = drop::kOutOfRange;
      if (!problem) t = next;
    }
    if (!EndOfCommand()) return false;
    if (outOfRange_) problem = drop::kOutOfRange;
    if (problem) Drop(problem);
    else calls_.push_back({current_, symbol, t});
    return true;
  }

  bool Transformation(char op, Transform& step, const char*& problem) {
    LocalPoint p;
    if (op == 'T') {
      if (!Point(p)) return false;
      step = Translation(p.x, p.y);
      return true;
    }
    if (op == 'M') {
      SkipBlanks();
      const char axis = Peek();
      ++pos_;
      if (axis == 'X') return step = MirrorX(), true;
      if (axis == 'Y') return step = MirrorY(), true;
      return Fail("M X or M Y expected");
    }
    if (op == 'R') {
      if (!Point(p)) return false;
      if (p.x > 0 && p.y == 0) step = QuarterTurns(0);
      else if (p.x == 0 && p.y > 0) step = QuarterTurns(1);
      else if (p.x < 0 && p.y == 0) step = QuarterTurns(2);
      else if (p.x == 0 && p.y < 0) step = QuarterTurns(3);
      else problem = drop::kRotation;
      return true;
    }
    --pos_;
    return Fail(std::string("unexpected '") + op + "' in a call");
  }

  // "9 name" names the symbol; "94 label x y [layer]" and
  // "95 label length width x y [layer]" place labels.
  bool UserExtension(char first) {
    std::string command(1, first);
    while (IsDigit(Peek())) command += text_[pos_++];
    const size_t start = pos_;
    while (!AtEnd() && Peek() != ';') ++pos_;
    const std::string_view body = text_.substr(start, pos_ - start);
    if (!EndOfCommand()) return false;
    if (command == "9") Current().name = std::string(Trimmed(body));
    if (command == "94" || command == "95") Label(body, command == "94" ? 2 : 4);
    return true;
  }

  static std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
  }

  static std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < s.size()) {
      while (i < s.size() && IsSpace(s[i])) ++i;
      const size_t start = i;
      while (i < s.size() && !IsSpace(s[i])) ++i;
      if (i > start) words.push_back(s.substr(start, i - start));
    }
    return words;
  }

  static bool WordInteger(std::string_view w, int64_t& value) {
    const bool negative = !w.empty() && w.front() == '-';
    if (negative) w.remove_prefix(1);
    if (w.empty() || w.size() > 12) return false;
    value = 0;
    for (char c : w) {
      if (!IsDigit(c)) return false;
      value = value * 10 + (c - '0');
    }
    if (negative) value = -value;
    return true;
  }

  // The label's position is the last two of its `numbers` numbers.
  void Label(std::string_view body, size_t numbers) {
    const std::vector<std::string_view> words = Words(body);
    int64_t x = 0, y = 0;
    if (words.size() < 1 + numbers || !WordInteger(words[numbers - 1], x) ||
        !WordInteger(words[numbers], y))
      return Drop(drop::kUnsupportedRecord);
    std::string text(words.front());
    if (const char* problem = NormaliseText(text)) return Drop(problem);
    Current().texts.push_back({2 * x, 2 * y, std::move(text)});
  }

  // ---------------------------------------------------------- placing

  // The callee's units become the caller's: a symbol's numbers are
  // a/b hundredths of a micron.
  void ResolveCalls() {
    called_.assign(cells_.size(), false);
    for (const PendingCall& call : calls_) {
      const auto it = symbols_.find(call.symbol);
      if (it == symbols_.end()) {
        ++cells_[call.parent].dropped[drop::kMissingCell];
        continue;
      }
      const auto [ac, bc] = scales_[it->second];
      const auto [ap, bp] = scales_[call.parent];
      CellRef ref;
      ref.cell = int(it->second);
      if (!Compose(call.transform, Scaling(Int128{ac} * bp, Int128{bc} * ap), ref.transform)) {
        ++cells_[call.parent].dropped[drop::kOutOfRange];
        continue;
      }
      called_[it->second] = true;
      cells_[call.parent].refs.push_back(ref);
    }
  }

  // The top level is placed; when it holds nothing, it calls every symbol
  // that no other one calls.
  void Place() {
    Cell& top = cells_[0];
    if (top.shapes.empty() && top.texts.empty() && top.refs.empty() && top.dropped.empty()) {
      for (const auto& [number, cell] : symbols_) {
        if (called_[cell]) continue;
        CellRef ref;
        ref.cell = int(cell);
        ref.transform = Scaling(scales_[cell].first, scales_[cell].second);
        top.refs.push_back(ref);
      }
      if (!top.refs.empty())
        out_.warnings.push_back("Nothing is placed at the top level: the " +
                                std::to_string(top.refs.size()) + " symbols no other calls are");
    }
    const std::vector<int> roots{0};
    // Lambda per hundredth of a micron, as the fraction q / p.
    int64_t p = 0, q = 0;
    if (!RationalApproximation(technology_.LAMB * 100, 1'000'000'000, 1'000'000, 1e-12, p, q)) {
      OffGridSink sink(out_);
      Flatten(cells_, roots, Transform{}, sink, out_.dropped);
      return;
    }
    CifSink sink(out_, layers_, technology_);
    Flatten(cells_, roots, Scaling(q, Int128{2} * p), sink, out_.dropped);
  }

  std::string_view text_;
  size_t pos_ = 0;
  const LayerTable& layers_;
  const Technology& technology_;
  std::string error_;
  ImportedLayout out_;
  std::vector<Cell> cells_;
  std::vector<std::pair<int64_t, int64_t>> scales_;  // a, b of each cell
  std::map<int64_t, size_t> symbols_;
  std::vector<PendingCall> calls_;
  std::vector<bool> called_;
  std::map<std::string, bool> warnedNames_;
  size_t current_ = 0;
  int layer_ = 0;
  const char* layerProblem_ = drop::kUnknownLayer;
  bool outOfRange_ = false;
};

}  // namespace

ImportedLayout ReadCif(std::string_view text, const LayerTable& layers,
                       const Technology& technology) {
  ImportedLayout in = CifParser(text, layers, technology).Run();
  ResolveActiveArea(in);
  return in;
}

}  // namespace tarnisk
