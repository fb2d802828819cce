#include "session/viewer/mos_viewer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/file_io.h"
#include "core/number_format.h"
#include "core/parse_number.h"
#include "session/session.h"

namespace tarnisk {

namespace {

const char* kMicron = "\xC2\xB5m";
constexpr Colour kBackground = MakeColour(255, 255, 255);
constexpr Colour kAxis = MakeColour(0, 0, 0);
constexpr Colour kGrid = MakeColour(200, 200, 200);
constexpr Colour kCurve = MakeColour(0, 0, 200);
constexpr Colour kMeasured = MakeColour(220, 0, 0);
constexpr int kLabelPoints = 8;
constexpr int kMarker = 2;          // half size of a measured point's square, pixels
constexpr double kLogDecades = 10;  // the logarithmic axis spans this many decades

using P = MosParameters;

const std::vector<ViewerParameter> kLevel3 = {
    {"VTO", &P::VTO, 0.02, 1, "V"},          {"LD", &P::LD, 0.05, 1, "\xC2\xB5m"},
    {"KP", &P::KP, 5e-6, 1e6, "\xC2\xB5" "A/V\xC2\xB2"}, {"PHI", &P::PHI, 0.1, 1, "V"},
    {"GAMMA", &P::GAMMA, 0.05, 1, ""},       {"KAPPA", &P::KAPPA, 0.005, 1, "1/V"},
    {"THETA", &P::THETA, 0.01, 1, "1/V"},    {"VMAX", &P::VMAX, 1000, 0.001, "km/s"},
    {"NSS", &P::NSS, 0.002, 1, "V"}};

ViewerParameter Plain(const char* name, double P::*field, double step) {
  return {name, field, step, 1, ""};
}

std::vector<ViewerParameter> Theta(const char* r, double P::*base, const char* sl, double P::*l,
                                   const char* sw, double P::*w, const char* st, double P::*t) {
  return {Plain(r, base, 0.01), Plain(sl, l, 1e-8), Plain(sw, w, 1e-8), Plain(st, t, 1e-5)};
}

const std::vector<Level9Field> kLevel9 = {
    {"VTO", {Plain("VTOR", &P::VTOR, 0.01), Plain("SLVTO", &P::SLVTO, 1e-8),
             Plain("SWVTO", &P::SWVTO, 1e-8), Plain("STVTO", &P::STVTO, 1e-5)}},
    {"GAMO", {Plain("GAMOR", &P::GAMOR, 0.001)}},
    {"GAM1", {Plain("GAM1R", &P::GAM1R, 0.01), Plain("SLGAM1", &P::SLGAM1, 1e-8),
              Plain("SWGAM1", &P::SWGAM1, 1e-8)}},
    {"THE1", Theta("THE1R", &P::THE1R, "SLTHE1", &P::SLTHE1, "SWTHE1", &P::SWTHE1, "STTHE1",
                   &P::STTHE1)},
    {"THE2", Theta("THE2R", &P::THE2R, "SLTHE2", &P::SLTHE2, "SWTHE2", &P::SWTHE2, "STTHE2",
                   &P::STTHE2)},
    {"THE3", Theta("THE3R", &P::THE3R, "SLTHE3", &P::SLTHE3, "SWTHE3", &P::SWTHE3, "STTHE3",
                   &P::STTHE3)},
    {"KO", {Plain("KOR", &P::KOR, 0.01), Plain("SLKO", &P::SLKO, 1e-8),
            Plain("SWKO", &P::SWKO, 1e-8)}},
    {"BETSQ", {Plain("BETSQ", &P::BETSQ, 1e-6)}},
    {"LAP", {Plain("LAP", &P::LAP, 1e-9)}},
    {"WOT", {Plain("WOT", &P::WOT, 1e-9)}},
    {"ZET1R", {Plain("ZET1R", &P::ZET1R, 0.1)}},
    {"MOR", {Plain("MOR", &P::MOR, 0.01)}},
    {"PHIB", {Plain("PHIB", &P::PHIB, 0.01)}},
    {"VSBXR", {Plain("VSBXR", &P::VSBXR, 0.05)}},
    {"LER", {Plain("LER", &P::LER, 1e-7)}},
    {"WER", {Plain("WER", &P::WER, 1e-7)}}};

// The number between `from` and the next "µ" (or the end) of the entry.
std::string SizeNumber(const std::string& entry, size_t from) {
  const size_t end = entry.find("\xC2\xB5", from);
  std::string text = entry.substr(from, end == std::string::npos ? std::string::npos : end - from);
  const size_t comma = text.find(',');
  return comma == std::string::npos ? text : text.substr(0, comma);
}

std::string SizeEntry(double w, double l) {
  return "W=" + FormatFixed(w, 0, 2) + kMicron + ", L=" + FormatFixed(l, 0, 2) + kMicron;
}

// The file name with its extension made "MES" ("mes" when only that exists).
std::string MeasurementFileName(const std::string& name) {
  std::filesystem::path path(name);
  std::filesystem::path upper = path, lower = path;
  upper.replace_extension(".MES");
  lower.replace_extension(".mes");
  return !std::filesystem::exists(upper) && std::filesystem::exists(lower) ? lower.string()
                                                                           : upper.string();
}

int32_t ToLambda(double microns, double lambda) {
  return int32_t(std::clamp(std::round(microns / lambda), 1.0, 1e6));
}

}  // namespace

const std::vector<ViewerParameter>& Level3Parameters() { return kLevel3; }
const std::vector<Level9Field>& Level9Fields() { return kLevel9; }

MosViewer::MosViewer(Session& s) : s_(s) {}

void MosViewer::SelectModelPage(int page) {
  static const char* kMessages[] = {"Select Berkeley Level 1 model", "Select Berkeley Level 3 model",
                                    "Select Philips Level 9 model"};
  page = std::clamp(page, 0, 2);
  s_.extractOptions.modelLevel = page;
  s_.layout.wide.extracted = 0;  // the devices' effective lengths follow the level
  ShowStatus(s_.platform, kMessages[page]);
}

void MosViewer::SetType(bool pmos) {
  pmos_ = pmos;
  ShowStatus(s_.platform, pmos ? "Change to pMOS" : "Change to nMOS");
}

void MosViewer::SetMode(int mode) {
  ShowStatus(s_.platform, "Change the curve mode...");
  mode_ = std::clamp(mode, int(kCurveIdVd), int(kCurveGdsVd));
}

void MosViewer::SetSize(int32_t w, int32_t l) {
  wLambda_ = std::max(1, w);
  lLambda_ = std::max(1, l);
}

std::string MosViewer::Title() const {
  return std::string("MOS Viewer for ") + (pmos_ ? "pMOS" : "nMOS") +
         " Width=" + std::to_string(wLambda_) + ", Length=" + std::to_string(lLambda_);
}

std::vector<std::string> MosViewer::EditLabels() const {
  if (mode_ == kCurveIdVg || mode_ == kCurveLogIdVg)
    return {"Vg from 0 to:", "For Vb from 0 to:", "Vds :"};
  return {"Vd from 0 to:", "For Vg from 0 to:", "Step Vg :"};
}

std::vector<std::string> MosViewer::EditValues() const {
  const MosViewerRanges& r = s_.viewerRanges;
  const bool gate = mode_ == kCurveIdVg || mode_ == kCurveLogIdVg;
  const double values[] = {gate ? r.vgMaxIdVg : r.vdMax, gate ? r.vbMax : r.vgMax,
                           gate ? r.vds : r.vgStep};
  std::vector<std::string> texts;
  for (double v : values) texts.push_back(FormatFixed(v, 0, 2));
  return texts;
}

bool MosViewer::ApplyField(int field, const std::string& text) {
  struct Entry {
    double* value;
    double minimum, maximum;
    const char* accepted;
    const char* rejected;
  };
  MosViewerRanges& r = s_.viewerRanges;
  const double vdd = std::max(s_.technology.VDD, 0.1);
  const Entry drain[] = {{&r.vdMax, 0.1, 2 * vdd, "Give a new Vd value ...", "Illegal Vd value"},
                         {&r.vgMax, 0, 2 * vdd, "Vg from 0.0 to", "Illegal Vg value"},
                         {&r.vgStep, 0.01, vdd, "Vg step", "Illegal Vg step"}};
  const Entry gate[] = {{&r.vgMaxIdVg, 0.1, 2 * vdd, "Give a new Vg value ...", "Illegal Vg value"},
                        {&r.vbMax, -2 * vdd, 0, "Vbulk from 0.0 to", "Illegal Vbulk value"},
                        {&r.vds, 0.001, vdd, "Vds is", "Illegal Vds value"}};
  const Entry* entries = mode_ == kCurveIdVg || mode_ == kCurveLogIdVg ? gate : drain;
  const Entry& e = entries[std::clamp(field, 0, 2)];
  const ParsedNumber n = ParseNumber(text, e.minimum, e.maximum, *e.value);
  ShowStatus(s_.platform, n.ok ? e.accepted : e.rejected);
  if (n.ok) *e.value = n.value;
  return n.ok;
}

MosParameters& MosViewer::Parameters() const {
  return pmos_ ? s_.technology.pmos : s_.technology.nmos;
}

void MosViewer::StepParameter(const ViewerParameter& p, int direction) {
  Parameters().*p.field += direction * p.step;
  if (p.field == &P::PHI) {
    UpdateSqrtPhi(s_.technology.nmos);
    UpdateSqrtPhi(s_.technology.pmos);
  }
  UpdateTemperature(s_.technology, s_.technology.TEMP);
  s_.layout.wide.extracted = 0;  // the circuit's effective lengths may follow
  ShowStatus(s_.platform, std::string(p.name) + " = " + ParameterText(p) + " " + p.unit);
}

bool MosViewer::SetParameter(const ViewerParameter& p, const std::string& text) {
  const ParsedNumber n = ParseNumber(text, -1e12, 1e12, 0);
  if (!n.ok || text.empty()) {
    ShowStatus(s_.platform, std::string("Illegal ") + p.name + " value");
    return false;
  }
  Parameters().*p.field = n.value / p.shownFactor;
  StepParameter(p, 0);
  return true;
}

std::string MosViewer::ParameterText(const ViewerParameter& p) const {
  const double shown = Parameters().*p.field * p.shownFactor;
  const double magnitude = std::fabs(shown);
  if (magnitude != 0 && (magnitude < 1e-3 || magnitude >= 1e6)) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.4g", shown);
    return buffer;
  }
  return FormatFixed(shown, 0, 4);
}

