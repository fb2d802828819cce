#include "compile/ports.h"

#include <algorithm>

namespace tarnisk {

void PortTables::Clear() {
  cell.clear();
  io.clear();
  moduleIo.clear();
}

bool PortTables::Record(const CellPort& port) {
  const bool toIo = ioBelow && IsModuleIo(port.name);
  std::vector<CellPort>& table = toIo ? io : cell;
  if (table.size() < kMaxPorts) table.push_back(port);
  return toIo;
}

bool PortTables::IsModuleIo(const std::string& name) const {
  return std::find(moduleIo.begin(), moduleIo.end(), name) != moduleIo.end();
}

void PortTables::AddModuleName(const std::string& name) {
  if (moduleIo.size() < kMaxModuleNames) moduleIo.push_back(name);
}

}  // namespace tarnisk
