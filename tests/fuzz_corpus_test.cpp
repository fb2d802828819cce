// Replays the fuzzing corpus: every input once through each reader, with the
// properties the fuzz targets check.

#include <gtest/gtest.h>

#include "tests/corpus_replay.h"
#include "tests/fuzz/fuzz_entries.h"

namespace tarnisk {
namespace {

using testing::ReplayCorpus;

TEST(FuzzCorpus, LayoutReaderSurvivesEveryInput) { ReplayCorpus("msk", FuzzLayoutReader); }
TEST(FuzzCorpus, RuleReaderSurvivesEveryInput) { ReplayCorpus("rul", FuzzRuleReader); }
TEST(FuzzCorpus, MeasurementReaderSurvivesEveryInput) {
  ReplayCorpus("mes", FuzzMeasurementReader);
}

}  // namespace
}  // namespace tarnisk
