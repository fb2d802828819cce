#include "core/rule_file.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>

#include "core/layout.h"
#include "core/progress.h"
#include "core/technology.h"
#include "core/file_io.h"
#include "core/number_format.h"
#include "core/text_cursor.h"

namespace tarnisk {

namespace {

constexpr size_t kMaxTokenLength = 128;
// The largest and smallest magnitudes (other than 0) a physical value of a
// rule file may have, and the largest CIF overetch (um).
constexpr double kMaxRuleMagnitude = 1e9, kMinRuleMagnitude = 1e-30, kMaxOveretch = 1000;

struct LayerKey {
  const char* key;
  int layer;
  double LayerInfo::*field;
};

constexpr LayerKey kLayerKeys[] = {
    {"REPO", kPoly, &LayerInfo::sheetResistance},   {"REDN", kDiffn, &LayerInfo::sheetResistance},
    {"REDP", kDiffp, &LayerInfo::sheetResistance},  {"REME", kMetal, &LayerInfo::sheetResistance},
    {"REM2", kMetal2, &LayerInfo::sheetResistance}, {"REM3", kMetal3, &LayerInfo::sheetResistance},
    {"REM4", kMetal4, &LayerInfo::sheetResistance}, {"REM5", kMetal5, &LayerInfo::sheetResistance},
    {"THPO", kPoly, &LayerInfo::thickness},         {"THME", kMetal, &LayerInfo::thickness},
    {"THM2", kMetal2, &LayerInfo::thickness},       {"THM3", kMetal3, &LayerInfo::thickness},
    {"THM4", kMetal4, &LayerInfo::thickness},       {"THM5", kMetal5, &LayerInfo::thickness},
    {"THPA", kPassiv, &LayerInfo::thickness},       {"THNI", kNitride, &LayerInfo::thickness},
    {"HEPO", kPoly, &LayerInfo::height},            {"HEME", kMetal, &LayerInfo::height},
    {"HEM2", kMetal2, &LayerInfo::height},          {"HEM3", kMetal3, &LayerInfo::height},
    {"HEM4", kMetal4, &LayerInfo::height},          {"HEM5", kMetal5, &LayerInfo::height},
    {"HEPA", kPassiv, &LayerInfo::height},          {"HENI", kNitride, &LayerInfo::height},
};

struct GeneralKey {
  const char* key;
  double Technology::*field;
};

constexpr GeneralKey kGeneralKeys[] = {
    {"LAMB", &Technology::LAMB}, {"VDD", &Technology::VDD},   {"TEMP", &Technology::TEMP},
    {"DELT", &Technology::DELT}, {"MAXD", &Technology::MAXD},
};

// A token matches a key when it starts with the key, compared without case.
bool Matches(const std::string& token, std::string_view key) {
  if (token.size() < key.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(token[i])) !=
        std::toupper(static_cast<unsigned char>(key[i])))
      return false;
  return true;
}

// Characters up to the first blank, "=" or line end (at most 128 kept); the
// cursor stops on that delimiter.
std::string ReadToken(TextCursor& c) {
  std::string token;
  while (!c.AtEoln() && c.Peek() != ' ' && c.Peek() != '=') {
    const char ch = c.Get();
    if (token.size() < kMaxTokenLength) token += ch;
  }
  return token;
}

// Steps over the delimiter that ended a token, staying within the line.
void SkipDelimiter(TextCursor& c) {
  if (!c.AtEoln()) c.Get();
}

// Distances in lambda and the metal count are brought within their range
// when assigned; every other value is a physical quantity taken as it is.
bool IsBoundedKey(const std::string& token) {
  if (Matches(token, "META")) return true;
  for (const RuleKey& k : RuleKeys())
    if (Matches(token, k.key)) return true;
  return false;
}

// Whether a value can be a physical quantity of the key's kind. Values beyond
// these make capacitances, currents and temperatures infinite or divide by
// zero downstream, so the file is refused at that line instead.
bool InPhysicalRange(const std::string& token, double value) {
  if (IsBoundedKey(token)) return true;
  if (Matches(token, "LAMB")) return value > 0 && value <= 1000;      // um
  if (Matches(token, "TEMP")) return value > -273 && value <= 1000;   // degrees C
  if (Matches(token, "VDD")) return value > 0 && value <= 1000;       // V
  const double magnitude = std::fabs(value);
  return std::isfinite(value) && magnitude <= kMaxRuleMagnitude &&
         (magnitude == 0 || magnitude >= kMinRuleMagnitude);
}

class RuleLoader {
 public:
  RuleLoader(const RuleTarget& target, Progress& progress)
      : t_(target.technology), layers_(target.layout.layers), progress_(progress) {}

