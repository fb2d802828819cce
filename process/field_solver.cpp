#include "process/field_solver.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

namespace tarnisk {

namespace {

constexpr double kVacuumPermittivity = 8.8541878128e-12;  // F/m

// The grid at cell scale 1: every gap between neighbouring grid keys
// (conductor edges, dielectric interfaces, the boundaries) has cells of at
// most a kMinCells-th of it. Next to a conductor edge, where the field is
// singular at the corners, the cells are kEdgeRefinement times finer than a
// kMinCells-th of the conductor's local scale (see LocalScale), and they
// grow by kGrowth - 1 of the distance from the edge. The cell scale
// multiplies all of these sizes and the growth, so halving it halves every
// cell. Such a grid follows the field's own length scales: it needs no more
// cells across a wide plate than across a narrow one.
constexpr double kMinCells = 4;
constexpr double kEdgeRefinement = 8;
constexpr double kGrowth = 1.25;

// Seen from afar, the conductors over the ground plane are a dipole with a
// moment that grows with their height h and their total width w. A grounded
// top or mirror sides at distance R change the capacitances by about
// w h / (pi R^2), so R is kFarFactor times the larger of h and sqrt(w h),
// which keeps that under 0.02 %.
constexpr double kFarFactor = 50;

// At cell scale 1 the capacitances of lines over ground, coupled pairs and
// a stack of ten conductors were within 0.75 % of those on much finer grids,
// and the error fell with the cell scale to the power 1.6 to 1.8. The scale
// for an accuracy assumes the slower power 1.5.
constexpr double kAccuracyAtScaleOne = 0.01;
constexpr double kErrorPower = 1.5;
constexpr double kLargestCellScale = 2;

// Beyond these a solve would take tens of seconds and a gigabyte or more.
constexpr size_t kMaxLinesPerAxis = 20000;
constexpr size_t kMaxNodes = 1'000'000;

// A relative residual above this means the direct solve failed.
constexpr double kResidualLimit = 1e-8;

// Owners of the grid nodes that belong to no conductor.
constexpr int kFree = -1;
constexpr int kGround = -2;
constexpr int kTop = -3;  // the grounded top of the solved region

// Conductors solved for at once: bounds the memory the solutions take.
constexpr int kBatch = 32;

using SparseMatrix = Eigen::SparseMatrix<double>;

// Lengths are limited to a metre and relative permittivities to a million,
// far beyond any chip, so that no sum or product of them overflows.
constexpr double kLargestLength = 1e6;  // µm
constexpr double kLargestPermittivity = 1e6;

// False for NaN too.
bool Within(double v, double limit) { return std::abs(v) <= limit; }

bool Within(const SectionRect& r) {
  return Within(r.x0, kLargestLength) && Within(r.x1, kLargestLength) &&
         Within(r.bottom, kLargestLength) && Within(r.top, kLargestLength);
}

bool Permittivity(double eps) { return eps > 0 && Within(eps, kLargestPermittivity); }

// Closed rectangles: sharing an edge or a corner counts as touching.
bool Touch(const SectionRect& a, const SectionRect& b) {
  return a.x0 <= b.x1 && b.x0 <= a.x1 && a.bottom <= b.top && b.bottom <= a.top;
}

std::string Named(const SectionConductor& c) { return "conductor '" + c.name + "'"; }

std::string CheckDielectrics(const CrossSection& section) {
  if (!Permittivity(section.ambientPermittivity))
    return "the ambient permittivity must be a positive number up to a million";
  double expectedBottom = 0;
  for (const DielectricLayer& d : section.dielectrics) {
    if (!Within(d.bottom, kLargestLength) || !Within(d.top, kLargestLength))
      return "a dielectric layer has a height that is not a number within a metre";
    if (!Permittivity(d.permittivity))
      return "a dielectric layer has a permittivity that is not a positive number up to a million";
    if (d.top <= d.bottom) return "a dielectric layer has no thickness";
    if (std::abs(d.bottom - expectedBottom) > 1e-9 * std::max(1.0, std::abs(expectedBottom)))
      return "the dielectric layers must follow each other upwards from the substrate";
    expectedBottom = d.top;
  }
  return {};
}

std::string CheckConductors(const CrossSection& section) {
  const auto& conductors = section.conductors;
  if (conductors.empty()) return "there are no conductors";
  for (const SectionConductor& c : conductors) {
    if (c.rects.empty()) return Named(c) + " has no rectangles";
    for (const SectionRect& r : c.rects) {
      if (!Within(r)) return Named(c) + " has a coordinate that is not a number within a metre";
      if (r.x1 <= r.x0 || r.top <= r.bottom) return Named(c) + " has an empty rectangle";
      if (r.bottom <= 0) return Named(c) + " touches the substrate";
    }
  }
  for (size_t i = 0; i < conductors.size(); ++i)
    for (size_t j = i + 1; j < conductors.size(); ++j)
      for (const SectionRect& a : conductors[i].rects)
        for (const SectionRect& b : conductors[j].rects)
          if (Touch(a, b)) return Named(conductors[i]) + " touches " + Named(conductors[j]);
  return {};
}

std::string CheckOptions(const FieldSolverOptions& o) {
  if (!std::isfinite(o.accuracy) || o.accuracy <= 0 || o.accuracy >= 1)
    return "the accuracy must lie between 0 and 1";
  if (!std::isfinite(o.cellScale) || o.cellScale < 0 || o.cellScale > kLargestCellScale)
    return "the cell scale must lie between 0 and 2";
  if (!Within(o.farDistance, kLargestLength) || o.farDistance < 0)
    return "the far distance must lie between 0 and a metre";
  return {};
}

double FarDistance(const CrossSection& section) {
  double left = std::numeric_limits<double>::infinity(), right = -left, height = 0;
  for (const SectionConductor& c : section.conductors)
    for (const SectionRect& r : c.rects) {
      left = std::min(left, r.x0), right = std::max(right, r.x1);
      height = std::max(height, r.top);
    }
  return kFarFactor * std::max(height, std::sqrt((right - left) * height));
}

double CellScale(const FieldSolverOptions& options) {
  if (options.cellScale > 0) return options.cellScale;
  return std::min(kLargestCellScale,
                  std::pow(options.accuracy / kAccuracyAtScaleOne, 1 / kErrorPower));
}

// One axis of the grid: the lines that must exist, and the conductor edges
// along it with the cell size wanted at each.
struct Axis {
  std::vector<double> keys;  // ascending
  std::vector<std::pair<double, double>> edges;
};

// The cell size wanted at v, between keys k and k + 1: growing away from
// every conductor edge, and never more than the gap allows.
double CellSizeAt(const Axis& axis, double scale, double v, size_t k) {
  double s = scale * (axis.keys[k + 1] - axis.keys[k]) / kMinCells;
  for (auto [edge, first] : axis.edges)
    s = std::min(s, first + scale * (kGrowth - 1) * std::abs(v - edge));
  return s;
}

// Sorted, with values closer than `resolution` to their predecessor dropped.
std::vector<double> Distinct(std::vector<double> v, double resolution) {
  std::sort(v.begin(), v.end());
  std::vector<double> out;
  for (double x : v)
    if (out.empty() || x - out.back() > resolution) out.push_back(x);
  return out;
}

// Fills the gap between keys k and k + 1 from both ends towards the middle,
// always advancing the end whose next cell is smaller, so that the cells
// follow the wanted sizes without a jump anywhere but in the middle.
void FillGap(const Axis& axis, double scale, size_t k, std::vector<double>& lines) {
  double left = axis.keys[k], right = axis.keys[k + 1];
  std::vector<double> fromRight;
  while (lines.size() + fromRight.size() < kMaxLinesPerAxis) {
    const double sLeft = CellSizeAt(axis, scale, left, k);
    const double sRight = CellSizeAt(axis, scale, right, k);
    if (right - left <= 1.5 * std::min(sLeft, sRight)) break;
    if (sLeft <= sRight) {
      left += sLeft;
      lines.push_back(left);
    } else {
      right -= sRight;
      fromRight.push_back(right);
    }
  }
  lines.insert(lines.end(), fromRight.rbegin(), fromRight.rend());
  lines.push_back(axis.keys[k + 1]);
}

// All grid lines of an axis, or an empty list when there would be too many.
std::vector<double> GridLines(const Axis& axis, double scale) {
  std::vector<double> lines = {axis.keys.front()};
  for (size_t k = 0; k + 1 < axis.keys.size(); ++k) {
    FillGap(axis, scale, k, lines);
    if (lines.size() >= kMaxLinesPerAxis) return {};
  }
  return lines;
}

// The index of the line nearest to v.
int LineIndex(const std::vector<double>& lines, double v) {
  const auto it = std::lower_bound(lines.begin(), lines.end(), v);
  if (it == lines.end()) return int(lines.size()) - 1;
  if (it != lines.begin() && v - *(it - 1) < *it - v) return int(it - lines.begin()) - 1;
  return int(it - lines.begin());
}

// The finite-volume discretisation of div(eps grad V) = 0 on a tensor grid
// with nodes at the line crossings. Every cell has one permittivity, because
// lines run along every interface.
class Grid {
 public:
  Grid(std::vector<double> x, std::vector<double> y) : x_(std::move(x)), y_(std::move(y)) {
    nx_ = int(x_.size()), ny_ = int(y_.size());
    owner_.assign(size_t(nx_) * ny_, kFree);
    for (int i = 0; i < nx_; ++i) owner_[Node(i, 0)] = kGround, owner_[Node(i, ny_ - 1)] = kTop;
  }

