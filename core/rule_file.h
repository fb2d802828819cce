#pragma once
// The technology rule file (.RUL): a title line, then "KEY = value" lines,
// NAME, NMOS and PMOS section lines, CIF lines and comments.

#include <string>
#include <string_view>

namespace tarnisk {

class Progress;
struct Layout;
struct MosViewerRanges;
struct Technology;

enum class RuleLoadStatus { Loaded, NotOpened, Malformed };

struct RuleLoadResult {
  RuleLoadStatus status = RuleLoadStatus::Loaded;
  int errorLine = 0;  // line of the malformed number
  // Whether a line named a key, a section or a CIF layer: a file without one
  // loads only the reset values and is no rule file.
  bool recognised = false;
};

// What a rule file fills: the technology record, the layer table of the
// layout (process values, interchange names, minimum sizes) and the sweep
// limits of the MOS viewer.
struct RuleTarget {
  Technology& technology;
  Layout& layout;
  MosViewerRanges& viewerRanges;
};

// Loads a rule file. A file that cannot be opened resets the load-reset
// fields and computes the derived values; a malformed number stops the load
// (the editor then says "Invalid numeric input").
RuleLoadResult ReadRuleFile(const RuleTarget& target, const std::string& path,
                            Progress& progress);

// The same load on text already in memory (opened = true), or the path taken
// when the file could not be opened (opened = false).
RuleLoadResult LoadRuleText(const RuleTarget& target, std::string_view text, bool opened,
                            Progress& progress);

}  // namespace tarnisk
