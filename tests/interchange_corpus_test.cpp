// Replays the GDSII and CIF fuzzing corpus: every input once through each
// reader, with the properties the fuzz targets check.

#include <gtest/gtest.h>

#include "tests/corpus_replay.h"
#include "tests/fuzz/interchange_fuzz_entries.h"

namespace tarnisk {
namespace {

using testing::ReplayCorpus;

TEST(InterchangeCorpus, GdsReaderSurvivesEveryInput) { ReplayCorpus("gds", FuzzGdsReader); }
TEST(InterchangeCorpus, CifReaderSurvivesEveryInput) { ReplayCorpus("cif", FuzzCifReader); }

}  // namespace
}  // namespace tarnisk
