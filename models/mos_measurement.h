#pragma once
// Measured transistor characteristics (.MES files) for the MOS viewer to lay
// over its curves: a title, the device type and size, and two blocks of
// points, Id-Vd (x = Vd, y = Id, p = Vg) and Id-Vg (x = Vg, y = Id, p = Vb).
//
// The file is text: line 1 is ignored, line 2 is the title, line 3 starts
// with four characters whose first is the type (N or P, either case)
// followed by W and L in microns. Each block is a header of a four-character
// label, an integer K and three reals P0, P1 and dP, then a count line of
// integers M and F, then the data: with F = 0 a table of M rows of x and K
// values (the point of row r, column c is (x, value, P0 + (c-1)*dP)), with
// F != 0 a list of M*F lines of x, y and p (stored as |x|, |y|, p).

#include <string>
#include <string_view>
#include <vector>

namespace tarnisk {

struct MeasuredPoint {
  double x = 0, y = 0, p = 0;
};

inline constexpr size_t kMaxMeasuredPoints = 500;  // per set
inline constexpr int kMaxTableRows = 100;
inline constexpr int kMaxTableColumns = 32;

struct Measurement {
  std::string title;
  bool pmos = false;
  double wMicrons = 0, lMicrons = 0;
  std::vector<std::string> labels;   // the block labels read, for the status line
  std::vector<MeasuredPoint> idVd;   // set 1
  std::vector<MeasuredPoint> idVg;   // set 2
  bool loaded = false;
  // Why the reading stopped early, or empty: a number that could not be read
  // (with its line), a table larger than 100 rows of 32 values.
  std::string problem;
};

// Reads a measurement from the file's text; never fails, but says in
// `problem` and `loaded` how far it got. A list block 1 of more than 500
// points ends the reading unloaded; a list block 2 that large is skipped. A
// table larger than a set keeps its first 500 points, column by column. A file
// that ends early keeps what it held.
Measurement ParseMeasurement(std::string_view text);

}  // namespace tarnisk