std::vector<std::string> MosViewer::SizeList() const {
  const double l = s_.technology.LAMB;
  std::vector<std::string> list = {"W=20" + std::string(kMicron) + ", L=" + FormatFixed(2 * l, 0, 2) + kMicron,
                                   "W=20" + std::string(kMicron) + ", L=20" + kMicron,
                                   "W=" + FormatFixed(4 * l, 0, 2) + kMicron + ", L=20" + kMicron,
                                   SizeEntry(4 * l, 2 * l)};
  for (const MosDevice& d : pmos_ ? s_.circuit.pmos : s_.circuit.nmos) {
    const std::string entry = SizeEntry(d.W * l, d.L * l);
    if (std::find(list.begin(), list.end(), entry) == list.end()) list.push_back(entry);
  }
  return list;
}

bool MosViewer::ChooseSize(const std::string& entry) {
  ShowStatus(s_.platform, "Select a MOS size in the list");
  const size_t first = entry.find('=');
  const size_t second = first == std::string::npos ? first : entry.find('=', first + 1);
  const std::string wText = first == std::string::npos ? "" : SizeNumber(entry, first + 1);
  const std::string lText = second == std::string::npos ? "" : SizeNumber(entry, second + 1);
  const ParsedNumber w = ParseNumber(wText, 0.01, 10000, 20);
  const ParsedNumber l = ParseNumber(lText, 0.01, 10000, 20);
  if (!w.ok || !l.ok) {
    ShowStatus(s_.platform, "Error converting " + Quoted(w.ok ? lText : wText));
    return false;
  }
  SetSize(ToLambda(w.value, s_.technology.LAMB), ToLambda(l.value, s_.technology.LAMB));
  ShowStatus(s_.platform, "Fix MOS size to W=" + FormatFixed(w.value, 0, 2) + kMicron +
                              ", L=" + FormatFixed(l.value, 0, 2) + kMicron);
  return true;
}

