// Replays the fuzzing corpus: every input once through each reader, with the
// properties the fuzz targets check.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fuzz/fuzz_entries.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

void Replay(const char* folder, void (*entry)(const uint8_t*, size_t)) {
  const std::filesystem::path dir = std::filesystem::path(TARNISK_SOURCE_DIR) / "tests/corpus" / folder;
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(dir)) {
    const std::string bytes = testing::ReadFile(file.path().string());
    SCOPED_TRACE(file.path().string());
    entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 10);
}

TEST(FuzzCorpus, LayoutReaderSurvivesEveryInput) { Replay("msk", FuzzLayoutReader); }
TEST(FuzzCorpus, RuleReaderSurvivesEveryInput) { Replay("rul", FuzzRuleReader); }
TEST(FuzzCorpus, MeasurementReaderSurvivesEveryInput) { Replay("mes", FuzzMeasurementReader); }

}  // namespace
}  // namespace tarnisk
