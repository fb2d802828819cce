#pragma once
// The ports the cell compiler leaves for the Verilog router: every input
// gate column and output strip reachable on metal2 two steps above the
// supply rail and two steps below the ground rail. Ports named like one of
// the module's inputs or outputs go to the I/O table (wired on tracks below
// the cells) unless every net is wired on top; the others go to the cell
// port table (equal names wired together above the cells).

#include <cstdint>
#include <string>
#include <vector>

namespace tarnisk {

inline constexpr size_t kMaxPorts = 2000;
inline constexpr size_t kMaxModuleNames = 256;

struct CellPort {
  std::string name;
  int32_t x = 0;
  int32_t lower = 0, upper = 0;  // the port's y below the ground rail and above the supply rail
  bool routed = false;
};

struct PortTables {
  std::vector<CellPort> cell, io;
  std::vector<std::string> moduleIo;  // the module header's names
  bool ioBelow = true;                // "I/O bottom, others top"; false: "All on Top"

  // Empties both tables and the module's names.
  void Clear();
  // Records a port in its table; a full table drops it. Returns whether it
  // went to the I/O table.
  bool Record(const CellPort& port);
  bool IsModuleIo(const std::string& name) const;
  // Adds a module name; beyond the limit names are dropped.
  void AddModuleName(const std::string& name);
};

}  // namespace tarnisk
