#pragma once
// The MOS viewer on the session: the device and curve mode it shows, the
// model page that sets the program's model level, the step buttons and
// fields that edit the technology's MOS parameters, the size list, the
// measurement overlay, the plot with its scales and the click readout. The
// window forwards its events here and shows what comes back.

#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/technology.h"
#include "models/mos_curves.h"
#include "models/mos_measurement.h"
#include "ui/drawing_surface.h"

namespace tarnisk {

struct Session;

// One parameter a viewer field edits: its name, the member of the device
// type's parameter set, the step of its buttons, the factor from the stored
// value to the shown one, and its unit.
struct ViewerParameter {
  const char* name;
  double MosParameters::*field;
  double step;
  double shownFactor;
  const char* unit;
};

// The fields of the Level 1 and Level 3 pages, in page order.
const std::vector<ViewerParameter>& Level3Parameters();
// A Level 9 field and the parameters its choice list offers (one for the
// fields without a list).
struct Level9Field {
  const char* name;
  std::vector<ViewerParameter> choices;
};
const std::vector<Level9Field>& Level9Fields();

// Where the plot's curves lie in its paint box.
struct PlotFrame {
  int left = 60, top = 10, right = 0, bottom = 0;  // right, bottom from the size
};

class MosViewer {
 public:
  explicit MosViewer(Session& s);

  // Page 0, 1 or 2 (Level1, Level3, MM9): the program's model level.
  void SelectModelPage(int page);
  void SetType(bool pmos);
  void SetMode(int mode);
  bool Pmos() const { return pmos_; }
  int Mode() const { return mode_; }
  int32_t WidthLambda() const { return wLambda_; }
  int32_t LengthLambda() const { return lLambda_; }
  // Sets the drawn size in lambda (each at least 1).
  void SetSize(int32_t w, int32_t l);

  // The window title and the three edit labels for the present mode.
  std::string Title() const;
  std::vector<std::string> EditLabels() const;
  // The three edit fields' values as text.
  std::vector<std::string> EditValues() const;
  // Reads edit field 0, 1 or 2; false (with the rejecting status) when
  // unreadable, the value then unchanged.
  bool ApplyField(int field, const std::string& text);

  // One step of a parameter, up (+1) or down (-1), for the present type.
  void StepParameter(const ViewerParameter& p, int direction);
  // A typed value (as shown, in the field's unit); false and "Illegal <name>
  // value" when unreadable.
  bool SetParameter(const ViewerParameter& p, const std::string& text);
  // The shown value of a parameter for the present type.
  std::string ParameterText(const ViewerParameter& p) const;

  // The size list: four fixed sizes, then the extracted devices' sizes.
  std::vector<std::string> SizeList() const;
  // Reads "W=..µm, L=..µm"; false (with the error status) when unreadable.
  bool ChooseSize(const std::string& entry);

  // Reads a .MES file (its extension made "MES"); false when it cannot be
  // opened. The file's type and size replace the viewer's.
  bool LoadMeasurement(const std::string& path);
  const Measurement& Measured() const { return measurement_; }

  void RequestFullFit() { fullFit_ = true; }
  // Both scales (zoom of the whole plot) or the current scale alone.
  void ScaleBy(double factor);
  void ScaleCurrentBy(double factor);

  // The sweep of the present state.
  MosSweep Sweep() const;
  // Brings the temperature-corrected parameters up to date and computes the
  // present family.
  std::vector<MosCurve> Curves();
  // Computes and draws the plot into a surface, fitting the scales first
  // when a full fit was asked for (or none was done yet).
  void Draw(DrawingSurface& out);
  // "Vd=..., Id=..." for a click in the plot (pixels).
  std::string Readout(Point pixel) const;

 private:
  MosParameters& Parameters() const;
  void FitScales(int width, int height);
  void DrawAxes(DrawingSurface& out) const;
  void DrawCurves(DrawingSurface& out, const std::vector<MosCurve>& curves) const;
  void DrawMeasurement(DrawingSurface& out) const;
  double LogFloor() const;
  int PlotX(double volts) const;
  int PlotY(double value) const;

  Session& s_;
  bool pmos_ = false;
  int32_t wLambda_ = 10, lLambda_ = 2;
  int mode_ = kCurveIdVd;
  double xScale_ = 0, yScale_ = 0;  // pixels per volt, per ampere
  bool fullFit_ = true;
  PlotFrame frame_;
  Measurement measurement_;
};

}  // namespace tarnisk