bool MosViewer::LoadMeasurement(const std::string& path) {
  const std::string name = MeasurementFileName(path);
  ShowStatus(s_.platform, "Measurement : opening " + name + "...");
  std::string text;
  if (ReadWholeFile(name, text) != 0) {
    ShowStatus(s_.platform, name + " not founded");
    return false;
  }
  measurement_ = ParseMeasurement(text);
  for (const std::string& label : measurement_.labels) ShowStatus(s_.platform, label);
  pmos_ = measurement_.pmos;
  SetSize(ToLambda(measurement_.wMicrons, s_.technology.LAMB),
          ToLambda(measurement_.lMicrons, s_.technology.LAMB));
  ShowStatus(s_.platform, "W=" + FormatFixed(measurement_.wMicrons, 3, 1) + kMicron +
                              ", L=" + FormatFixed(measurement_.lMicrons, 3, 1) + kMicron);
  if (!measurement_.problem.empty()) ShowStatus(s_.platform, measurement_.problem);
  return true;
}

void MosViewer::ScaleBy(double factor) {
  ShowStatus(s_.platform, "Change Scale");
  xScale_ *= factor;
  yScale_ *= factor;
}

void MosViewer::ScaleCurrentBy(double factor) {
  ShowStatus(s_.platform, "Change YScale");
  yScale_ *= factor;
}

