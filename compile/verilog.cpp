#include "compile/verilog.h"

#include <algorithm>

#include "core/number_format.h"
#include "core/progress.h"
#include "core/utf8.h"
#include "gen/contact.h"
#include "route/router.h"

namespace tarnisk {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Names separated by any of `separators`; a name also ends at any of `ends`,
// which ends the list.
std::vector<std::string> Names(std::string_view text, std::string_view separators,
                               std::string_view ends) {
  std::vector<std::string> names;
  std::string name;
  const auto flush = [&] {
    if (!name.empty() && names.size() < kMaxVerilogNames) names.push_back(name);
    name.clear();
  };
  for (const char c : text) {
    if (ends.find(c) != std::string_view::npos) break;
    if (separators.find(c) != std::string_view::npos || IsBlank(c)) flush();
    else name += c;
  }
  flush();
  return names;
}

std::string Joined(const std::vector<std::string>& inputs, const std::string& op) {
  std::string text;
  for (size_t i = 0; i < inputs.size(); ++i) text += (i ? op : "") + inputs[i];
  return text;
}

struct PrimitiveForm {
  const char* keyword;
  const char* name;
  const char* opening;  // after "out="
  const char* joint;
};

// The primitive table; "inv" and "not" take the first input only.
constexpr PrimitiveForm kPrimitives[] = {
    {"and", "And", "(", "."},       {"nand", "Nand", "/(", "."}, {"or", "Or", "(", "+"},
    {"nor", "Nor", "/(", "+"},      {"xor", "Xor", "(", "*"},    {"xnor", "Xnor", "/(", "*"},
    {"inv", "Inv", "/(", ""},       {"not", "Inv", "/(", ""},    {"nmos", "Nmos", "\xE9(", ","},
    {"pmos", "Pmos", "\xE8(", ","}, {"padin", "PadIn", "<(", " "}, {"padout", "PadOut", ">(", " "},
};

class VerilogCompiler {
 public:
  VerilogCompiler(CompilerContext& c, VerilogObserver* observer)
      : c_(c), observer_(observer), out_(c.layout) {}

  VerilogResult Run(const std::vector<std::string>& lines) {
    Log("");
    Log("-----(Compiler start)-----");
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string line = lines[i].substr(0, kMaxVerilogLine);
      if (line.size() < 4 || line[0] == '*' || line[0] == '/' || line[0] == '>') continue;
      const VerilogLine scanned = ScanVerilogLine(line);
      const int number = int(i) + 1;
      if (scanned.keyword == "module") {
        i = ModuleHeader(lines, i, scanned);
        Log("# Line " + std::to_string(number) + ", module " + module_ + " start...");
      } else if (scanned.keyword == "endmodule") {
        Log("# End of module " + module_);
        wireNumber_ = 0;
        ModuleRouting();
        IoRouting();
        break;
      } else if (line.find('(') != std::string::npos) {
        Gate(number, scanned);
      }
    }
    Log(result_.counts.errors == 0
            ? "-----(Compiler End - no error)-------"
            : "-----(Compiler End - " + std::to_string(result_.counts.errors) + " errors)-------");
    result_.drawn = out_.Result("");
    return std::move(result_);
  }

 private:
  void Log(const std::string& line) {
    result_.log.push_back(line);
    if (observer_) observer_->Logged(line);
  }
  void Counted() {
    if (observer_) observer_->CountsChanged(result_.counts);
  }

  // The module's name and its inputs and outputs, from the header line and
  // the lines that follow it up to the one that holds ";". Returns the
  // index of the header's last line.
  size_t ModuleHeader(const std::vector<std::string>& lines, size_t i, const VerilogLine& line) {
    const std::string& text = lines[i];
    const size_t start = text.find("module") + 6;
    const std::vector<std::string> words = Names(text.substr(start), "(;", "");
    module_ = words.empty() ? "unknown" : words.front();
    for (const std::string& name : line.arguments) c_.state.ports.AddModuleName(name);
    for (size_t k = i; lines[k].find(';') == std::string::npos && k + 1 < lines.size();) {
      ++k;
      for (const std::string& name : Names(lines[k].substr(0, kMaxVerilogLine), ",)", ";"))
        c_.state.ports.AddModuleName(name);
      i = k;
    }
    return i;
  }

  void Gate(int number, const VerilogLine& line) {
    const Primitive primitive = PrimitiveEquation(line);
    if (primitive.name.empty()) {
      Log("# Line " + std::to_string(number) + ", primitive unknown...");
      return;
    }
    const std::string output = line.arguments.empty() ? "" : line.arguments.front();
    Log(". Line " + std::to_string(number) + ", cell " + primitive.name + "(" + line.keyword +
        "), output is " + output);
    std::string inputs = "..Inputs:";
    for (const std::string& a : line.arguments) inputs += a + ",";
    Log(inputs);
    Log("# Send " + Quoted(ValidUtf8(primitive.equation)) + "... to compiler");
    VerilogCounts& counts = result_.counts;
    ++counts.cells;
    if (counts.cells % 8 == 0 && observer_) observer_->RedrawWanted();
    Counted();
    const CompileResult r = CompileEquation(c_, primitive.equation);
    out_.Note(r.drawn.status);
    if (r.error != kCompileOk) {
      counts.lastError = r.error;
      ++counts.errors;
      Counted();
    }
  }

  // The first grid row from the ports' height upwards, at most 20 rows up,
  // whose cells strictly between the two ports' columns are free; -1 when
  // there is none (always when the second port does not lie to the right).
  int64_t FreeTrack(const CellPort& a, const CellPort& b) {
    OccupancyGrid& grid = c_.grid;
    const int64_t ca = grid.CellX(a.x), cb = grid.CellX(b.x), r0 = grid.CellY(a.upper);
    if (cb <= ca) return -1;
    for (int64_t r = r0; r < r0 + kTrackTries; ++r) {
      bool free = true;
      for (int64_t x = ca + 1; x < cb && free; ++x) free = grid.Code(x, r) == kCellFree;
      if (free) return r;
    }
    return -1;
  }

