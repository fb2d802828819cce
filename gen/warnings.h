#pragma once
// The generator's structures follow the design rules for most field values;
// this says when the values chosen would break one, so that the window can
// warn before drawing.

#include <string>

#include "core/technology.h"
#include "gen/settings.h"

namespace tarnisk {

// The structures the generator draws, one per placement.
enum class Structure { Contact, Contacts, Ring, Pad, PadRing, Bus, Inductor, Mos, Path, Logo };

// Why the structure with these settings would break a design rule of the
// technology, or an empty text.
std::string RuleWarning(Structure structure, const GeneratorSettings& settings,
                        const Technology& t);

}  // namespace tarnisk
