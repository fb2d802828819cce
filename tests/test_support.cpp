#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "session/files.h"

namespace tarnisk::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("tarnisk-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary);
  out << contents;
}

WithRules::WithRules(const std::string& rules) { LoadRuleFile(s, DataFile(rules)); }

void WithRules::Add(std::initializer_list<BoxSpec> boxes) {
  for (const BoxSpec& b : boxes) AddBox(s.layout, b.x1, b.y1, b.x2, b.y2, b.layer);
}

void WithRules::Open(const std::string& example) {
  ASSERT_EQ(OpenLayoutFile(s, DataFile("examples/" + example), ReadMode::Open).LastError(), 0);
}

std::string DataFile(const std::string& relative) {
  return std::string(TARNISK_SOURCE_DIR) + "/data/" + relative;
}

}  // namespace tarnisk::testing