MosSweep MosViewer::Sweep() const {
  const Technology& t = s_.technology;
  const int level = s_.extractOptions.modelLevel;
  const MosViewerRanges& r = s_.viewerRanges;
  MosSweep sweep;
  sweep.pmos = pmos_;
  sweep.w = EffectiveWidth(t, wLambda_);
  sweep.l = EffectiveLength(t, level, lLambda_, pmos_);
  sweep.mode = mode_;
  sweep.vdMax = r.vdMax, sweep.vgMax = r.vgMax, sweep.vgStep = r.vgStep;
  sweep.vgMaxIdVg = r.vgMaxIdVg, sweep.vbMax = r.vbMax, sweep.vbStep = r.vbStep, sweep.vds = r.vds;
  sweep.vbIdVd = pmos_ ? t.VDD : 0;
  return sweep;
}

std::vector<MosCurve> MosViewer::Curves() {
  UpdateTemperature(s_.technology, s_.technology.TEMP);
  ModelHalt halt;
  const std::vector<MosCurve> curves =
      ComputeMosCurves({s_.technology, s_.extractOptions.modelLevel, &halt}, Sweep());
  if (halt.message) ShowStatus(s_.platform, *halt.message);
  return curves;
}

void MosViewer::FitScales(int width, int height) {
  frame_.right = std::max(frame_.left + 10, width - 60);
  frame_.bottom = std::max(frame_.top + 10, height - 30);
  const MosSweep sweep = Sweep();
  const double current = FullFitCurrent({s_.technology, s_.extractOptions.modelLevel}, sweep);
  const double volts = FullFitVoltage(sweep, s_.technology.VDD);
  xScale_ = (frame_.right - frame_.left) / std::max(volts, 1e-3);
  yScale_ = (frame_.bottom - frame_.top) / std::max(current, 1e-15);
  fullFit_ = false;
}

int MosViewer::PlotX(double volts) const {
  return frame_.left + int(std::lround(std::clamp(volts * xScale_, -1e6, 1e6)));
}

// The current at the foot of the logarithmic axis: the decades below the
// current at the frame's top.
double MosViewer::LogFloor() const {
  return (frame_.bottom - frame_.top) / yScale_ * std::pow(10.0, -kLogDecades);
}

// The curve height above the frame's foot, never above its top.
int MosViewer::PlotY(double value) const {
  const int height = frame_.bottom - frame_.top;
  double up = value * yScale_;
  if (mode_ == kCurveLogIdVg) {
    const double floor = LogFloor();
    up = value <= floor ? 0 : height * std::log10(value / floor) / kLogDecades;
  }
  return frame_.bottom - int(std::lround(std::clamp(up, 0.0, double(height))));
}

void MosViewer::Draw(DrawingSurface& out) {
  const bool resized = frame_.right != std::max(frame_.left + 10, out.Width() - 60) ||
                       frame_.bottom != std::max(frame_.top + 10, out.Height() - 30);
  if (fullFit_ || resized || xScale_ <= 0 || yScale_ <= 0) FitScales(out.Width(), out.Height());
  const std::vector<MosCurve> curves = Curves();
  out.Clear(kBackground);
  DrawAxes(out);
  DrawCurves(out, curves);
  if (measurement_.loaded || !measurement_.idVd.empty()) DrawMeasurement(out);
}