  // Returns false when a malformed number stopped the load.
  bool Run(std::string_view text) {
    TextCursor c(text);
    c.SkipLine();
    while (!c.AtEof()) {
      const std::string token = ReadToken(c);
      const bool section = Matches(token, "NAME") || Matches(token, "NMOS") ||
                           Matches(token, "PMOS") || Matches(token, "CIF");
      recognised_ |= section;
      if (token.empty() || Matches(token, "*") || Matches(token, "{")) c.SkipLine();
      else if (Matches(token, "NAME")) ReadName(c);
      else if (Matches(token, "NMOS")) nmosSection_ = true, c.SkipLine();
      else if (Matches(token, "PMOS")) nmosSection_ = false, c.SkipLine();
      else if (Matches(token, "CIF")) {
        if (!ReadCifLine(c)) return false;
      } else if (!ReadValueLine(c, token)) return false;
    }
    return true;
  }

  // Whether any line named a section, a key or a CIF layer.
  bool Recognised() const { return recognised_; }

  // Converts the capacitances that the file named from aF/um^2 and aF/um to
  // farads per square lambda and per lambda.
  void ConvertCapacitances() {
    const double lambda = t_.LAMB;
    const double area = lambda * lambda * 1e-18, line = lambda * 1e-18;
    for (const CapacitanceKey& k : CapacitanceKeys()) {
      if (!namedCapacitances_.count(k.key)) continue;
      double factor = line;
      switch (k.kind) {
        case CapacitanceKind::Area: factor = area; break;
        case CapacitanceKind::AreaJunction: factor = 0.75 * area; break;
        case CapacitanceKind::Line: factor = line; break;
        case CapacitanceKind::LineJunction: factor = 0.75 * line; break;
      }
      t_.*k.field *= factor;
    }
  }

 private:
  void ReadName(TextCursor& c) {
    SkipDelimiter(c);
    t_.Name = c.RestOfLine(kMaxTokenLength);
    c.SkipLine();
    ShowStatus(progress_, "Read \"" + t_.Name + "\" rule file");
    ShowStatus3(progress_, t_.Name);
  }

  bool ReadCifLine(TextCursor& c) {
    ShowStatus(progress_, "Read CIF & GDS2 infos...");
    SkipDelimiter(c);
    const std::string layerName = ReadToken(c);
    SkipDelimiter(c);
    const std::string cifName = ReadToken(c);
    const std::optional<int32_t> gds2 = ReadStandardInteger(c);
    if (!gds2) return Malformed(c);
    const std::optional<double> overetch = ReadStandardReal(c);
    if (!overetch || std::fabs(*overetch) > kMaxOveretch) return Malformed(c);
    c.SkipLine();
    if (layerName == "text") {
      t_.CifTextLayer = cifName;
      return true;
    }
    const int layer = LayerFromName(layerName, layers_);
    if (layer == 0) {
      ShowStatus(progress_, "Warning : layer \"" + layerName + "\" not identified...");
      return true;
    }
    LayerInfo& info = layers_[layer];
    info.cifName = cifName;
    info.gds2 = static_cast<uint8_t>(*gds2 & 0xFF);
    info.overetch = *overetch;
    return true;
  }

  bool ReadValueLine(TextCursor& c, const std::string& token) {
    while (!c.AtEoln() && c.Peek() != '=') c.Get();
    if (c.AtEoln()) {
      c.SkipLine();
      return true;
    }
    c.Get();
    const std::optional<double> value = ReadStandardReal(c, 64);
    if (!value || !InPhysicalRange(token, *value)) return Malformed(c);
    c.SkipLine();
    recognised_ |= Assign(token, *value);
    return true;
  }

