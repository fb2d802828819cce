// Replays the GDSII and CIF fuzzing corpus: every input once through each
// reader, with the properties the fuzz targets check.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/fuzz/interchange_fuzz_entries.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

void Replay(const char* folder, void (*entry)(const uint8_t*, size_t)) {
  const auto dir = std::filesystem::path(TARNISK_SOURCE_DIR) / "tests/corpus" / folder;
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(dir)) {
    const std::string bytes = testing::ReadFile(file.path().string());
    SCOPED_TRACE(file.path().string());
    entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 10);
}

TEST(InterchangeCorpus, GdsReaderSurvivesEveryInput) { Replay("gds", FuzzGdsReader); }
TEST(InterchangeCorpus, CifReaderSurvivesEveryInput) { Replay("cif", FuzzCifReader); }

}  // namespace
}  // namespace tarnisk
