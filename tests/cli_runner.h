#pragma once
// Runs the batch tool in-process, as a script would run the executable.

#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"

namespace tarnisk::testing {

struct CliResult {
  int status;
  std::string out, err;
};

inline CliResult RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "tarnisk-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int status = RunCli(int(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}

}  // namespace tarnisk::testing
