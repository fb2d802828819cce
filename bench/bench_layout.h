#pragma once
// A layout and the technology of a rule file: what the benchmarks that run
// an analysis without a session start from.

#include <memory>

#include "core/layout.h"
#include "core/progress.h"
#include "core/rule_file.h"
#include "core/technology.h"

namespace tarnisk {

struct BenchLayout {
  SilentProgress progress;
  std::unique_ptr<Layout> layout = std::make_unique<Layout>();
  Technology technology;
  MosViewerRanges ranges;

  explicit BenchLayout(const char* rules) {
    ReadRuleFile({technology, *layout, ranges}, rules, progress);
  }
};

}  // namespace tarnisk
