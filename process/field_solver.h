#pragma once
// A two-dimensional electrostatic field solver for a chip cross-section: the
// capacitance matrix per unit length of the conductors cut by a section line,
// over a grounded substrate and under a stack of horizontal dielectric layers.
//
// Coordinates are in µm: x along the cut, y the height above the substrate
// surface, which is the ground plane at y = 0. The solver works on its own
// data; it knows nothing of layouts or technologies.

#include <string>
#include <vector>

namespace tarnisk {

// A horizontal dielectric layer, infinite along x.
struct DielectricLayer {
  double bottom = 0, top = 0;  // µm
  double permittivity = 1;     // relative
};

// An axis-aligned rectangle of the section, in µm.
struct SectionRect {
  double x0 = 0, x1 = 0;
  double bottom = 0, top = 0;
};

// A conductor at one potential: one rectangle, or several when the cut meets
// one net more than once or meets pieces joined by vias. Its rectangles may
// touch or overlap each other, but not those of another conductor.
struct SectionConductor {
  std::string name;
  std::vector<SectionRect> rects;
};

struct CrossSection {
  // Bottom to top, each starting where the previous one ends, the first at
  // y = 0. May be empty: then the whole space has the ambient permittivity.
  std::vector<DielectricLayer> dielectrics;
  double ambientPermittivity = 1;  // above the last layer (relative)
  std::vector<SectionConductor> conductors;
};

struct FieldSolverOptions {
  // Target relative accuracy of the capacitances; chooses the cell scale
  // when cellScale is 0.
  double accuracy = 0.01;
  // The density of the grid, 0 < cellScale <= 2, smaller is finer; halving
  // it halves every cell. The grid has lines along every conductor edge and
  // dielectric interface. At scale 1 each gap between such lines has cells
  // of at most a quarter of it; at a conductor's edges the cells are a 32nd
  // of its width, thickness, height or distance to the nearest other
  // conductor, whichever is least, and they grow by a quarter per cell away
  // from the edges. 0 derives the scale from `accuracy`.
  double cellScale = 0;
  // Distance in µm from the outermost conductors to the sides of the solved
  // region, and from the highest conductor or dielectric interface to its
  // top; 0 chooses 50 times the larger of the conductors' height h and
  // sqrt(h w), w being their total width, so that the boundaries change the
  // capacitances by well under 0.1 %.
  double farDistance = 0;
};

struct FieldSolution {
  std::string error;  // empty when solved
  bool ok() const { return error.empty(); }

  // When solved, the Maxwell capacitance matrix in F/m, row-major, in the
  // order of the conductors: C(i, i) is the capacitance of conductor i to
  // everything else (positive), C(i, j) minus the coupling between i and j
  // (negative).
  int count = 0;
  std::vector<double> capacitance;
  double C(int i, int j) const { return capacitance[size_t(i) * count + j]; }

  // How it was solved.
  int nx = 0, ny = 0;     // grid lines along x and y
  int unknowns = 0;       // grid nodes whose potential was solved for
  double residual = 0;    // largest relative residual of the direct solves
  double cellScale = 0;   // as used
  double farDistance = 0; // µm, as used
};

// Solves Laplace's equation on the section once per conductor (that conductor
// at 1 V, the others and the substrate at 0 V) and integrates the charges.
// The sides of the solved region are mirror planes (no field crosses them)
// and its top is grounded; the far field of lines over a ground plane is a
// dipole's, so at `farDistance` either choice changes little. Bad input (no
// conductors, empty or non-finite rectangles, conductors touching each other
// or the substrate, a broken dielectric stack) gives an error, not a matrix.
FieldSolution SolveCapacitance(const CrossSection& section,
                               const FieldSolverOptions& options = {});

}  // namespace tarnisk