void MosViewer::DrawAxes(DrawingSurface& out) const {
  out.SetPen(kGrid, 1, PenStyle::Dotted, PenMode::Copy);
  const double volts = (frame_.right - frame_.left) / xScale_;
  const double step = volts > 6 ? 1 : 0.5;
  for (double v = 0; v <= volts + 1e-9; v += step) {
    const int x = PlotX(v);
    out.SetPen(kGrid, 1, PenStyle::Dotted, PenMode::Copy);
    out.Line(x, frame_.top, x, frame_.bottom);
    out.Text(x - 8, frame_.bottom + 4, FormatFixed(v, 0, 1), kLabelPoints, kFontPlain, kAxis);
  }
  const bool log = mode_ == kCurveLogIdVg;
  for (int k = 0; k <= 5; ++k) {
    const int height = frame_.bottom - frame_.top;
    const int y = frame_.bottom - height * k / 5;
    out.SetPen(kGrid, 1, PenStyle::Dotted, PenMode::Copy);
    out.Line(frame_.left, y, frame_.right, y);
    const double full = height / yScale_;
    const std::string label =
        log ? "1e" + std::to_string(int(std::lround(std::log10(LogFloor()) + kLogDecades * k / 5)))
            : FormatFixed(full * k / 5 * 1e3, 0, 2);
    out.Text(2, y - 6, label, kLabelPoints, kFontPlain, kAxis);
  }
  out.SetPen(kAxis, 1, PenStyle::Solid, PenMode::Copy);
  out.SetHollowBrush();
  out.Rectangle(frame_.left, frame_.top, frame_.right, frame_.bottom);
  const char* yTitle = mode_ == kCurveGdsVd ? "gds (mS)" : log ? "Id (A)" : "Id (mA)";
  const char* xTitle = mode_ == kCurveIdVd || mode_ == kCurveGdsVd ? "Vd (V)" : "Vg (V)";
  out.Text(2, frame_.top, yTitle, kLabelPoints, kFontBold, kAxis);
  out.Text(frame_.right - 30, frame_.bottom + 16, xTitle, kLabelPoints, kFontBold, kAxis);
}

void MosViewer::DrawCurves(DrawingSurface& out, const std::vector<MosCurve>& curves) const {
  for (const MosCurve& c : curves) {
    out.SetPen(kCurve, 1, PenStyle::Solid, PenMode::Copy);
    for (size_t i = 1; i < c.points.size(); ++i)
      out.Line(PlotX(c.points[i - 1][0]), PlotY(c.points[i - 1][1]), PlotX(c.points[i][0]),
               PlotY(c.points[i][1]));
    if (c.points.empty() || mode_ == kCurveLogIdVg) continue;
    const auto& end = c.points.back();
    out.Text(PlotX(end[0]) + 3, PlotY(end[1]) - 6, FormatFixed(end[1] * 1e3, 4, 2), kLabelPoints,
             kFontPlain, kCurve);
  }
}

void MosViewer::DrawMeasurement(DrawingSurface& out) const {
  const std::vector<MeasuredPoint> points =
      mode_ == kCurveIdVd    ? measurement_.idVd
      : mode_ == kCurveGdsVd ? MeasuredConductance(measurement_.idVd)
                             : measurement_.idVg;
  out.SetPen(kMeasured, 1, PenStyle::Solid, PenMode::Copy);
  out.SetHollowBrush();
  for (size_t i = 0; i < points.size(); ++i) {
    const int x = PlotX(points[i].x), y = PlotY(points[i].y);
    out.Rectangle(x - kMarker, y - kMarker, x + kMarker, y + kMarker);
    if (i > 0 && points[i - 1].p == points[i].p)
      out.Line(PlotX(points[i - 1].x), PlotY(points[i - 1].y), x, y);
  }
}

std::string MosViewer::Readout(Point pixel) const {
  ShowStatus(s_.platform, "Click here");
  const double volts = xScale_ > 0 ? (pixel.x - frame_.left) / xScale_ : 0;
  const double amperes = yScale_ > 0 ? (frame_.bottom - pixel.y) / yScale_ : 0;
  const std::string v = FormatFixed(volts, 0, 2);
  const std::string i = std::fabs(amperes) > 0.01
                            ? FormatFixed(amperes * 1000, 0, 2) + " mA"
                            : FormatFixed(amperes * 1e6, 0, 2) + " \xC2\xB5" "A";
  std::string text;
  switch (mode_) {
    case kCurveIdVg: text = "Vg=" + v + ", Id=" + i; break;
    case kCurveLogIdVg: text = "Vg=" + v + ", Id not yet computed "; break;
    default: text = "Vd=" + v + ", Id=" + i;
  }
  ShowStatus(s_.platform, text);
  return text;
}

}  // namespace tarnisk