  // Returns whether the token named a key.
  bool Assign(const std::string& token, double value) {
    bool named = false;
    auto matches = [&](std::string_view key) {
      const bool match = Matches(token, key);
      named |= match;
      return match;
    };
    for (const GeneralKey& k : kGeneralKeys)
      if (matches(k.key)) t_.*k.field = value;
    // Only two to five metal levels exist; anything else would make later
    // layer loops run past metal5.
    if (matches("META")) t_.META = std::clamp(RoundToInt32(value), 2, 5);
    for (const RuleKey& k : RuleKeys())
      if (matches(k.key)) t_.*k.field = RoundToInt32(value);
    for (const CapacitanceKey& k : CapacitanceKeys())
      if (matches(k.key)) t_.*k.field = value, namedCapacitances_.insert(k.key);
    for (const LayerKey& k : kLayerKeys)
      if (matches(k.key)) layers_[k.layer].*k.field = value;
    MosParameters& mos = nmosSection_ ? t_.nmos : t_.pmos;
    for (const MosKey& k : MosKeys())
      if (k.key && matches(k.key)) mos.*k.field = value;
    if (Matches(token, "L3PH")) UpdateSqrtPhi(mos);
    if (matches("L3TO")) t_.TOX = value;
    return named;
  }


 public:
  int ErrorLine() const { return errorLine_; }

 private:
  bool Malformed(const TextCursor& c) {
    errorLine_ = c.Line();
    return false;
  }

  Technology& t_;
  LayerTable& layers_;
  Progress& progress_;
  bool nmosSection_ = true;
  bool recognised_ = false;
  int errorLine_ = 0;
  std::set<std::string> namedCapacitances_;
};

int32_t ClampedSum(int64_t value) { return RoundToInt32(static_cast<double>(value)); }

void ComputeDerivedValues(const RuleTarget& target, double vddBefore) {
  Technology& t = target.technology;
  t.ContactCellWidth = ClampedSum(int64_t{t.R401} + 2 * int64_t{t.R405});
  t.VerilogCellWidth = t.ContactCellWidth;
  t.VerilogTrackPitch = ClampedSum(2 * int64_t{t.ContactCellWidth} + 4);
  t.VerilogPolyWidth = t.R302;
  t.VerilogGateSize = t.R303;

  const std::pair<int, int32_t> minWidths[] = {
      {kNwell, t.R101},  {kDiffp, t.R201},  {kDiffn, t.R201},  {kContact, t.R401},
      {kPoly, t.R301},   {kMetal, t.R501},  {kVia, t.R601},    {kMetal2, t.R701},
      {kVia2, t.R801},   {kMetal3, t.R901}, {kVia3, t.RA01},   {kMetal4, t.RB01},
      {kVia4, t.RC01},   {kMetal5, t.RD01},
  };
  for (const auto& [layer, width] : minWidths) target.layout.layers[layer].minWidth = width;

  MosViewerRanges& v = target.viewerRanges;
  if (t.VDD != vddBefore) v.vdMax = v.vgMax = t.VDD;
  if (t.VDD >= 4) v.vgStep = 1.0, v.secondStep = 0.5, v.vbMax = -2.0;
  else if (t.VDD >= 2) v.vgStep = 0.5, v.secondStep = 0.5, v.vbMax = -2.0;
  else v.vgStep = 0.25, v.secondStep = 0.25, v.vbMax = -1.0;
}

}  // namespace

RuleLoadResult LoadRuleText(const RuleTarget& target, std::string_view text, bool opened,
                            Progress& progress) {
  Technology& t = target.technology;
  const double vddBefore = t.VDD;
  t.LAMB = 0.5;
  t.META = 2;
  t.TOX = 0;
  t.Name = "standard 1.0";
  bool recognised = false;
  if (opened) {
    RuleLoader loader(target, progress);
    const bool complete = loader.Run(text);
    // Capacitances read before a malformed line are converted too, so that
    // every capacitance held stays in farads.
    loader.ConvertCapacitances();
    recognised = loader.Recognised();
    if (!complete) return {RuleLoadStatus::Malformed, loader.ErrorLine(), recognised};
  }
  ComputeDerivedValues(target, vddBefore);
  ShowStatus3(progress, t.Name);
  return {opened ? RuleLoadStatus::Loaded : RuleLoadStatus::NotOpened, 0, recognised};
}

RuleLoadResult ReadRuleFile(const RuleTarget& target, const std::string& path,
                            Progress& progress) {
  std::string contents;
  const bool opened = ReadWholeFile(path, contents) == 0;
  if (opened) target.layout.wide.ruleFileName = std::filesystem::path(path).filename().string();
  return LoadRuleText(target, contents, opened, progress);
}

}  // namespace tarnisk
