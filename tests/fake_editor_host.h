#pragma once
// A main window stand-in for widget tests: a fresh headless state and a log
// of what the tool windows asked of the main window.

#include <string>
#include <utility>
#include <vector>

#include "session/generator/generator.h"
#include "tests/test_support.h"
#include "ui/qt/editor_host.h"

namespace tarnisk::testing {

struct FakeEditorHost : EditorHost {
  Fresh f;
  std::vector<std::pair<int, std::string>> commands;  // EnterCommand calls
  int placementsEnded = 0, broughtToFront = 0, redraws = 0;
  std::vector<std::pair<GeneratorPage, bool>> generatorShown;  // page, modal

  Session& State() override { return f.s; }
  void EnterCommand(int code, const std::string& status) override {
    commands.emplace_back(code, status);
    f.s.command.command = static_cast<uint8_t>(code);
    if (!status.empty()) ShowStatus(f.platform, status);
  }
  void EndPlacement() override {
    ++placementsEnded;
    f.s.command.command = kCommandDrawBox;
  }
  void BringToFront() override { ++broughtToFront; }
  void RedrawLayout() override { ++redraws; }
  void ShowCellGenerator(GeneratorPage page, bool modal) override {
    generatorShown.emplace_back(page, modal);
  }
};

}  // namespace tarnisk::testing
