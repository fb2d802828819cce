#pragma once
// The cell generator's settings, one group per page of its window, with the
// values it starts with. Sizes the window takes in microns stay in microns
// here and are turned into lambda with the technology of the moment.

#include <array>
#include <cstdint>
#include <string>

#include "core/layers.h"
#include "core/technology.h"
#include "gen/contact.h"

namespace tarnisk {

enum class Orientation { Horizontal, Vertical };

// "Pad ring ", "Single pad (30x30 µm)", "Single pad :".
enum class PadChoice { Ring, SmallPad, CustomPad };

struct PadSettings {
  PadChoice choice = PadChoice::SmallPad;
  double sizeMicrons = 30;  // of a single pad
  int padsX = 3, padsY = 3;
  double ringWidthMicrons = 30;
};

struct ContactSettings {
  int kind = kContactDiffn;
  int rows = 1, columns = 1;
  Polarization polarization = Polarization::None;
};

struct BusSettings {
  int layer = kMetal;
  int32_t width = 3, spacing = 3;
  int repeat = 2;
  int32_t length = 1000;
  Orientation orientation = Orientation::Horizontal;
};

// The metal layers an inductor can be drawn on, in the order of its check boxes.
inline constexpr std::array<int, 5> kInductorLayers = {kMetal, kMetal2, kMetal3, kMetal4, kMetal5};

struct InductorSettings {
  int turns = 20;
  int32_t width = 20, spacing = 20;
  std::array<bool, 5> onLayer = {false, true, false, false, false};  // "Metal 2" only
};

// The inner half-size of the first turn, in lambda.
inline constexpr int32_t kInductorInnerHalfSize = 200;

struct MosSettings {
  double widthMicrons = 5, lengthMicrons = 1;
  int gates = 1;
  Orientation orientation = Orientation::Horizontal;  // kept for the window only
  MosType type = MosType::Nmos;
};

// A metal path; diffn and diffp stand for the polarization paths (metal
// with diffusion contacts along it).
struct PathSettings {
  int layer = kMetal;
  int32_t width = 4;
  int contacts = 1;  // n, for the n x n via arrays at the ends
  bool contactsAtEnds = false;
  bool alignToGrid = false;
};

struct LogoSettings {
  std::string text = "Tarnisk";
  double letterSizeMicrons = 100;
  int layer = kMetal;
};

struct GeneratorSettings {
  PadSettings pads;
  ContactSettings contacts;
  BusSettings bus;
  InductorSettings inductor;
  MosSettings mos;
  PathSettings path;
  LogoSettings logo;
};

}  // namespace tarnisk
