#include "session/generator/generator.h"

#include "core/number_format.h"
#include "gen/contact.h"
#include "gen/logo.h"
#include "gen/structures.h"
#include "session/editor/editing.h"
#include "session/editor/view.h"
#include "session/session.h"

namespace tarnisk {

namespace {

const char* kMicrons = "\xC2\xB5m";

// Reports what an addition did: Undo removes it, and the status line shows
// its message, which a full table replaces with its warning.
void Report(Session& s, Generated& g) {
  if (!g.Empty()) EndAddition(s);
  s.LastError = g.status;
  if (g.status == kErrorTextTableFull) g.message = "Warning : text data base full ...";
  else if (!g.Complete()) g.message = kBoxTableFullMessage;
  ShowStatus(s.platform, g.message);
}

// Draws with `draw` undoably, the message naming `what` and its box count.
template <class Draw>
Generated Placed(Session& s, const std::string& what, Draw draw) {
  BeginAddition(s);
  LayoutWriter out(s.layout);
  draw(out);
  Generated g = out.Result("");
  g.message = what + " generated (" + std::to_string(g.boxesAdded) + " boxes)";
  Report(s, g);
  return g;
}

int SinglePadMicrons(const Session& s) {
  return RoundToInt32(s.generator.settings.pads.sizeMicrons);
}

Generated PadRing(Session& s) {
  GeneratorState& g = s.generator;
  BeginAddition(s);
  Generated result =
      GeneratePadRing(s.layout, s.technology, g.settings.pads,
                      g.padFileLoaded ? &g.padFile : nullptr, g.cellDirectory, s.progress);
  Report(s, result);
  ViewAll(s);
  return result;
}

}  // namespace

const char* GenerateCaption(GeneratorPage page) {
  switch (page) {
    case GeneratorPage::Pads: return "Generate Pad";
    case GeneratorPage::Inductor: return "Generate Inductor";
    case GeneratorPage::Contacts: return "Generate Contact";
    case GeneratorPage::Bus: return "Generate Bus";
    case GeneratorPage::Mos: return "Generate Device";
    case GeneratorPage::Path: return "Start Path...";
    case GeneratorPage::Logo: return "Generate Logo";
  }
  return "Generate";
}

Structure StructureOf(const Session& s, GeneratorPage page) {
  switch (page) {
    case GeneratorPage::Pads:
      return s.generator.settings.pads.choice == PadChoice::Ring ? Structure::PadRing
                                                                 : Structure::Pad;
    case GeneratorPage::Inductor: return Structure::Inductor;
    case GeneratorPage::Contacts: return Structure::Contacts;
    case GeneratorPage::Bus: return Structure::Bus;
    case GeneratorPage::Mos: return Structure::Mos;
    case GeneratorPage::Path: return Structure::Path;
    case GeneratorPage::Logo: return Structure::Logo;
  }
  return Structure::Contacts;
}

std::string PathPrompt(const Session& s) {
  const std::string& layer = s.layout.layers[s.generator.settings.path.layer].name;
  return "Path " + layer +
         ": in the drawing, click the start point of the routing path <esc to quit>";
}

GenerateStart GenerateFromPage(Session& s, GeneratorPage page) {
  const std::string where = "In the drawing, select the location for ";
  switch (page) {
    case GeneratorPage::Pads: {
      if (s.generator.settings.pads.choice == PadChoice::Ring) {
        PadRing(s);
        return {};
      }
      const std::string size = std::to_string(SinglePadMicrons(s));
      return {kCommandTestPad,
              where + "the test pad " + size + " x " + size + " " + kMicrons + "..."};
    }
    case GeneratorPage::Inductor: return {kCommandPlaceInductor, where + "the antena..."};
    case GeneratorPage::Contacts: return {kCommandPlaceContacts, where + "contacts..."};
    case GeneratorPage::Bus: return {kCommandPlaceBus, where + "the bus..."};
    case GeneratorPage::Mos: return {kCommandPlaceMos, where + "the MOS..."};
    case GeneratorPage::Path:
      ShowStatus(s.platform, "Start Path...");
      return {kCommandPathStart, PathPrompt(s)};
    case GeneratorPage::Logo: return {kCommandPlaceLogo, where + "the logo..."};
  }
  return {};
}

Generated GenerateStructure(Session& s, Structure structure, Point at) {
  const GeneratorSettings& g = s.generator.settings;
  const Technology& t = s.technology;
  const ContactSettings& c = g.contacts;
  switch (structure) {
    case Structure::Contact:
      return Placed(s, "Contact", [&](LayoutWriter& out) { DrawContact(out, t, at, c.kind); });
    case Structure::Contacts:
      return Placed(s, "Contact array", [&](LayoutWriter& out) {
        DrawContactArray(out, t, at, c.rows, c.columns, c.kind);
        if (c.polarization == Polarization::None) return;
        ShowStatus(s.platform, "Create polarization...");
        DrawPolarizationRing(out, t, at, c.rows, c.columns, c.polarization);
      });
    case Structure::Ring:
      return Placed(s, "Polarization ring", [&](LayoutWriter& out) {
        DrawPolarizationRing(out, t, at, c.rows, c.columns, c.polarization);
      });
    case Structure::Pad:
      return Placed(s, "Pad", [&](LayoutWriter& out) {
        DrawPad(out, t, at, PadSizeLambda(t, SinglePadMicrons(s)));
      });
    case Structure::PadRing: return PadRing(s);
    case Structure::Bus:
      return Placed(s, "Bus", [&](LayoutWriter& out) { DrawBus(out, at, g.bus); });
    case Structure::Inductor: {
      Generated result =
          Placed(s, "Inductor", [&](LayoutWriter& out) { DrawInductor(out, at, g.inductor); });
      Redraw(s);
      return result;
    }
    case Structure::Mos:
      return Placed(s, "MOS device", [&](LayoutWriter& out) { DrawMos(out, t, at, g.mos); });
    case Structure::Path: return GeneratePath(s, std::span<const Point>(&at, 1));
    case Structure::Logo:
      return Placed(s, "Logo", [&](LayoutWriter& out) { DrawLogo(out, t, at, g.logo); });
  }
  return {};
}

Generated PlaceAt(Session& s, int command, Point at) {
  switch (command) {
    case kCommandPlaceContact: {
      const int kind = s.generator.placementKind;
      if (!ContactStackOf(s.technology, kind)) return {};
      return Placed(s, "Contact",
                    [&](LayoutWriter& out) { DrawContact(out, s.technology, at, kind); });
    }
    case kCommandTestPad: return GenerateStructure(s, Structure::Pad, at);
    case kCommandPlaceContacts: return GenerateStructure(s, Structure::Contacts, at);
    case kCommandPlaceBus: return GenerateStructure(s, Structure::Bus, at);
    case kCommandPlaceInductor: return GenerateStructure(s, Structure::Inductor, at);
    case kCommandPlaceMos: return GenerateStructure(s, Structure::Mos, at);
    case kCommandPlaceLogo: return GenerateStructure(s, Structure::Logo, at);
    default: return {};
  }
}

void BeginPath(Session& s) { BeginAddition(s); }

PathSegment AddPathSegment(Session& s, Point start, Point end) {
  LayoutWriter out(s.layout);
  const PathSegment segment = DrawPathSegment(out, s.technology, s.generator.settings.path,
                                              s.generator.routingStep, start, end);
  const Generated g = out.Result("");
  if (!g.Empty()) EndAddition(s);
  s.LastError = g.status;
  if (!g.Complete()) ShowStatus(s.platform, kBoxTableFullMessage);
  return segment;
}

Generated GeneratePath(Session& s, std::span<const Point> points) {
  if (points.empty()) return {};
  return Placed(s, "Path", [&](LayoutWriter& out) {
    Point start = points.front();
    for (const Point& end : points.subspan(1))
      start = DrawPathSegment(out, s.technology, s.generator.settings.path, s.generator.routingStep,
                              start, end)
                  .nextStart;
  });
}

PadFileRead LoadPadFile(Session& s, const std::string& path) {
  ShowStatus(s.platform, "Open pad file " + Quoted(path) + "...");
  PadFileRead read = ReadPadFile(path);
  if (read.ioError != 0) {
    ShowStatus(s.platform, "Error reading " + path);
    return read;
  }
  if (read.malformedLine != 0) {
    ShowStatus(s.platform, "Invalid numeric input in " + Quoted(path) + " at line " +
                               std::to_string(read.malformedLine));
    return read;
  }
  GeneratorState& g = s.generator;
  g.padFile = read.file;
  g.padFileLoaded = true;
  g.settings.pads.padsX = read.file.padsX;
  g.settings.pads.padsY = read.file.padsY;
  ShowStatus(s.platform, "Create pad ring for " + read.file.chipName);
  return read;
}

}  // namespace tarnisk
