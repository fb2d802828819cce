#pragma once
// Layout and rule files as the editor opens and saves them: the readers and
// writers of the database, with their closing message in the status line,
// their status in LastError and the window caption.

#include <string>
#include <string_view>

#include "core/msk_file.h"
#include "core/rule_file.h"
#include "interchange/cif.h"
#include "interchange/layout_files.h"

namespace tarnisk {

struct Session;

// Shows a read's closing message and keeps its status in LastError.
void ReportLayoutRead(Session& s, const LayoutReadResult& result);

LayoutReadResult OpenLayoutFile(Session& s, const std::string& path, ReadMode mode);
LayoutReadResult OpenLayoutText(Session& s, std::string_view text, const std::string& name,
                                ReadMode mode);

// Saves the layout; on success the caption names the file. Returns false
// (the layout stays modified) when it failed.
bool SaveLayoutFile(Session& s, const std::string& path);

// Reads a GDSII or CIF file as the layout or beside it. The closing message
// goes to the status line; what was left out, and the readers' warnings, to
// a "Warning" message box, so that nothing is lost unnoticed.
LayoutImport OpenInterchangeFile(Session& s, const std::string& path, LayoutFormat format,
                                 ReadMode mode);

// Opens or inserts a layout in the format its extension names (MSK for any
// other). Returns whether the file was read whole.
bool OpenAnyLayoutFile(Session& s, const std::string& path, ReadMode mode);

// Saves in the format the extension names (MSK for any other); on success
// the caption names the file and the layout is no longer modified. The
// writer's warnings (layers written on a number of our choosing) go to status
// panel 1 and into `warnings` when given.
bool SaveAnyLayoutFile(Session& s, const std::string& path,
                       std::vector<std::string>* warnings = nullptr);

// What the rule file fills in the session.
RuleTarget RuleTargetOf(Session& s);

inline constexpr const char* kNoRuleRecognisedMessage =
    "No key was recognised: this is not a rule file. Lambda and the metal count are reset.";

// A malformed number, and a file in which no key was recognised, are
// reported in a message box; a complete load offers the new supply voltage
// as the level of new Vdd texts.
void ReportRuleLoad(Session& s, const RuleLoadResult& result);

RuleLoadResult LoadRuleFile(Session& s, const std::string& path);
RuleLoadResult LoadRules(Session& s, std::string_view text);

// The session's layout as the CIF writer takes it.
CifLayout CifLayoutOf(Session& s);

}  // namespace tarnisk
