// Batch commands of verification: drc.

#include <memory>
#include <ostream>

#include "app/cli.h"
#include "app/json_writer.h"
#include "core/app_state.h"
#include "editor/view.h"
#include "ui/qt/image_surface.h"
#include "verify/drc.h"

namespace tarnisk {

namespace {

void WriteDrcJson(std::ostream& out, const DrcResult& r, const Platform& platform) {
  JsonWriter j;
  j.BeginObject();
  j.Key("errors").Integer(r.errorCount);
  j.Key("complete").Bool(r.Complete());
  j.Key("skipped").BeginArray();
  for (const std::string& check : r.skipped) j.String(check);
  j.EndArray();
  j.Key("message").String(platform.StatusPanelText(0));
  j.Key("verdict").String(platform.StatusPanelText(1));
  j.Key("first");
  if (r.violations.empty()) {
    j.Null();
  } else {
    j.BeginObject().Key("text").String(r.firstText).Key("label").String(r.violations[0].label);
    j.Key("rect"), WriteRect(j, r.violations[0].rect);
    j.EndObject();
  }
  j.Key("violations").BeginArray();
  for (const DrcViolation& v : r.violations) {
    j.BeginObject().Key("label").String(v.label).Key("what").String(v.what);
    j.Key("rect"), WriteRect(j, v.rect);
    j.EndObject();
  }
  j.EndArray();
  j.Key("max_columns").Integer(r.maxColumns).Key("max_rows").Integer(r.maxRows);
  j.EndObject();
  out << j.Text() << '\n';
}

void WriteDrcText(std::ostream& out, const DrcResult& r, const Platform& platform) {
  for (const DrcViolation& v : r.violations) {
    const Rect& e = v.rect;
    out << (v.label.empty() ? "" : v.label + " ") << v.what << " at " << e.xmin << ',' << e.ymin
        << ',' << e.xmax << ',' << e.ymax << '\n';
  }
  for (const std::string& check : r.skipped) out << "skipped: " << check << '\n';
  out << platform.StatusPanelText(0) << '\n';
}

int RunDrc(CliRun& run) {
  const auto png = run.options.values.find("png");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  AppState& s = run.state;
  std::unique_ptr<ImageSurface> surface;
  if (png != run.options.values.end()) {
    EnsureGuiApplication();
    surface = std::make_unique<ImageSurface>(s.view.clientWidth, s.view.clientHeight);
    AttachSurface(s, surface.get());
  }
  ViewAll(s);
  const DrcResult result =
      DesignRuleCheckerCommand(s, {.runEveryCheck = run.options.flags.count("all") > 0});
  AttachSurface(s, nullptr);
  if (surface && !surface->SavePng(png->second))
    return Fail(run, "cannot write \"" + png->second + "\"");
  if (run.options.json) WriteDrcJson(run.out, result, s.platform);
  else WriteDrcText(run.out, result, s.platform);
  return result.Clean() ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> VerifyCommands() {
  return {
      {"drc", "drc LAYOUT [--all] [--png OUT.png]", {"png"}, {"all"}, 1, RunDrc},
  };
}

}  // namespace tarnisk
