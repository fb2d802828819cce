#pragma once
// A fresh process state on a headless platform for each test.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>

#include "session/session.h"
#include "ui/headless_platform.h"

namespace tarnisk::testing {

struct Fresh {
  HeadlessPlatform platform;
  std::unique_ptr<Session> owner = std::make_unique<Session>(platform);
  Session& s = *owner;
  Layout& layout = owner->layout;
};

struct BoxSpec {
  int32_t x1, y1, x2, y2;
  int layer;
};

// A fresh state with a bundled rule file loaded, to which a test adds boxes
// or opens an example layout.
struct WithRules : Fresh {
  explicit WithRules(const std::string& rules = "es207.rul");
  void Add(std::initializer_list<BoxSpec> boxes);
  void Open(const std::string& example);
};

// A scratch directory removed at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& contents);

// Path of a file in the source tree's data folder.
std::string DataFile(const std::string& relative);

}  // namespace tarnisk::testing
