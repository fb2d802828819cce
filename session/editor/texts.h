#pragma once
// Texts that name the node under them and give it a role for simulation
// (supply, ground, clock, pulse, plain name, visible waveform), and the
// resistance marks: the text command and its quick property tools, the
// double click on a text, the text dialog's model with its remembered
// defaults, and the resistance dialog's model.
//
// Dialogs are opened through the small interfaces below, so that the logic
// runs the same with the Qt dialogs and with a test's fake.

#include <string>

#include "core/geometry.h"

namespace tarnisk {

struct Session;

// What the text dialog offers again on its next use. The default high level
// is Session::defaultVddTextLevel, which loading a rule file sets to the
// supply voltage.
struct TextDefaults {
  double timeLow = 1.0, riseTime = 0.5, timeHigh = 1.0, fallTime = 0.5;  // ns
  double lowLevel = 0.0;                                                 // V
  int clockCounter = 1, pulseCounter = 1, nameCounter = 1;
};

// A new layout starts the clock and pulse times afresh (levels and counters
// are kept).
void ResetTextTimes(Session& s);

// The dialog's property choice, in the order of its radio items.
enum TextChoice : int {
  kChoiceVariable = 0, kChoiceVdd = 1, kChoiceVss = 2, kChoiceClock = 3, kChoicePulse = 4
};

int ChoiceFromProperty(int property);
int PropertyFromChoice(int choice);

// The text dialog as the user sees it. The number fields hold the texts
// typed (times in ns, levels in V); they are read only on OK and by the
// period buttons.
struct TextDialogModel {
  std::string text = "node0";
  int choice = kChoiceVariable;
  bool visible = false;
  std::string timeLow, riseTime, timeHigh, fallTime, lowLevel, highLevel;

  // Set with the choice by ApplyTextChoice.
  std::string caption;
  std::string highLabel, lowLabel;
  bool timesEnabled = false;  // the four times, both levels and the period buttons
  bool highEnabled = false, lowEnabled = false;

  int editedText = 0;  // index of the text being edited, 0 when adding
  Point location;      // lambda, where a new text goes
};

class TextDialogUi {
 public:
  virtual ~TextDialogUi() = default;
  // Shows the dialog modally; its buttons call the functions below.
  virtual void ShowTextDialog(Session& s, TextDialogModel& model) = 0;
};

// Chooses the property and refreshes caption, labels, enabled fields and,
// for clock and pulse, the times, levels and "Visible at Simul" from the
// defaults.
void ApplyTextChoice(const Session& s, TextDialogModel& m, int choice);

// The period buttons. Each changes the fields only when they all read as
// valid numbers.
void DoublePeriod(Session& s, TextDialogModel& m);
void HalvePeriod(Session& s, TextDialogModel& m);
void InvertLevels(Session& s, TextDialogModel& m);

// OK: the valid numbers become the defaults, then the text is changed or
// added.
void AcceptTextDialog(Session& s, const TextDialogModel& m);

// The last live text whose label lies under the pixel, or 0.
int FindTextAt(const Session& s, Point pixel);

// Release of the text command: the property tool acts on the text under the
// pixel, or on the empty place.
void TextCommandAt(Session& s, Point pixel, TextDialogUi& ui);

// Double click: opens the text under the pixel in the dialog and leaves no
// command active. False, changing nothing, when no text is there.
bool EditTextAt(Session& s, Point pixel, TextDialogUi& ui);

// The resistance dialog: the value field and two lines of information.
struct ResistanceDialogModel {
  std::string value;
  std::string locationLine, connectionLine;
  int mark = 0;    // index of the mark found, 0 for a new one
  Point location;  // lambda
};

class ResistanceDialogUi {
 public:
  virtual ~ResistanceDialogUi() = default;
  virtual void ShowResistanceDialog(Session& s, ResistanceDialogModel& model) = 0;
};

// The first live mark whose symbol lies near the pixel, or 0.
int FindResistanceAt(const Session& s, Point pixel);

// Release of the resistance command: opens the dialog on the mark near the
// pixel, or on a new mark there.
void ResistanceAt(Session& s, Point pixel, ResistanceDialogUi& ui);

// OK: the mark found takes the value as its text; otherwise a new mark is
// added at the location.
void AcceptResistanceDialog(Session& s, const ResistanceDialogModel& m);

// The delete button: erases the mark found (Undo brings it back); without
// one nothing changes.
void DeleteResistance(Session& s, const ResistanceDialogModel& m);

}  // namespace tarnisk
