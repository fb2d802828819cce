// Batch commands of the navigator: node and crosstalk.

#include <ostream>
#include <string>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/parse_number.h"
#include "session/analysis/extract_command.h"
#include "session/editor/render.h"
#include "session/editor/view.h"
#include "session/navigator/navigator_commands.h"
#include "session/session.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

constexpr int kPngWidth = 1024, kPngHeight = 768;

// "X,Y" in lambda.
bool ReadPoint(const std::string& text, Point& p) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  const ParsedNumber x = ParseNumber(text.substr(0, comma), -1e9, 1e9, 0);
  const ParsedNumber y = ParseNumber(text.substr(comma + 1), -1e9, 1e9, 0);
  if (!x.ok || !y.ok || comma == 0 || comma + 1 == text.size()) return false;
  p = {int32_t(x.value), int32_t(y.value)};
  return true;
}

Json DevicesJson(const std::vector<DeviceRow>& rows) {
  Json list = Json::array();
  for (const DeviceRow& r : rows)
    list.push_back({{"name", r.name}, {"w_um", std::stod(r.w)}, {"l_um", std::stod(r.l)}});
  return list;
}

int RunNode(CliRun& run) {
  const std::string* at = run.options.Value("at");
  Point p;
  if (!at || !ReadPoint(*at, p)) return Fail(run, "--at takes X,Y in lambda");
  Session& s = run.state;
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  ViewAll(s);
  if (!EnsureExtracted(s)) return ExtractionIncomplete(run, s.circuit.summary);
  const NodeHit hit = NodeAt(s.layout, p, 0);
  if (hit.box == 0) {
    if (run.options.json) PrintJson(run.out, {{"node", nullptr}});
    else run.out << "no node at " << p.x << "," << p.y << '\n';
    return kExitProblems;
  }
  const NodeProperties n = DescribeNode(s.layout, s.technology.LAMB, hit.node);
  const nodeBaseRecord& record = s.layout.nodes.nodes[size_t(hit.node)];
  if (!run.options.json) {
    run.out << n.status << '\n';
    return kExitOk;
  }
  PrintJson(run.out, {{"node", hit.node},
                      {"name", n.name},
                      {"property", n.property},
                      {"visibility", n.visibility},
                      {"floating", n.floating},
                      {"capacitance_f", record.NodeCapacitance},
                      {"poly_diff_resistance_ohm", record.PolyDiffResistance},
                      {"metal_resistance_ohm", record.MetalResistance},
                      {"interconnect_length", record.InterconnectLength * s.technology.LAMB},
                      {"interconnect_length_lambda", record.InterconnectLength},
                      {"devices", DevicesJson(DeviceRows(s.circuit, s.technology.LAMB, hit.node))},
                      {"status", n.status}});
  return kExitOk;
}

int RunCrosstalk(CliRun& run) {
  Session& s = run.state;
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  std::unique_ptr<ImageSurface> image;
  const std::string* png = run.options.Value("png");
  if (png) {
    EnsureGuiApplication();
    image = std::make_unique<ImageSurface>(kPngWidth, kPngHeight);
  }
  AttachSurface(s, image.get());
  ViewAll(s);
  const bool done = FlatCrosstalk(s);
  AttachSurface(s, nullptr);
  if (!done) return ExtractionIncomplete(run, s.platform.StatusPanelText(0));
  if (const int error = image ? image->SavePng(*png) : 0)
    return Fail(run, WriteProblem(*png, error));
  const NodeTable& t = s.layout.nodes;
  Json nodes = Json::array();
  for (int k = 1; k <= std::min(t.count, kMaxCoupledNode - 1); ++k) {
    const nodeBaseRecord& n = t.nodes[size_t(k)];
    nodes.push_back({{"node", k},
                     {"name", n.name},
                     {"length_um", n.InterconnectLength * s.technology.LAMB},
                     {"capacitance_f", n.NodeCapacitance},
                     {"coupling_f", s.circuit.coupling.At(k, k)},
                     {"crosstalk_noise_v", n.CrosstalkNoise},
                     {"driven_noise_v", n.DrivenNoise}});
  }
  if (run.options.json) {
    PrintJson(run.out, {{"max_coupling_f", s.circuit.maxCoupling},
                        {"max_coupling_ratio", s.circuit.maxCouplingRatio},
                        {"gain", s.navigator.gain},
                        {"nodes", nodes}});
    return kExitOk;
  }
  run.out << s.platform.StatusPanelText(0) << '\n';
  for (const Json& n : nodes)
    run.out << n["name"].get<std::string>() << " noise " << n["driven_noise_v"].get<double>()
            << " V\n";
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> NavigatorCommands() {
  return {
      {"node",
       "the node under a point with its properties as the navigator shows them",
       {"LAYOUT"},
       {{"at", "the point X,Y in lambda"}},
       {},
       RunNode},
      {"crosstalk",
       "the flat crosstalk analysis: every node's coupling and noise",
       {"LAYOUT"},
       {{"png", "write the coloured view to this PNG file"}},
       {},
       RunCrosstalk},
  };
}

}  // namespace tarnisk
