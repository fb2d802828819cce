#pragma once
// What the cell generator keeps for the whole run: its settings, the pad
// library read from a pad file, the contact kind a palette macro places, and
// the routing grid that the path alignment, the compilers and the router use.

#include <cstdint>
#include <memory>
#include <string>

#include "gen/pad_ring.h"
#include "gen/settings.h"
#include "route/occupancy_grid.h"

namespace tarnisk {

struct GeneratorState {
  GeneratorSettings settings;
  PadFile padFile;
  bool padFileLoaded = false;
  // Where the pad ring finds its "padin_" and "padOut_" cells.
  std::string cellDirectory = "data/pads";
  // The contact kind of the palette's pending contact macro.
  int placementKind = kContactDiffn;
  // The routing step: the grid's once the grid is made.
  int32_t routingStep = kInitialRoutingStep;

  // The occupancy grid on the routing step, made at its first use.
  OccupancyGrid& Grid() {
    if (!grid_) grid_ = std::make_unique<OccupancyGrid>(routingStep);
    if (grid_->Step() != routingStep) grid_->SetStep(routingStep);
    return *grid_;
  }

 private:
  std::unique_ptr<OccupancyGrid> grid_;
};

}  // namespace tarnisk