  int nx() const { return nx_; }
  int ny() const { return ny_; }
  size_t Node(int i, int j) const { return size_t(j) * nx_ + i; }
  int Owner(size_t n) const { return owner_[n]; }

  // Marks the nodes of conductor `c`; on a clash returns the owner met.
  int Claim(const SectionRect& r, int c) {
    const int i0 = LineIndex(x_, r.x0), i1 = LineIndex(x_, r.x1);
    const int j0 = LineIndex(y_, r.bottom), j1 = LineIndex(y_, r.top);
    for (int j = j0; j <= j1; ++j)
      for (int i = i0; i <= i1; ++i) {
        int& owner = owner_[Node(i, j)];
        if (owner != kFree && owner != c) return owner;
        owner = c;
      }
    return c;
  }

  // The permittivity of each row of cells, from the cell's middle height.
  void SetPermittivity(const CrossSection& section) {
    cellEps_.assign(size_t(ny_ - 1), section.ambientPermittivity);
    for (int j = 0; j + 1 < ny_; ++j) {
      const double mid = (y_[j] + y_[j + 1]) / 2;
      for (const DielectricLayer& d : section.dielectrics)
        if (mid >= d.bottom && mid < d.top) cellEps_[j] = d.permittivity;
    }
  }

  // Calls f(n, m, g) for every pair of neighbouring nodes, g being the
  // conductance between them: the permittivity times the face of the dual
  // cell over the distance. The sides have half cells and no flux leaves
  // through them.
  template <class F>
  void ForEachEdge(F&& f) const {
    for (int j = 0; j < ny_; ++j) {
      double face = 0;
      if (j > 0) face += cellEps_[j - 1] * (y_[j] - y_[j - 1]) / 2;
      if (j + 1 < ny_) face += cellEps_[j] * (y_[j + 1] - y_[j]) / 2;
      for (int i = 0; i + 1 < nx_; ++i) f(Node(i, j), Node(i + 1, j), face / (x_[i + 1] - x_[i]));
    }
    for (int j = 0; j + 1 < ny_; ++j)
      for (int i = 0; i < nx_; ++i) {
        double face = 0;
        if (i > 0) face += (x_[i] - x_[i - 1]) / 2;
        if (i + 1 < nx_) face += (x_[i + 1] - x_[i]) / 2;
        f(Node(i, j), Node(i, j + 1), cellEps_[j] * face / (y_[j + 1] - y_[j]));
      }
  }

