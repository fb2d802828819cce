#include "session/session.h"

#include <filesystem>

#include "session/editor/render.h"

namespace tarnisk {

void RecordDrawer::LayoutChanged(const LayoutChange& change) {
  switch (change.kind) {
    case RecordKind::Box:
      if (s_.layout.wide.drawOnAdd) DrawBox(s_, change.index);
      return;
    case RecordKind::Text:
      return DrawText(s_, change.index);
    case RecordKind::ResistanceMark:
      return DrawResistanceMark(s_, change.index);
  }
}

Session::Session(Platform& p) : platform(p) {
  std::error_code ec;
  layout.wide.programDirectory = std::filesystem::current_path(ec).string();
  layout.wide.modelDirectory =
      (std::filesystem::path(layout.wide.programDirectory) / "IEEE").string();
  ResetDatabase(*this);
  ComputeExtent(layout);
  layout.listener.Set(&drawer_);
}

Session::~Session() { layout.listener.Set(nullptr); }

void SetLayoutTitle(Session& s, const std::string& fileName) {
  s.layout.wide.currentFileName = fileName;
  s.platform.SetCaption("Tarnisk 1.0 - " + fileName);
}

void ResetDatabase(Session& s) {
  ResetDatabase(s.layout, s.view.colourMode ? 1 : 0);
  s.LastError = 0;
}

DrawingSuspended::DrawingSuspended(Session& s)
    : layout_(s.layout), saved_(s.layout.wide.drawOnAdd) {
  layout_.wide.drawOnAdd = 0;
}

DrawingSuspended::~DrawingSuspended() { layout_.wide.drawOnAdd = saved_; }

}  // namespace tarnisk
