#pragma once
// The cell generator run on the session: "Generate" on each page of its
// window, the structure drawn where the user then clicks, the palette's
// contact and test-pad macros, the segments of a path and the pad file.
// Each placement can be undone, and its message goes to the status line.

#include <span>
#include <string>

#include "gen/generated.h"
#include "gen/pad_ring.h"
#include "gen/path.h"
#include "gen/warnings.h"

namespace tarnisk {

struct Session;

// The pages of the generator window, in their order.
enum class GeneratorPage : int { Pads, Inductor, Contacts, Bus, Mos, Path, Logo };

// The caption of the "Generate" button on a page.
const char* GenerateCaption(GeneratorPage page);

// The structure "Generate" draws from a page with the present settings.
Structure StructureOf(const Session& s, GeneratorPage page);

// What "Generate" asks of the main window: the placement command to enter
// and its prompt, or command 0 when the structure (the pad ring) was drawn
// at once.
struct GenerateStart {
  int command = 0;
  std::string prompt;
};
GenerateStart GenerateFromPage(Session& s, GeneratorPage page);

// Draws a structure with the generator's settings at `at` (lambda): the
// centre of the first contact, of a pad or of an inductor, the lower-left
// corner of a bus, a MOS device or a logo. The pad ring is placed around
// the layout and a path needs GeneratePath. Undo removes what was drawn.
Generated GenerateStructure(Session& s, Structure structure, Point at);

// The structure of a placement command (the palette's contact and test pad
// macros and the generator's placements) at `at` (lambda).
Generated PlaceAt(Session& s, int command, Point at);

// A path: Undo removes every segment laid since BeginPath.
void BeginPath(Session& s);
PathSegment AddPathSegment(Session& s, Point start, Point end);
// A whole path through the points, segment by segment, as the clicks lay it.
Generated GeneratePath(Session& s, std::span<const Point> points);

// Reads a pad file into the pad table; a file that cannot be read leaves the
// table as it was. Shows the reading's messages.
PadFileRead LoadPadFile(Session& s, const std::string& path);

// The prompt of the path's first click.
std::string PathPrompt(const Session& s);

}  // namespace tarnisk
