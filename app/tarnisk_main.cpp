// tarnisk: the interactive layout editor.

#include <QApplication>
#include <filesystem>
#include <memory>

#include "session/session.h"
#include "ui/qt/main_window.h"
#include "ui/qt/qt_platform.h"

#ifndef TARNISK_DATA_DIR
#define TARNISK_DATA_DIR "data"
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tarnisk");
  const std::string data = TARNISK_DATA_DIR;
  const std::string rules =
      std::filesystem::exists("es207.rul") ? "es207.rul" : data + "/es207.rul";
  tarnisk::QtPlatform platform;
  auto state = std::make_unique<tarnisk::Session>(platform);
  state->generator.cellDirectory = data + "/pads";
  tarnisk::Tmdiframe window(*state, platform, rules, data + "/help/tarnisk-help.md");
  window.resize(1280, 860);
  window.showMaximized();
  window.StartUp(QApplication::arguments());
  return QApplication::exec();
}
