#pragma once
// Simulation on the layout: instead of drawing curves, a run fills every box
// of an extracted node with the colour of the node's voltage and shows each
// transistor gate as on or off, redrawing the boxes at every plotted step.
// Afterwards the boxes return to their previous drawing.

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/simulation.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

struct Session;

// Colour of a node at voltage v: blue at 0 V turning red towards the supply.
Colour VoltageColour(double v, double vdd);

class LayoutAnimation : public SimulationView {
 public:
  // `stepDrawn` is called after the boxes of each plotted step are drawn.
  LayoutAnimation(Session& s, std::function<void()> stepDrawn);

  void PlottedStep(const Simulation& s, int column) override;
  void DcPoint(const Simulation&, int, double, double) override {}

  // Puts every box back in the state it had before the run and redraws.
  void Restore();

 private:
  void Paint(int box, Colour colour);
  void ColourGates(bool pmos);

  Session& s_;
  std::function<void()> stepDrawn_;
  std::vector<uint8_t> states_;  // box states before the run, by box index
  std::vector<int> coloured_;    // boxes coloured in the present step
};

// One transient run from the present state that animates the layout; a run
// already going on in the simulation window is left alone.
void SimulateOnLayout(Session& s, std::function<void()> stepDrawn);

}  // namespace tarnisk
