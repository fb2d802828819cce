// Batch commands of verification: drc.

#include <memory>
#include <ostream>

#include "app/cli.h"
#include "app/json_output.h"
#include "session/analysis/drc_command.h"
#include "session/editor/view.h"
#include "session/session.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

Json ViolationJson(const DrcViolation& v) {
  return {{"label", v.label}, {"what", v.what}, {"rect", JsonRect(v.rect)}};
}

void WriteDrcJson(std::ostream& out, const DrcReport& r) {
  Json violations = Json::array();
  for (const DrcViolation& v : r.violations) violations.push_back(ViolationJson(v));
  Json first;
  if (!r.violations.empty())
    first = {{"text", r.firstText},
             {"label", r.violations[0].label},
             {"rect", JsonRect(r.violations[0].rect)}};
  PrintJson(out, {{"errors", r.errorCount},
                  {"complete", r.Complete()},
                  {"skipped", r.skipped},
                  {"message", r.message},
                  {"verdict", r.verdict},
                  {"first", first},
                  {"violations", violations},
                  {"max_columns", r.maxColumns},
                  {"max_rows", r.maxRows}});
}

void WriteDrcText(std::ostream& out, const DrcReport& r) {
  for (const DrcViolation& v : r.violations) {
    const Rect& e = v.rect;
    out << (v.label.empty() ? "" : v.label + " ") << v.what << " at " << e.xmin << ',' << e.ymin
        << ',' << e.xmax << ',' << e.ymax << '\n';
  }
  for (const std::string& check : r.skipped) out << "skipped: " << check << '\n';
  out << r.message << '\n';
}

int RunDrc(CliRun& run) {
  const std::string* png = run.options.Value("png");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  Session& s = run.state;
  std::unique_ptr<ImageSurface> surface;
  if (png) {
    EnsureGuiApplication();
    surface = std::make_unique<ImageSurface>(s.view.clientWidth, s.view.clientHeight);
    AttachSurface(s, surface.get());
  }
  ViewAll(s);
  const DrcReport result = DesignRuleCheckerCommand(s, {.runEveryCheck = run.options.Flag("all")});
  AttachSurface(s, nullptr);
  if (const int error = surface ? surface->SavePng(*png) : 0)
    return Fail(run, WriteProblem(*png, error));
  if (run.options.json) WriteDrcJson(run.out, result);
  else WriteDrcText(run.out, result);
  return result.Clean() ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> VerifyCommands() {
  return {
      {"drc",
       "design rule check; exit 1 when a rule is broken or a check was skipped",
       {"LAYOUT"},
       {{"png", "the view zoomed on the first violation, as a PNG"}},
       {{"all", "go on through every check instead of stopping at the first that fails"}},
       RunDrc},
  };
}

}  // namespace tarnisk
