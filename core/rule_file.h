#pragma once
// The technology rule file (.RUL): a title line, then "KEY = value" lines,
// NAME, NMOS and PMOS section lines, CIF lines and comments.

#include <string>
#include <string_view>

namespace tarnisk {

struct AppState;

enum class RuleLoadStatus { Loaded, NotOpened, Malformed };

struct RuleLoadResult {
  RuleLoadStatus status = RuleLoadStatus::Loaded;
  int errorLine = 0;  // line of the malformed number
};

// Loads a rule file into the technology record and the layer table. A file
// that cannot be opened resets the load-reset fields and computes the derived
// values without a message; a malformed number stops the load with the
// message box "Invalid numeric input".
RuleLoadResult ReadRuleFile(AppState& s, const std::string& path);

// The same load on text already in memory (opened = true), or the path taken
// when the file could not be opened (opened = false).
RuleLoadResult LoadRuleText(AppState& s, std::string_view text, bool opened);

}  // namespace tarnisk
