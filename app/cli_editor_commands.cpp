// Batch commands of the layout editor: render, arrange.

#include <cstdio>
#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_output.h"
#include "core/arrange.h"
#include "session/editor/editing.h"
#include "session/editor/view.h"
#include "session/files.h"
#include "session/session.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

std::string OptionOr(const CliRun& run, const char* name, const std::string& fallback) {
  const std::string* value = run.options.Value(name);
  return value ? *value : fallback;
}

bool ParseSize(const std::string& text, int& width, int& height) {
  char tail = 0;
  return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width > 0 &&
         height > 0 && width <= 16384 && height <= 16384;
}

bool ParseWindow(const std::string& text, Rect& r) {
  long long v[4];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%lld,%lld,%lld,%lld%c", &v[0], &v[1], &v[2], &v[3], &tail) != 4)
    return false;
  for (long long c : v)
    if (c < -kCoordinateLimit || c > kCoordinateLimit) return false;
  r = {int32_t(v[0]), int32_t(v[1]), int32_t(v[2]), int32_t(v[3])};
  return true;
}

int RunRender(CliRun& run) {
  int width = 0, height = 0;
  if (!ParseSize(OptionOr(run, "size", "1024x768"), width, height))
    return Fail(run, "--size wants WIDTHxHEIGHT, for example 1920x1080");
  Rect window;
  const std::string* windowText = run.options.Value("window");
  const bool windowGiven = windowText != nullptr;
  if (windowGiven && !ParseWindow(*windowText, window))
    return Fail(run, "--window wants x1,y1,x2,y2 in lambda");
  const std::string output = OptionOr(run, "o", "");
  if (output.empty()) return Fail(run, "render needs -o OUT.png");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;

  EnsureGuiApplication();
  ImageSurface surface(width, height);
  Session& s = run.state;
  AttachSurface(s, &surface);
  if (run.options.Flag("mono")) SetMonochromeMode(s);
  else SetColourMode(s);
  if (windowGiven) SetWindow(s, window.xmin, window.ymin, window.xmax, window.ymax);
  else ViewAll(s);
  AttachSurface(s, nullptr);
  if (const int error = surface.SavePng(output)) return Fail(run, WriteProblem(output, error));
  if (run.options.json)
    PrintJson(run.out, {{"output", output},
                        {"window", JsonRect(s.layout.wide.window)},
                        {"scale", s.layout.wide.scale}});
  return kExitOk;
}

int RunArrange(CliRun& run) {
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  Session& s = run.state;
  const int before = s.layout.boxes.Count();
  const ArrangeResult result = ArrangeLayout(s);
  const std::string message =
      result.status == kErrorBoxTableFull ? kBoxTableFullMessage : result.message;
  const int after = s.layout.boxes.Count();
  const std::string& target = run.options.positional[1];
  if (!SaveLayoutFile(s, target))
    return Fail(run, "Error writing \"" + target + "\": " + std::strerror(s.LastError));
  if (run.options.json) {
    PrintJson(run.out, {{"message", message}, {"boxes_before", before}, {"boxes_after", after}});
  } else {
    run.out << message << '\n';
  }
  // Overlaps left for want of room: the layout is written, but not arranged.
  return result.status == kTableOk ? kExitOk : kExitProblems;
}

}  // namespace

std::vector<CliCommand> EditorCommands() {
  return {
      {"render",
       "the view as the editor draws it, as a PNG",
       {"LAYOUT"},
       {{"o", "the PNG file to write (required)"},
        {"size", "image size WIDTHxHEIGHT in pixels (default 1024x768)"},
        {"window", "x1,y1,x2,y2 in lambda (default: the whole layout)"}},
       {{"mono", "draw in monochrome"}},
       RunRender},
      {"arrange", "\"Arrange the Layout\", then write the result", {"IN.msk", "OUT.msk"}, {}, {},
       RunArrange},
  };
}

}  // namespace tarnisk
