// Batch commands of the cell generator and the router: generate, route.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <span>

#include "app/cli.h"
#include "app/json_output.h"
#include "gen/warnings.h"
#include "route/router.h"
#include "session/editor/editing.h"
#include "session/files.h"
#include "session/generator/generator.h"
#include "session/session.h"

#ifndef TARNISK_DATA_DIR
#define TARNISK_DATA_DIR "data"
#endif

namespace tarnisk {

namespace {

// What one generate run takes from its options.
struct GenerateInputs {
  GeneratorSettings settings;
  std::string padFile;
};

// A field of the generator window as --set names it: its value as text and
// how a text sets it (false for a value out of place).
struct Field {
  std::string_view name;
  std::string (*show)(const GenerateInputs&);
  bool (*set)(GenerateInputs&, std::string_view);
};

bool ParseInteger(std::string_view text, int minimum, int& value) {
  int v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size() || v < minimum) return false;
  value = v;
  return true;
}

bool ParseReal(std::string_view text, double& value) {
  const std::string copy(text);
  char* end = nullptr;
  const double v = std::strtod(copy.c_str(), &end);
  if (copy.empty() || *end != '\0' || !std::isfinite(v) || v <= 0) return false;
  value = v;
  return true;
}

std::string Real(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

template <class T>
struct Choice {
  std::string_view name;
  T value;
};

constexpr Choice<int> kContactKinds[] = {{"diffn", kContactDiffn}, {"diffp", kContactDiffp},
                                         {"poly", kContactPoly},   {"via", kContactVia},
                                         {"via2", kContactVia2},   {"via3", kContactVia3},
                                         {"via4", kContactVia4}};
constexpr Choice<Polarization> kPolarizations[] = {
    {"none", Polarization::None}, {"n", Polarization::NwellTap}, {"p", Polarization::SubstrateTap}};
constexpr Choice<Orientation> kOrientations[] = {{"horizontal", Orientation::Horizontal},
                                                 {"vertical", Orientation::Vertical}};
constexpr Choice<MosType> kMosTypes[] = {{"n", MosType::Nmos}, {"p", MosType::Pmos}};
constexpr Choice<int> kMetals[] = {{"metal", kMetal},
                                   {"metal2", kMetal2},
                                   {"metal3", kMetal3},
                                   {"metal4", kMetal4},
                                   {"metal5", kMetal5}};
constexpr Choice<int> kPathLayers[] = {
    {"metal", kMetal},   {"metal2", kMetal2}, {"metal3", kMetal3}, {"metal4", kMetal4},
    {"metal5", kMetal5}, {"diffn", kDiffn},   {"diffp", kDiffp}};
constexpr Choice<bool> kSwitch[] = {{"0", false}, {"1", true}};

template <auto Group, auto Member, int Minimum>
Field IntegerField(std::string_view name) {
  return {name, [](const GenerateInputs& in) { return std::to_string(in.settings.*Group.*Member); },
          [](GenerateInputs& in, std::string_view text) {
            int v = 0;
            if (!ParseInteger(text, Minimum, v)) return false;
            in.settings.*Group.*Member = v;
            return true;
          }};
}

template <auto Group, auto Member>
Field MicronField(std::string_view name) {
  return {name, [](const GenerateInputs& in) { return Real(in.settings.*Group.*Member); },
          [](GenerateInputs& in, std::string_view text) {
            return ParseReal(text, in.settings.*Group.*Member);
          }};
}

template <auto Group, auto Member, const auto& Names>
Field ChoiceField(std::string_view name) {
  return {name,
          [](const GenerateInputs& in) {
            for (const auto& c : Names)
              if (c.value == in.settings.*Group.*Member) return std::string(c.name);
            return std::string("?");
          },
          [](GenerateInputs& in, std::string_view text) {
            for (const auto& c : Names)
              if (c.name == text) {
                in.settings.*Group.*Member = c.value;
                return true;
              }
            return false;
          }};
}

using G = GeneratorSettings;

// The inductor's metals as a list such as "metal2" or "metal,metal3".
Field InductorLayersField() {
  return {"layers",
          [](const GenerateInputs& in) {
            std::string text;
            for (size_t m = 0; m < kInductorLayers.size(); ++m)
              if (in.settings.inductor.onLayer[m])
                text += (text.empty() ? "" : ",") + std::string(kMetals[m].name);
            return text;
          },
          [](GenerateInputs& in, std::string_view text) {
            std::array<bool, 5> on{};
            while (!text.empty()) {
              const std::string_view item = text.substr(0, text.find(','));
              text.remove_prefix(std::min(text.size(), item.size() + 1));
              const auto* c = std::find_if(std::begin(kMetals), std::end(kMetals),
                                           [&](const auto& m) { return m.name == item; });
              if (c == std::end(kMetals)) return false;
              on[size_t(c - std::begin(kMetals))] = true;
            }
            in.settings.inductor.onLayer = on;
            return true;
          }};
}

Field LogoLayerField() {
  return {"layer",
          [](const GenerateInputs& in) { return DefaultLayerTable()[in.settings.logo.layer].name; },
          [](GenerateInputs& in, std::string_view text) {
            const int layer = LayerFromName(std::string(text), DefaultLayerTable());
            if (layer == 0) return false;
            in.settings.logo.layer = layer;
            return true;
          }};
}

Field PadFileField() {
  return {"padfile", [](const GenerateInputs& in) { return in.padFile; },
          [](GenerateInputs& in, std::string_view text) {
            in.padFile = std::string(text);
            return !text.empty();
          }};
}

// What each kind needs besides its fields.
enum class Needs { Point, Nothing, Points };

struct Kind {
  std::string_view name;
  Structure structure;
  Needs needs;
  std::vector<Field> fields;
};

std::vector<Kind> Kinds() {
  const Field kind = ChoiceField<&G::contacts, &ContactSettings::kind, kContactKinds>("kind");
  const Field rows = IntegerField<&G::contacts, &ContactSettings::rows, 1>("rows");
  const Field columns = IntegerField<&G::contacts, &ContactSettings::columns, 1>("columns");
  const Field polarization =
      ChoiceField<&G::contacts, &ContactSettings::polarization, kPolarizations>("polarization");
  return {
      {"contact", Structure::Contact, Needs::Point, {kind}},
      {"contacts", Structure::Contacts, Needs::Point, {kind, rows, columns, polarization}},
      {"ring", Structure::Ring, Needs::Point, {rows, columns, polarization}},
      {"pad",
       Structure::Pad,
       Needs::Point,
       {MicronField<&G::pads, &PadSettings::sizeMicrons>("size")}},
      {"padring",
       Structure::PadRing,
       Needs::Nothing,
       {IntegerField<&G::pads, &PadSettings::padsX, 0>("padsx"),
        IntegerField<&G::pads, &PadSettings::padsY, 0>("padsy"),
        MicronField<&G::pads, &PadSettings::ringWidthMicrons>("ringwidth"), PadFileField()}},
      {"bus",
       Structure::Bus,
       Needs::Point,
       {ChoiceField<&G::bus, &BusSettings::layer, kMetals>("layer"),
        IntegerField<&G::bus, &BusSettings::width, 1>("width"),
        IntegerField<&G::bus, &BusSettings::spacing, 0>("spacing"),
        IntegerField<&G::bus, &BusSettings::repeat, 1>("repeat"),
        IntegerField<&G::bus, &BusSettings::length, 1>("length"),
        ChoiceField<&G::bus, &BusSettings::orientation, kOrientations>("orientation")}},
      {"inductor",
       Structure::Inductor,
       Needs::Point,
       {IntegerField<&G::inductor, &InductorSettings::turns, 1>("turns"),
        IntegerField<&G::inductor, &InductorSettings::width, 1>("width"),
        IntegerField<&G::inductor, &InductorSettings::spacing, 1>("spacing"),
        InductorLayersField()}},
      {"mos",
       Structure::Mos,
       Needs::Point,
       {MicronField<&G::mos, &MosSettings::widthMicrons>("width"),
        MicronField<&G::mos, &MosSettings::lengthMicrons>("length"),
        IntegerField<&G::mos, &MosSettings::gates, 1>("gates"),
        ChoiceField<&G::mos, &MosSettings::type, kMosTypes>("type"),
        ChoiceField<&G::mos, &MosSettings::orientation, kOrientations>("orientation")}},
      {"path",
       Structure::Path,
       Needs::Points,
       {ChoiceField<&G::path, &PathSettings::layer, kPathLayers>("layer"),
        IntegerField<&G::path, &PathSettings::width, 1>("width"),
        IntegerField<&G::path, &PathSettings::contacts, 1>("contacts"),
        ChoiceField<&G::path, &PathSettings::contactsAtEnds, kSwitch>("ends"),
        ChoiceField<&G::path, &PathSettings::alignToGrid, kSwitch>("grid")}},
      {"logo",
       Structure::Logo,
       Needs::Point,
       {MicronField<&G::logo, &LogoSettings::letterSizeMicrons>("size"), LogoLayerField()}},
  };
}

// The settings a kind starts from: the window's, except that a lone
// polarization ring is a well tap.
GenerateInputs DefaultsFor(const Kind& kind) {
  GenerateInputs in;
  if (kind.structure == Structure::Ring) in.settings.contacts.polarization = Polarization::NwellTap;
  return in;
}

std::string NeedsText(Needs needs) {
  switch (needs) {
    case Needs::Point: return " --at X,Y";
    case Needs::Points: return " --points X,Y;X,Y;...";
    case Needs::Nothing: return "";
  }
  return "";
}

void PrintKinds(CliRun& run, const std::vector<Kind>& kinds) {
  Json all = Json::object();
  for (const Kind& k : kinds) {
    const GenerateInputs defaults = DefaultsFor(k);
    Json fields = Json::object();
    std::string line = std::string(k.name) + NeedsText(k.needs);
    if (k.structure == Structure::Logo) line += " [--text TEXT]";
    for (const Field& f : k.fields) {
      fields[std::string(f.name)] = f.show(defaults);
      line += " " + std::string(f.name) + "=" + f.show(defaults);
    }
    all[std::string(k.name)] = fields;
    if (!run.options.json) run.out << line << '\n';
  }
  if (run.options.json) PrintJson(run.out, {{"kinds", all}});
}

bool ParsePoint(std::string_view text, Point& p) {
  long long x = 0, y = 0;
  char tail = 0;
  const std::string copy(text);
  if (std::sscanf(copy.c_str(), "%lld,%lld%c", &x, &y, &tail) != 2) return false;
  if (std::llabs(x) > kCoordinateLimit || std::llabs(y) > kCoordinateLimit) return false;
  p = {int32_t(x), int32_t(y)};
  return true;
}

bool ParsePoints(std::string_view text, std::vector<Point>& points) {
  while (!text.empty()) {
    const std::string_view item = text.substr(0, text.find(';'));
    text.remove_prefix(std::min(text.size(), item.size() + 1));
    Point p;
    if (!ParsePoint(item, p)) return false;
    points.push_back(p);
  }
  return !points.empty();
}

// Applies the --set options; an empty text, or what was wrong.
std::string ApplyFields(const CliRun& run, const Kind& kind, GenerateInputs& in) {
  for (const std::string& assignment : run.options.List("set")) {
    const size_t eq = assignment.find('=');
    const std::string name = assignment.substr(0, eq);
    const auto f = std::find_if(kind.fields.begin(), kind.fields.end(),
                                [&](const Field& field) { return field.name == name; });
    if (eq == std::string::npos || f == kind.fields.end())
      return "\"" + name + "\" is not a field of " + std::string(kind.name) +
             " (tarnisk-cli generate --list shows them)";
    if (!f->set(in, std::string_view(assignment).substr(eq + 1)))
      return "bad value in --set " + assignment;
  }
  return "";
}

bool SaveOutput(CliRun& run) {
  const std::string& target = run.options.positional[1];
  if (SaveLayoutFile(run.state, target)) return true;
  Fail(run, "Error writing \"" + target + "\": " + std::strerror(run.state.LastError));
  return false;
}

void PrintGenerated(CliRun& run, const Generated& g) {
  const bool any = !g.Empty();
  if (run.options.json) {
    PrintJson(run.out, {{"boxes_added", g.boxesAdded},
                        {"texts_added", g.textsAdded},
                        {"extent_added", any ? JsonRect(g.extentAdded) : Json()},
                        {"message", g.message}});
    return;
  }
  run.out << g.message << "\nboxes added: " << g.boxesAdded << "\ntexts added: " << g.textsAdded
          << '\n';
  const Rect& e = g.extentAdded;
  if (any)
    run.out << "extent added: " << e.xmin << ' ' << e.ymin << ' ' << e.xmax << ' ' << e.ymax
            << '\n';
}

int RunGenerate(CliRun& run) {
  const std::vector<Kind> kinds = Kinds();
  if (run.options.Flag("list")) {
    PrintKinds(run, kinds);
    return kExitOk;
  }
  const std::vector<std::string>& args = run.options.positional;
  if (std::any_of(args.begin(), args.end(), [](const std::string& a) { return a.empty(); }))
    return Fail(run, "generate needs IN.msk OUT.msk KIND, or --list");
  const auto kind =
      std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) { return k.name == args[2]; });
  if (kind == kinds.end())
    return Fail(run, "unknown kind \"" + args[2] + "\" (tarnisk-cli generate --list shows them)");
  GenerateInputs in = DefaultsFor(*kind);
  if (const std::string problem = ApplyFields(run, *kind, in); !problem.empty())
    return Fail(run, problem);
  if (const std::string* text = run.options.Value("text")) in.settings.logo.text = *text;
  Point at;
  const std::string* atText = run.options.Value("at");
  if (kind->needs == Needs::Point && !(atText && ParsePoint(*atText, at)))
    return Fail(run, std::string(kind->name) + " needs --at X,Y in lambda");
  std::vector<Point> points;
  const std::string* pointsText = run.options.Value("points");
  if (kind->needs == Needs::Points && !(pointsText && ParsePoints(*pointsText, points)))
    return Fail(run, "path needs --points X,Y;X,Y;... in lambda");

