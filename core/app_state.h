#pragma once
// The one owner of the process-wide state: the layout, the technology, the
// shared status code and the platform services. Created once in main (or
// fresh in each test) and passed by reference to every operation.

#include <cstdint>

#include "core/layout.h"
#include "core/technology.h"
#include "editor/command_state.h"
#include "editor/edit_state.h"
#include "editor/texts.h"
#include "editor/view.h"
#include "sim/simulation.h"
#include "ui/platform.h"
#include "verify/extract.h"

namespace tarnisk {

struct AppState {
  explicit AppState(Platform& platform);

  Platform& platform;
  Layout layout;
  Technology technology;
  ViewState view;
  EditState edit;
  CommandState command;
  // Settings that a rule-file load adjusts for other windows.
  MosViewerRanges viewerRanges;
  double defaultVddTextLevel = 5.0;  // V, offered for new Vdd texts
  TextDefaults textDefaults;
  // Extraction options and the circuit of the last extraction.
  Extraction extraction;
  // Node states, settings and measurements of the analog simulator.
  SimulationState simulation;

  // Status of the last table or file operation; 0 = success.
  int32_t LastError = 0;
};

}  // namespace tarnisk
