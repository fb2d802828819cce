#include "session/analysis/layout_animation.h"

#include <algorithm>
#include <cmath>

#include "session/analysis/simulate.h"
#include "session/session.h"
#include "session/editor/render.h"
#include "session/editor/view.h"

namespace tarnisk {

namespace {

constexpr Colour kGateOn = MakeColour(255, 255, 0);    // a conducting nMOS
constexpr Colour kGateOff = MakeColour(128, 128, 128);
constexpr Colour kPmosOn = MakeColour(0, 255, 0);       // a conducting pMOS

}  // namespace

Colour VoltageColour(double v, double vdd) {
  const int r = int(std::clamp(std::lround(v * 255 / vdd), 0L, 255L));
  return MakeColour(uint8_t(r), uint8_t(std::max(0, 127 - r)), uint8_t(255 - r));
}

LayoutAnimation::LayoutAnimation(Session& s, std::function<void()> stepDrawn)
    : s_(s), stepDrawn_(std::move(stepDrawn)) {
  const auto& boxes = s.layout.boxes;
  states_.assign(size_t(boxes.Count()) + 1, kErased);
  for (int i = 1; i <= boxes.Count(); ++i) states_[size_t(i)] = boxes[i].state;
}

void LayoutAnimation::Paint(int box, Colour colour) {
  Box& b = s_.layout.boxes[box];
  if (b.state == kErased) return;
  b.state = kHighlighted;
  b.highlightColour = colour;
  coloured_.push_back(box);
}

// A gate box shows whether its transistor conducts; this overrides the
// colour of the gate's node.
void LayoutAnimation::ColourGates(bool pmos) {
  const std::vector<SimNode>& nodes = s_.simulation.nodes;
  const int count = int(states_.size()) - 1;
  for (const MosDevice& d : pmos ? s_.circuit.pmos : s_.circuit.nmos) {
    if (d.GateBox < 1 || d.GateBox > count || d.Gate < 0 || d.Gate >= int(nodes.size()))
      continue;
    const bool high = nodes[size_t(d.Gate)].V > s_.technology.VDD / 2;
    Paint(d.GateBox, pmos ? (high ? kGateOff : kPmosOn) : (high ? kGateOn : kGateOff));
  }
}

void LayoutAnimation::PlottedStep(const Simulation&, int) {
  const std::vector<SimNode>& nodes = s_.simulation.nodes;
  const int count = int(states_.size()) - 1;
  coloured_.clear();
  for (int i = 1; i <= count; ++i) {
    const int node = s_.layout.boxes[i].node;
    if (node >= 0 && node < int(nodes.size()))
      Paint(i, VoltageColour(nodes[size_t(node)].V, s_.technology.VDD));
  }
  ColourGates(false);
  ColourGates(true);
  for (int box : coloured_) DrawBox(s_, box);
  if (stepDrawn_) stepDrawn_();
}

void LayoutAnimation::Restore() {
  const int count = std::min(int(states_.size()) - 1, s_.layout.boxes.Count());
  for (int i = 1; i <= count; ++i) s_.layout.boxes[i].state = states_[size_t(i)];
  Redraw(s_);
  if (stepDrawn_) stepDrawn_();
}

void SimulateOnLayout(Session& s, std::function<void()> stepDrawn) {
  SimulationState& m = s.simulation;
  if (m.Running) return;
  LayoutAnimation animation(s, std::move(stepDrawn));
  const uint8_t mode = m.SimMode;
  m.SimMode = kSimVoltageTime;  // the animation follows time, whatever the window shows
  Simulation simulation = SimulationOf(s);
  RunSimulation(simulation, &animation);
  m.SimMode = mode;
  animation.Restore();
}

}  // namespace tarnisk