  if (!LoadCliRules(run) || !OpenCliLayout(run, args[0])) return kExitUsage;
  Session& s = run.state;
  s.generator.settings = in.settings;
  s.generator.cellDirectory = std::string(TARNISK_DATA_DIR) + "/pads";
  if (!in.padFile.empty() && !LoadPadFile(s, in.padFile).Ok())
    return Fail(run, "cannot read the pad file \"" + in.padFile + "\"");
  const std::string warning = RuleWarning(kind->structure, in.settings, s.technology);
  if (!warning.empty() && !run.options.quiet)
    run.err << "tarnisk-cli: warning: " << warning << '\n';
  const Generated g = kind->needs == Needs::Points ? GeneratePath(s, points)
                                                   : GenerateStructure(s, kind->structure, at);
  if (!SaveOutput(run)) return kExitUsage;
  PrintGenerated(run, g);
  return g.Complete() ? kExitOk : kExitProblems;
}

// X,Y,LAYER: a point in lambda and a layer name.
bool ParseRouteEnd(const Session& s, const std::string* text, Point& at, int& layer) {
  if (!text) return false;
  const size_t comma = text->rfind(',');
  if (comma == std::string::npos || !ParsePoint(std::string_view(*text).substr(0, comma), at))
    return false;
  layer = LayerFromName(text->substr(comma + 1), s.layout.layers);
  return layer != 0;
}