 private:
  std::vector<double> x_, y_;
  int nx_ = 0, ny_ = 0;
  std::vector<int> owner_;
  std::vector<double> cellEps_;
};

// The keys: every conductor edge and dielectric interface, the ground at 0,
// and the far boundaries.
void AddKeys(const CrossSection& section, double far, double resolution, Axis& x, Axis& y) {
  std::vector<double> xs, ys = {0};
  for (const SectionConductor& c : section.conductors)
    for (const SectionRect& r : c.rects) {
      xs.insert(xs.end(), {r.x0, r.x1});
      ys.insert(ys.end(), {r.bottom, r.top});
    }
  const auto [left, right] = std::minmax_element(xs.begin(), xs.end());
  xs.insert(xs.end(), {*left - far, *right + far});
  x.keys = Distinct(std::move(xs), resolution);
  double top = *std::max_element(ys.begin(), ys.end());
  if (!section.dielectrics.empty()) top = std::max(top, section.dielectrics.back().top);
  ys.push_back(top + far);
  for (const DielectricLayer& d : section.dielectrics) ys.push_back(d.top);
  y.keys = Distinct(std::move(ys), resolution);
}

// The distance between two rectangles that do not overlap.
double Distance(const SectionRect& a, const SectionRect& b) {
  const double dx = std::max({0.0, b.x0 - a.x1, a.x0 - b.x1});
  const double dy = std::max({0.0, b.bottom - a.top, a.bottom - b.top});
  return std::hypot(dx, dy);
}

// The length on which the field changes near a rectangle of conductor c: its
// width or thickness, its height over the substrate, or its distance to
// another conductor, whichever is least.
double LocalScale(const CrossSection& section, size_t c, const SectionRect& r) {
  double scale = std::min({r.x1 - r.x0, r.top - r.bottom, r.bottom});
  for (size_t other = 0; other < section.conductors.size(); ++other)
    if (other != c)
      for (const SectionRect& o : section.conductors[other].rects)
        scale = std::min(scale, Distance(r, o));
  return scale;
}

// The edges of every rectangle, with the cell size wanted there: the field
// is singular at the corners, and varies on the rectangle's local scale.
// No cell is smaller than `resolution`, below which coordinates count as
// equal.
void AddEdges(const CrossSection& section, double scale, double resolution, Axis& x, Axis& y) {
  for (size_t c = 0; c < section.conductors.size(); ++c)
    for (const SectionRect& r : section.conductors[c].rects) {
      const double cell = std::max(
          resolution, scale * LocalScale(section, c, r) / (kMinCells * kEdgeRefinement));
      x.edges.insert(x.edges.end(), {{r.x0, cell}, {r.x1, cell}});
      y.edges.insert(y.edges.end(), {{r.bottom, cell}, {r.top, cell}});
    }
}

// Numbers the free nodes, which carry the unknown potentials.
std::vector<int> NumberUnknowns(const Grid& grid, int& count) {
  std::vector<int> index(size_t(grid.nx()) * grid.ny(), -1);
  count = 0;
  for (size_t n = 0; n < index.size(); ++n)
    if (grid.Owner(n) == kFree) index[n] = count++;
  return index;
}

// The system matrix over the free nodes.
SparseMatrix Assemble(const Grid& grid, const std::vector<int>& index, int unknowns) {
  std::vector<Eigen::Triplet<double>> entries;
  auto couple = [&](int row, size_t other, double g) {
    entries.emplace_back(row, row, g);
    if (index[other] >= 0) entries.emplace_back(row, index[other], -g);
  };
  grid.ForEachEdge([&](size_t n, size_t m, double g) {
    if (index[n] >= 0) couple(index[n], m, g);
    if (index[m] >= 0) couple(index[m], n, g);
  });
  SparseMatrix a(unknowns, unknowns);
  a.setFromTriplets(entries.begin(), entries.end());
  return a;
}

// The right-hand sides for conductors first .. first + count - 1, one column
// each: that conductor at 1 V, everything else at 0 V.
Eigen::MatrixXd RightHandSides(const Grid& grid, const std::vector<int>& index, int unknowns,
                               int first, int count) {
  Eigen::MatrixXd b = Eigen::MatrixXd::Zero(unknowns, count);
  auto couple = [&](size_t n, size_t m, double g) {
    const int column = grid.Owner(m) - first;
    if (index[n] >= 0 && column >= 0 && column < count) b(index[n], column) += g;
  };
  grid.ForEachEdge([&](size_t n, size_t m, double g) {
    couple(n, m, g);
    couple(m, n, g);
  });
  return b;
}

double RelativeResidual(const SparseMatrix& a, const Eigen::MatrixXd& x, const Eigen::MatrixXd& b) {
  const Eigen::MatrixXd r = b - a * x;
  double worst = 0;
  for (Eigen::Index k = 0; k < b.cols(); ++k)
    if (b.col(k).norm() > 0) worst = std::max(worst, r.col(k).norm() / b.col(k).norm());
  return worst;
}

// Adds the charges on every conductor by Gauss's law, the flux through the
// edges that leave it, for the solutions x of conductors first onwards:
// column first + l of the row-major matrix `charge` gets those of x.col(l).
void AddCharges(const Grid& grid, const std::vector<int>& index, const Eigen::MatrixXd& x,
                int first, std::vector<double>& charge, int count) {
  auto potential = [&](size_t n, int l) {
    if (index[n] >= 0) return x(index[n], l);
    return grid.Owner(n) == first + l ? 1.0 : 0.0;
  };
  auto addFlux = [&](size_t from, size_t to, double g) {
    const int k = grid.Owner(from);
    if (k < 0 || grid.Owner(to) == k) return;
    for (int l = 0; l < int(x.cols()); ++l)
      charge[size_t(k) * count + first + l] +=
          kVacuumPermittivity * g * (potential(from, l) - potential(to, l));
  };
  grid.ForEachEdge([&](size_t n, size_t m, double g) {
    addFlux(n, m, g);
    addFlux(m, n, g);
  });
}

// Builds the grid and marks the conductors on it; returns an error message
// when the grid would be too large or two conductors share a node.
std::string BuildGrid(const CrossSection& section, double scale, double far,
                      std::optional<Grid>& grid) {
  double extent = far;
  for (const SectionConductor& c : section.conductors)
    for (const SectionRect& r : c.rects)
      extent = std::max({extent, std::abs(r.x0), std::abs(r.x1), r.top});
  // Well above the rounding of the coordinates, and far below any feature
  // of a chip.
  const double resolution = extent * 1e-9;
  Axis xAxis, yAxis;
  AddKeys(section, far, resolution, xAxis, yAxis);
  AddEdges(section, scale, resolution, xAxis, yAxis);
  std::vector<double> x = GridLines(xAxis, scale), y = GridLines(yAxis, scale);
  if (x.empty() || y.empty() || x.size() * y.size() > kMaxNodes)
    return "the grid would be too large; choose a larger cell scale or a lower accuracy";
  grid.emplace(std::move(x), std::move(y));
  const auto& conductors = section.conductors;
  for (size_t c = 0; c < conductors.size(); ++c)
    for (const SectionRect& r : conductors[c].rects) {
      const int met = grid->Claim(r, int(c));
      if (met == kGround) return Named(conductors[c]) + " touches the substrate";
      if (met == kTop) return Named(conductors[c]) + " reaches the top of the solved region";
      if (met != int(c)) return Named(conductors[c]) + " touches " + Named(conductors[size_t(met)]);
    }
  grid->SetPermittivity(section);
  return {};
}

}  // namespace

FieldSolution SolveCapacitance(const CrossSection& section, const FieldSolverOptions& options) {
  FieldSolution result;
  result.error = CheckOptions(options);
  if (result.error.empty()) result.error = CheckDielectrics(section);
  if (result.error.empty()) result.error = CheckConductors(section);
  if (!result.ok()) return result;

  result.cellScale = CellScale(options);
  result.farDistance = options.farDistance > 0 ? options.farDistance : FarDistance(section);

  std::optional<Grid> grid;
  result.error = BuildGrid(section, result.cellScale, result.farDistance, grid);
  if (!result.ok()) return result;
  result.nx = grid->nx(), result.ny = grid->ny();

  const int count = int(section.conductors.size());
  const std::vector<int> index = NumberUnknowns(*grid, result.unknowns);
  const SparseMatrix a = Assemble(*grid, index, result.unknowns);
  const Eigen::SimplicialLDLT<SparseMatrix> solver(a);
  if (solver.info() != Eigen::Success) {
    result.error = "the field equations could not be factorised";
    return result;
  }
  std::vector<double> charge(size_t(count) * count, 0);
  for (int first = 0; first < count; first += kBatch) {
    const Eigen::MatrixXd b =
        RightHandSides(*grid, index, result.unknowns, first, std::min(kBatch, count - first));
    const Eigen::MatrixXd x = solver.solve(b);
    result.residual = std::max(result.residual, RelativeResidual(a, x, b));
    if (!(result.residual <= kResidualLimit)) {
      result.error = "the field equations could not be solved accurately";
      return result;
    }
    AddCharges(*grid, index, x, first, charge, count);
  }
  result.count = count;
  result.capacitance = std::move(charge);
  return result;
}

}  // namespace tarnisk
