#pragma once
// The one owner of the editor's process-wide state: the layout, the
// technology, the view, edit and command state of the main window, the
// extraction options with the last circuit, the simulation, the shared
// status code and the platform services. Created once in main (or fresh in
// each test and batch run) and passed by reference to every command.
//
// The analyses below it take explicit inputs and return results; the
// session runs them on its state and applies what they return to the view
// and the status line.

#include <cstdint>
#include <string>

#include "core/layout.h"
#include "core/progress.h"
#include "compile/cell_compiler.h"
#include "core/technology.h"
#include "session/editor/command_state.h"
#include "session/editor/edit_state.h"
#include "session/editor/texts.h"
#include "session/editor/view.h"
#include "session/generator/generator_state.h"
#include "session/navigator/navigator_commands.h"
#include "sim/simulation.h"
#include "ui/platform.h"
#include "verify/extract.h"

namespace tarnisk {

struct Session;

// Progress of the session's long operations: messages go to the status
// panels, which let pending window events run, and the user's stop request
// is kept until the next operation starts.
class SessionProgress : public Progress {
 public:
  explicit SessionProgress(Platform& platform) : platform_(platform) {}
  void Show(int panel, const std::string& text) override { platform_.SetStatusPanel(panel, text); }
  void Yield() override { platform_.ProcessEvents(); }
  bool StopRequested() const override { return stopRequested_; }
  void RequestStop() { stopRequested_ = true; }
  void ClearStop() { stopRequested_ = false; }

 private:
  Platform& platform_;
  bool stopRequested_ = false;
};

// Draws every record added to the layout on the view: boxes while the
// layout's draw-on-add flag is set, texts and resistance marks always.
class RecordDrawer : public LayoutListener {
 public:
  explicit RecordDrawer(Session& s) : s_(s) {}
  void LayoutChanged(const LayoutChange& change) override;

 private:
  Session& s_;
};

struct Session {
  explicit Session(Platform& platform);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Platform& platform;
  SessionProgress progress{platform};
  Layout layout;
  Technology technology;
  ViewState view;
  EditState edit;
  CommandState command;
  // Settings that a rule-file load adjusts for other windows.
  MosViewerRanges viewerRanges;
  double defaultVddTextLevel = 5.0;  // V, offered for new Vdd texts
  TextDefaults textDefaults;
  // The extraction options window's choices, the circuit of the last
  // extraction and the netlist written last.
  ExtractOptions extractOptions;
  Circuit circuit;
  std::string lastSpiceFile;
  // What the navigator lists and shows.
  NavigatorState navigator;
  // Node states, settings and measurements of the analog simulator.
  SimulationState simulation;
  // The cell generator's settings and pad library, and the routing grid.
  GeneratorState generator;
  // The compilers' device sizes, label mode, first-cell flag and port tables.
  CompilerState compiler;

  // The size of the check grid's last build (by the checker or the extraction).
  int checkGridColumns = 0, checkGridRows = 0;

  // Status of the last table or file operation; 0 = success.
  int32_t LastError = 0;

 private:
  RecordDrawer drawer_{*this};
};

// Sets the current file name and the main window's caption.
void SetLayoutTitle(Session& s, const std::string& fileName);

// The database reset with the layers following the display mode; LastError 0.
void ResetDatabase(Session& s);

// Turns drawing on add off while an operation adds boxes that lie within
// boxes already drawn (or that it redraws at its end), and back on after.
class DrawingSuspended {
 public:
  explicit DrawingSuspended(Session& s);
  ~DrawingSuspended();
  DrawingSuspended(const DrawingSuspended&) = delete;
  DrawingSuspended& operator=(const DrawingSuspended&) = delete;

 private:
  Layout& layout_;
  uint8_t saved_;
};

}  // namespace tarnisk