int RunRoute(CliRun& run) {
  const std::string* jogText = run.options.Value("jog");
  int jog = kJogAnywhere;
  if (jogText && !(ParseInteger(*jogText, 0, jog) && jog <= 2))
    return Fail(run, "--jog wants 0, 1 or 2");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  Session& s = run.state;
  Point from, to;
  int fromLayer = 0, toLayer = 0;
  if (!ParseRouteEnd(s, run.options.Value("from"), from, fromLayer) ||
      !ParseRouteEnd(s, run.options.Value("to"), to, toLayer))
    return Fail(run, "route needs --from X,Y,LAYER and --to X,Y,LAYER (lambda, a layer name)");
  s.generator.routingStep = RoutingStep(s.technology);
  OccupancyGrid& grid = s.generator.Grid();
  grid.Rebuild(s.layout);
  const RouteEnd a{grid.CellOf(from), fromLayer}, b{grid.CellOf(to), toLayer};
  if (grid.OutOfGrid()) return Fail(run, "an end lies outside the routing grid");
  const RouteResult r = Route(s.layout, s.technology, grid, a, b, jog);
  const std::string message =
      !r.routed             ? "No route found after " + std::to_string(r.tries) + " tries"
      : !r.drawn.Complete() ? std::string(kBoxTableFullMessage)
                            : "Routed after " + std::to_string(r.tries) + " tries (" +
                                  std::to_string(r.drawn.boxesAdded) + " boxes)";
  if (!SaveOutput(run)) return kExitUsage;
  if (run.options.json)
    PrintJson(run.out, {{"routed", r.routed},
                        {"tries", r.tries},
                        {"boxes_added", r.drawn.boxesAdded},
                        {"message", message}});
  else
    run.out << message << '\n';
  return r.routed && r.drawn.Complete() ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> GeneratorCommands() {
  CliCommand generate{
      "generate",
      "add a generated structure (--list: the kinds and their fields); exit 1 when a table filled",
      {"IN.msk", "OUT.msk", "KIND"},
      {{"at", "X,Y in lambda: where the structure goes"},
       {"set", "NAME=VALUE: a field of the kind, repeatable", true},
       {"points", "X,Y;X,Y;... in lambda: the clicks of a path"},
       {"text", "the text of a logo"}},
      {{"list", "the kinds and their fields with their defaults"}},
      RunGenerate};
  generate.positionalsOptional = true;
  return {
      generate,
      {"route",
       "route a wire on the routing grid; exit 1 when no route was found",
       {"IN.msk", "OUT.msk"},
       {{"from", "X,Y,LAYER: the start, in lambda, and its layer"},
        {"to", "X,Y,LAYER: the end"},
        {"jog", "0 no jog below both ends, 1 none above, 2 anywhere (default)"}},
       {},
       RunRoute},
  };
}

}  // namespace tarnisk
