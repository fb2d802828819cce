// Batch commands of the layout editor: render, arrange.

#include <cstdio>
#include <cstring>
#include <ostream>

#include "app/cli.h"
#include "app/json_writer.h"
#include "core/app_state.h"
#include "core/msk_file.h"
#include "editor/arrange.h"
#include "editor/view.h"
#include "ui/qt/image_surface.h"

namespace tarnisk {

namespace {

std::string OptionOr(const CliRun& run, const char* name, const std::string& fallback) {
  const auto it = run.options.values.find(name);
  return it == run.options.values.end() ? fallback : it->second;
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
  const bool windowGiven = run.options.values.count("window") > 0;
  if (windowGiven && !ParseWindow(run.options.values.at("window"), window))
    return Fail(run, "--window wants x1,y1,x2,y2 in lambda");
  const std::string output = OptionOr(run, "o", "");
  if (output.empty()) return Fail(run, "render needs -o OUT.png");
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;

  EnsureGuiApplication();
  ImageSurface surface(width, height);
  AppState& s = run.state;
  AttachSurface(s, &surface);
  if (run.options.flags.count("mono")) SetMonochromeMode(s);
  else SetColourMode(s);
  if (windowGiven) SetWindow(s, window.xmin, window.ymin, window.xmax, window.ymax);
  else ViewAll(s);
  AttachSurface(s, nullptr);
  if (!surface.SavePng(output)) return Fail(run, "cannot write \"" + output + "\"");
  if (run.options.json) {
    const Rect& w = s.layout.wide.window;
    JsonWriter j;
    j.BeginObject().Key("output").String(output).Key("window"), WriteRect(j, w);
    j.Key("scale").Number(s.layout.wide.scale).EndObject();
    run.out << j.Text() << '\n';
  }
  return kExitOk;
}

int RunArrange(CliRun& run) {
  if (!LoadCliRules(run) || !OpenCliLayout(run, run.options.positional[0])) return kExitUsage;
  AppState& s = run.state;
  const int before = s.layout.boxes.Count();
  ArrangeLayout(s);
  const std::string message = s.platform.StatusPanelText(0);
  const int after = s.layout.boxes.Count();
  const std::string& target = run.options.positional[1];
  if (!WriteLayoutFile(s, target))
    return Fail(run, "Error writing \"" + target + "\": " + std::strerror(s.LastError));
  if (run.options.json) {
    JsonWriter j;
    j.BeginObject().Key("message").String(message).Key("boxes_before").Integer(before);
    j.Key("boxes_after").Integer(after).EndObject();
    run.out << j.Text() << '\n';
  } else {
    run.out << message << '\n';
  }
  return kExitOk;
}

}  // namespace

std::vector<CliCommand> EditorCommands() {
  return {
      {"render", "render LAYOUT -o OUT.png [--size WxH] [--window x1,y1,x2,y2] [--mono]",
       {"o", "size", "window"}, {"mono"}, 1, RunRender},
      {"arrange", "arrange IN.msk OUT.msk", {}, {}, 2, RunArrange},
  };
}

}  // namespace tarnisk