  // Metal2 from both ports up to the track, a via at each end, and metal
  // between them.
  bool Join(const CellPort& a, const CellPort& b) {
    const int64_t row = FreeTrack(a, b);
    if (row < 0) return false;
    const Technology& t = c_.technology;
    const int64_t y = row * c_.grid.Step();
    const int64_t h2 = (int64_t{t.R701} + 1) / 2, h = (int64_t{t.R501} + 1) / 2;
    const int first = c_.layout.boxes.Count() + 1;
    for (const int64_t x : {int64_t{a.x}, int64_t{b.x}}) {
      out_.Box(x - h2, a.upper, x + h2, y, kMetal2);
      DrawContact(out_, t, {ClampCoordinate(x), ClampCoordinate(y)}, kContactVia);
    }
    out_.Box(a.x - h, y - h, int64_t{b.x} + h, y + h, kMetal);
    c_.grid.MarkFrom(c_.layout, first);
    return true;
  }

  void ModuleRouting() {
    ShowStatus(c_.progress, "Start module routing");
    std::vector<CellPort>& ports = c_.state.ports.cell;
    Log("------(" + module_ + " module routing, " + std::to_string(ports.size()) + " wires)----");
    c_.grid.Rebuild(c_.layout);
    for (size_t k = 0; k < ports.size(); ++k) {
      size_t j = k + 1;
      while (j < ports.size() && ports[j].name != ports[k].name) ++j;
      const std::string name = Quoted(ValidUtf8(ports[k].name));
      if (ports[k].routed || j == ports.size()) {
        Log(std::to_string(k + 1) + ". Wire " + name + " alone, ignored");
        continue;
      }
      const std::string n = std::to_string(++wireNumber_);
      if (Join(ports[k], ports[j])) {
        ports[k].routed = true;
        ++result_.counts.routedWires;
        Log(n + ". Routing wire " + name + " OK");
      } else {
        ++result_.counts.abortedWires;
        Log(n + ". Abort wire " + name);
      }
      Counted();
    }
    ports.clear();
  }

  void IoRouting() {
    ShowStatus(c_.progress, "Start IO Routing of " + module_);
    std::vector<CellPort>& ports = c_.state.ports.io;
    Log("------(" + module_ + " IO routing, " + std::to_string(ports.size()) + " wires)----");
    const Technology& t = c_.technology;
    const int64_t step = c_.grid.Step();
    const int64_t h2 = (int64_t{t.R701} + 1) / 2, h = (int64_t{t.R501} + 1) / 2;
    int64_t y = ports.empty() ? 0 : ports.front().lower;
    int64_t labelX = 5 - 2 * step;
    const auto unrouted = [&] {
      return std::find_if(ports.begin(), ports.end(), [](const CellPort& p) { return !p.routed; });
    };
    for (auto next = unrouted(); next != ports.end(); next = unrouted()) {
      y -= step;
      const std::string name = next->name;
      int64_t lastX = next->x;
      int wires = 0;
      for (CellPort& p : ports) {
        if (p.routed || p.name != name) continue;
        ++result_.counts.routedWires;
        ++wires;
        Counted();
        DrawContact(out_, t, {p.x, ClampCoordinate(y)}, kContactVia);
        out_.Box(p.x - h2, y, p.x + h2, p.lower, kMetal2);
        p.routed = true;
        lastX = p.x;
      }
      out_.Box(-2 * step, y - h, lastX, y + h, kMetal);
      out_.Text(ClampCoordinate(labelX), ClampCoordinate(y), ValidUtf8(name));
      labelX += 8;
      Log(std::to_string(result_.counts.routedWires) + ". Routed " + std::to_string(wires) +
          " wires " + Quoted(ValidUtf8(name)));
    }
    ports.clear();
    if (!out_.Result("").Empty()) c_.layout.wide.modified = 1, c_.layout.wide.extracted = 0;
  }

  CompilerContext& c_;
  VerilogObserver* observer_;
  LayoutWriter out_;
  VerilogResult result_;
  std::string module_ = "unknown";
  int wireNumber_ = 0;
};

}  // namespace

VerilogLine ScanVerilogLine(std::string_view line) {
  VerilogLine scanned;
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  while (i < line.size() && !IsBlank(line[i]) && line[i] != '(' && line[i] != ';')
    scanned.keyword += line[i++];
  const size_t open = line.find('(');
  if (open != std::string_view::npos) {
    const std::string_view inside = line.substr(open + 1);
    scanned.arguments = Names(inside.substr(0, inside.find(')')), ",;", "");
  }
  return scanned;
}

Primitive PrimitiveEquation(const VerilogLine& line) {
  const auto* form = std::find_if(std::begin(kPrimitives), std::end(kPrimitives),
                                  [&](const PrimitiveForm& p) { return line.keyword == p.keyword; });
  if (form == std::end(kPrimitives)) return {};
  const std::vector<std::string>& args = line.arguments;
  const std::string output = args.empty() ? "" : args.front();
  std::vector<std::string> inputs(args.begin() + (args.empty() ? 0 : 1), args.end());
  if (std::string(form->joint).empty() && inputs.size() > 1) inputs.resize(1);
  return {form->name, output + "=" + form->opening + Joined(inputs, form->joint) + ")"};
}

VerilogResult CompileVerilog(CompilerContext& c, const std::vector<std::string>& lines,
                             VerilogObserver* observer) {
  return VerilogCompiler(c, observer).Run(lines);
}

}  // namespace tarnisk
