// Batch command of the MOS viewer: mos.

#include <sstream>
#include <ostream>
#include <string>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/file_io.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/session.h"
#include "session/viewer/mos_viewer.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

constexpr int kPngWidth = 640, kPngHeight = 480;

// One choice of a set of words; false when the option holds another.
template <class T, size_t N>
bool Choose(const CliRun& run, std::string_view name, const std::pair<const char*, T> (&words)[N],
            T& value) {
  const std::string* given = run.options.Value(name);
  if (!given) return true;
  for (const auto& [word, meaning] : words)
    if (*given == word) {
      value = meaning;
      return true;
    }
  return false;
}

// --w and --l in lambda, each 1 or more.
bool ReadSize(const CliRun& run, MosViewer& viewer) {
  int32_t size[2] = {viewer.WidthLambda(), viewer.LengthLambda()};
  const char* names[] = {"w", "l"};
  for (int i = 0; i < 2; ++i) {
    const std::string* text = run.options.Value(names[i]);
    if (!text) continue;
    const ParsedNumber n = ParseNumber(*text, 1, 1e6, 0);
    if (!n.ok || text->empty()) return false;
    size[i] = int32_t(n.value);
  }
  viewer.SetSize(size[0], size[1]);
  return true;
}

Json CurvesJson(const std::vector<MosCurve>& curves) {
  Json list = Json::array();
  for (const MosCurve& c : curves) {
    Json points = Json::array();
    for (const auto& p : c.points) points.push_back({p[0], p[1]});
    list.push_back({{"fixed_v", c.fixed}, {"points", points}});
  }
  return list;
}

// Returns 0 or the errno-style cause.
int WriteCsv(const std::string& path, const std::vector<MosCurve>& curves) {
  std::ostringstream csv;
  csv << "fixed_v,x_v,y\n";
  for (const MosCurve& c : curves)
    for (const auto& p : c.points) csv << c.fixed << ',' << p[0] << ',' << p[1] << '\n';
  return WriteFileAtomically(path, csv.str());
}

int RunMos(CliRun& run) {
  Session& s = run.state;
  if (!LoadCliRules(run)) return kExitUsage;
  MosViewer viewer(s);
  int level = kModelLevel3, mode = kCurveIdVd;
  bool pmos = false;
  const std::pair<const char*, int> levels[] = {{"1", kModelLevel1}, {"3", kModelLevel3}, {"9", kModelLevel9}};
  const std::pair<const char*, int> modes[] = {
      {"idvd", kCurveIdVd}, {"idvg", kCurveIdVg}, {"logid", kCurveLogIdVg}, {"gds", kCurveGdsVd}};
  const std::pair<const char*, bool> types[] = {{"n", false}, {"p", true}};
  if (!Choose(run, "level", levels, level)) return Fail(run, "--level takes 1, 3 or 9");
  if (!Choose(run, "curve", modes, mode)) return Fail(run, "--curve takes idvd, idvg, logid or gds");
  if (!Choose(run, "type", types, pmos)) return Fail(run, "--type takes n or p");
  viewer.SelectModelPage(level);
  viewer.SetType(pmos);
  viewer.SetMode(mode);
  Json measure = nullptr;
  if (const std::string* file = run.options.Value("measure")) {
    if (!viewer.LoadMeasurement(*file)) return Fail(run, "cannot open \"" + *file + "\"");
    const Measurement& m = viewer.Measured();
    measure = {{"title", m.title},
               {"type", m.pmos ? "p" : "n"},
               {"loaded", m.loaded},
               {"idvd_points", m.idVd.size()},
               {"idvg_points", m.idVg.size()}};
    if (!run.options.Value("type")) pmos = m.pmos;
    viewer.SetType(pmos);
  }
  if (!ReadSize(run, viewer)) return Fail(run, "--w and --l take a size of 1 lambda or more");
  const std::vector<MosCurve> curves = viewer.Curves();
  if (const std::string* csv = run.options.Value("csv"))
    if (const int error = WriteCsv(*csv, curves)) return Fail(run, WriteProblem(*csv, error));
  if (const std::string* png = run.options.Value("png")) {
    EnsureGuiApplication();
    ImageSurface image(kPngWidth, kPngHeight);
    viewer.Draw(image);
    if (const int error = image.SavePng(*png)) return Fail(run, WriteProblem(*png, error));
  }
  if (run.options.json) {
    PrintJson(run.out, {{"level", level == kModelLevel1 ? 1 : level == kModelLevel3 ? 3 : 9},
                        {"type", pmos ? "p" : "n"},
                        {"curves", CurvesJson(curves)},
                        {"measure", measure}});
    return kExitOk;
  }
  run.out << viewer.Title() << ", " << ModelName(level) << '\n';
  for (const MosCurve& c : curves)
    if (!c.points.empty())
      run.out << "fixed " << FormatFixed(c.fixed, 0, 2) << " V: last "
              << FormatFixed(c.points.back()[1], 0, 9) << '\n';
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> MosCommands() {
  return {
      {"mos",
       "the characteristics of one transistor, as the MOS viewer draws them",
       {},
       {{"type", "n (default) or p"},
        {"level", "MOS model level: 1, 3 (default) or 9"},
        {"curve", "idvd (default), idvg, logid or gds"},
        {"w", "drawn width in lambda (default 10)"},
        {"l", "drawn length in lambda (default 2)"},
        {"measure", "a measurement file (.MES) to read"},
        {"csv", "write the curves to this CSV file"},
        {"png", "write the plot to this PNG file"}},
       {},
       RunMos},
  };
}

}  // namespace tarnisk
