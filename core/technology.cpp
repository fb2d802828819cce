#include "core/technology.h"

#include <cmath>

namespace tarnisk {

namespace {

using T = Technology;
using M = MosParameters;

constexpr RuleKey kRuleKeys[] = {
    {"R101", &T::R101}, {"R102", &T::R102}, {"R201", &T::R201}, {"R202", &T::R202},
    {"R203", &T::R203}, {"R204", &T::R204}, {"R205", &T::R205}, {"R301", &T::R301},
    {"R302", &T::R302}, {"R303", &T::R303}, {"R304", &T::R304}, {"R305", &T::R305},
    {"R306", &T::R306}, {"R307", &T::R307}, {"R401", &T::R401}, {"R402", &T::R402},
    {"R403", &T::R403}, {"R404", &T::R404}, {"R405", &T::R405}, {"R406", &T::R406},
    {"R501", &T::R501}, {"R502", &T::R502}, {"R601", &T::R601}, {"R602", &T::R602},
    {"R603", &T::R603}, {"R604", &T::R604}, {"R605", &T::R605}, {"R701", &T::R701},
    {"R702", &T::R702}, {"R801", &T::R801}, {"R802", &T::R802}, {"R803", &T::R803},
    {"R804", &T::R804}, {"R901", &T::R901}, {"R902", &T::R902}, {"RA01", &T::RA01},
    {"RA02", &T::RA02}, {"RA03", &T::RA03}, {"RA04", &T::RA04}, {"RB01", &T::RB01},
    {"RB02", &T::RB02}, {"RC01", &T::RC01}, {"RC02", &T::RC02}, {"RC03", &T::RC03},
    {"RC04", &T::RC04}, {"RD01", &T::RD01}, {"RD02", &T::RD02}, {"RP01", &T::RP01},
    {"RP02", &T::RP02}, {"RP03", &T::RP03}, {"RP04", &T::RP04}, {"RP05", &T::RP05},
    {"RP06", &T::RP06},
};

using K = CapacitanceKind;
constexpr CapacitanceKey kCapacitanceKeys[] = {
    {"CPOO", &T::CPOO, K::AreaJunction}, {"CPOB", &T::CPOB, K::Area},
    {"CMEB", &T::CMEB, K::Area},         {"CMEP", &T::CMEP, K::Area},
    {"CMEL", &T::CMEL, K::Line},         {"CMEX", &T::CMEX, K::Line},
    {"CM2B", &T::CM2B, K::Area},         {"CM2P", &T::CM2P, K::Area},
    {"CM2M", &T::CM2M, K::Area},         {"CM2L", &T::CM2L, K::Line},
    {"CM2X", &T::CM2X, K::Line},         {"CM3B", &T::CM3B, K::Area},
    {"CM4B", &T::CM4B, K::Area},         {"CM5B", &T::CM5B, K::Area},
    {"CM3L", &T::CM3L, K::Line},         {"CM4L", &T::CM4L, K::Line},
    {"CM5L", &T::CM5L, K::Line},         {"CM3X", &T::CM3X, K::Line},
    {"CM4X", &T::CM4X, K::Line},         {"CM5X", &T::CM5X, K::Line},
    {"CDNP", &T::CDNP, K::AreaJunction}, {"CDPN", &T::CDPN, K::AreaJunction},
    {"CNWE", &T::CNWE, K::AreaJunction}, {"CPWE", &T::CPWE, K::AreaJunction},
    {"CLDN", &T::CLDN, K::LineJunction}, {"CLDP", &T::CLDP, K::LineJunction},
    {"CGSN", &T::CGSN, K::Line},         {"CGSP", &T::CGSP, K::Line},
};

constexpr MosKey kMosKeys[] = {
    // Levels 1 and 3.
    {"L3VT", "VTO", &M::VTO, 0.7, -0.7, false},
    {"L3KP", "KP", &M::KP, 4e-5, 2e-5, false},
    {"L3GA", "GAMMA", &M::GAMMA, 0.35, 0.35, false},
    {"L3PH", "PHI", &M::PHI, 0.68, 0.68, false},
    {"L3KA", "KAPPA", &M::KAPPA, 0.01, 0, false},
    {"L3TH", "THETA", &M::THETA, 0.35, 0.35, false},
    {"L3VM", "VMAX", &M::VMAX, 130000, 100000, false},
    {"L3NS", "NSS", &M::NSS, 0.05, 0.05, false},
    {"L3LD", "LD", &M::LD, 0, 0, false},
    {"L3CG", "CGO", &M::CGO, 0, 0, false},
    // Level 9.
    {"VTOR", "VTOR", &M::VTOR, 0.6, 0.6, false},
    {nullptr, "STVTO", &M::STVTO, 0, 0, false},
    {"SLVT", "SLVTO", &M::SLVTO, 0, 0, false},
    {"SWVT", "SWVTO", &M::SWVTO, 0, 0, false},
    {"LAP", "LAP", &M::LAP, 0, 0, false},
    {"WOT", "WOT", &M::WOT, 0, 0, false},
    {nullptr, "KR", &M::KR, 0.1, 0, true},
    {nullptr, "SLK", &M::SLK, 0, 0, true},
    {nullptr, "SWK", &M::SWK, 0, 0, true},
    {"PHIB", "PHIB", &M::PHIB, 0.7, 0, false},
    {"VSBTR", "VSBTR", &M::VSBTR, 0.1, 0, false},
    {"VSBXR", "VSBXR", &M::VSBXR, 0.1, 0, false},
    {"BETSQ", "BETSQ", &M::BETSQ, 1e-4, 5e-5, false},
    {nullptr, "ETABET", &M::ETABET, 1, 0, true},
    {"ZET1", "ZET1R", &M::ZET1R, 1, 1, false},
    {"MOR", "MOR", &M::MOR, 0.3, 0.3, false},
    {nullptr, "SLMO", &M::SLMO, 0, 0, true},
    {nullptr, "ETAM", &M::ETAM, 2, 0, true},
    {nullptr, "ETADS", &M::ETADS, 0.6, 0, true},
    {"KOR", "KOR", &M::KOR, 0.1, 0.5, false},
    {"SLKO", "SLKO", &M::SLKO, 0, 0, false},
    {"SWKO", "SWKO", &M::SWKO, 0, 0, false},
    {"GAMO", "GAMOR", &M::GAMOR, 0.01, 0.01, false},
    {"SLGAMO", "SLGAMO", &M::SLGAMO, 0, 0, false},
    {"GAM1", "GAM1R", &M::GAM1R, 0.01, 0.01, false},
    {"SLGAM1", "SLGAM1", &M::SLGAM1, 0, 0, false},
    {"SWGAM1", "SWGAM1", &M::SWGAM1, 0, 0, false},
    {"THE1", "THE1R", &M::THE1R, 0.5, 0.1, false},
    {"SLTHE1", "SLTHE1", &M::SLTHE1, 0, 0, false},
    {"SWTHE1", "SWTHE1", &M::SWTHE1, 0, 0, false},
    {nullptr, "STTHE1", &M::STTHE1, 0, 0, false},
    {"THE2", "THE2R", &M::THE2R, 0.1, 0.1, false},
    {"SLTHE2", "SLTHE2", &M::SLTHE2, 0, 0, false},
    {"SWTHE2", "SWTHE2", &M::SWTHE2, 0, 0, false},
    {nullptr, "STTHE2", &M::STTHE2, 0, 0, false},
    {"THE3", "THE3R", &M::THE3R, 0.01, 0.01, false},
    {"SLTHE3", "SLTHE3", &M::SLTHE3, 0, 0, false},
    {"SWTHE3", "SWTHE3", &M::SWTHE3, 0, 0, false},
    {nullptr, "STTHE3", &M::STTHE3, 0, 0, false},
    {nullptr, "ALP", &M::ALP, 0.01, 0, true},
    {nullptr, "VP", &M::VP, 0.3, 0, true},
    {"LER", "LER", &M::LER, 1e-5, 1e-5, false},
    {"WER", "WER", &M::WER, 1e-5, 1e-5, false},
};

}  // namespace

MosParameters DefaultMosParameters(MosType type) {
  MosParameters p;
  for (const MosKey& k : kMosKeys)
    p.*k.field = type == MosType::Nmos ? k.nmosDefault : k.pmosDefault;
  p.VTO_T = p.VTO;
  p.KP_T = p.KP;
  p.NSS_T = p.NSS;
  UpdateSqrtPhi(p);
  return p;
}

void UpdateSqrtPhi(MosParameters& p) { p.SQRT_PHI = p.PHI > 0 ? std::sqrt(p.PHI) : 0; }

std::span<const RuleKey> RuleKeys() { return kRuleKeys; }
std::span<const CapacitanceKey> CapacitanceKeys() { return kCapacitanceKeys; }
std::span<const MosKey> MosKeys() { return kMosKeys; }

}  // namespace tarnisk
