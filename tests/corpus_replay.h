#pragma once
// Replays a fuzzing corpus: every input of tests/corpus/FOLDER once through a
// fuzz entry, which aborts when a property that must hold for any input does
// not.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/test_support.h"

namespace tarnisk::testing {

inline void ReplayCorpus(const char* folder, void (*entry)(const uint8_t*, size_t)) {
  const auto dir = std::filesystem::path(TARNISK_SOURCE_DIR) / "tests/corpus" / folder;
  int replayed = 0;
  for (const auto& file : std::filesystem::directory_iterator(dir)) {
    const std::string bytes = ReadFile(file.path().string());
    SCOPED_TRACE(file.path().string());
    entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 10);
}

}  // namespace tarnisk::testing
