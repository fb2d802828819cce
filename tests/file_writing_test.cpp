// Every file the program writes is written whole or not at all: a failure
// leaves the old file as it was and no temporary file beside it, and the
// batch tool exits 2 naming the path and the cause.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/cli.h"
#include "core/file_io.h"
#include "tests/cli_runner.h"
#include "tests/test_support.h"

namespace tarnisk {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::RunTool;

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AtomicWriter, ReplacesTheFileKeepingItsModeAndLeavesNothingElse) {
  testing::TempDir dir;
  const std::string path = dir.File("a.txt");
  ASSERT_EQ(WriteFileAtomically(path, "first"), 0);
  ::chmod(path.c_str(), 0640);
  ASSERT_EQ(WriteFileAtomically(path, "second"), 0);
  EXPECT_EQ(testing::ReadFile(path), "second");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(WriteFileAtomically(dir.File("none/a.txt"), "x"), ENOENT);
  EXPECT_EQ(WriteFileAtomically(dir.File("a.txt/b"), "x"), ENOTDIR);
}

// One way a write can fail: the directory written into (created unless
// missing) and the run of the tool around which the fault is set up.
struct Fault {
  const char* name;
  const char* reason;  // what the error message says about it
  const char* directory;
  bool missing, readOnly;
  std::function<CliResult(const std::vector<std::string>&)> run;
};

// A directory the process may not write into. Root writes anywhere, so a
// test run as root gives up its rights for the run.
CliResult RunWithoutRoot(const std::vector<std::string>& args) {
  if (::geteuid() != 0) return RunTool(args);
  EXPECT_EQ(::seteuid(65534), 0);
  CliResult r = RunTool(args);
  EXPECT_EQ(::seteuid(0), 0);
  return r;
}

// A file system that takes no more than a few bytes per file: the limit on
// file size fails the write part-way, as a full disk does.
CliResult RunWithFullDisk(const std::vector<std::string>& args) {
  rlimit old {};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = old;
  tiny.rlim_cur = 16;
  ::setrlimit(RLIMIT_FSIZE, &tiny);
  CliResult r = RunTool(args);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  return r;
}

const Fault kFaults[] = {
    {"missing directory", "No such file or directory", "missing", true, false, RunTool},
    {"read-only directory", "Permission denied", "readonly", false, true, RunWithoutRoot},
    {"full disk", "File too large", "full", false, false, RunWithFullDisk},
};

// Every command that writes a file, with "OUT" where the file's path goes.
std::vector<std::vector<std::string>> WritingCommands(const std::string& layout) {
  return {
      {"convert", layout, "OUT.msk"},
      {"convert", layout, "OUT.gds"},
      {"arrange", layout, "OUT.msk"},
      {"cif", layout, "-o", "OUT.cif"},
      {"extract", layout, "--spice", "OUT.cir"},
      {"render", layout, "-o", "OUT.png", "--size", "64x48"},
      {"drc", layout, "--png", "OUT.png"},
      {"simulate", layout, "--length", "0.5", "--csv", "OUT.csv"},
      {"simulate", layout, "--length", "0.5", "--png", "OUT.png"},
      {"mos", "--csv", "OUT.csv"},
      {"mos", "--png", "OUT.png"},
      {"crosstalk", layout, "--png", "OUT.png"},
      {"section", layout, "--cut", "0,20,40,20", "--geo", "OUT.geo"},
      {"section", layout, "--cut", "0,20,40,20", "--png", "OUT.png"},
      {"sweep", layout, "--param", "vdd", "--from", "4", "--to", "5", "--step", "1",
       "--measure", "power", "--node", "out", "--csv", "OUT.csv"},
      {"sweep", layout, "--param", "vdd", "--from", "4", "--to", "5", "--step", "1",
       "--measure", "power", "--node", "out", "--png", "OUT.png"},
      {"ucp", layout, "-o", "OUT.ucp"},
      {"generate", layout, "OUT.msk", "contact", "--at", "100,100"},
      {"route", layout, "OUT.msk", "--from", "0,60,metal", "--to", "40,60,metal"},
      {"convert", layout, "OUT.cif"},
      {"compile", "OUT.msk", "y=/(a.b)"},
      {"verilog", testing::DataFile("examples/add8.v"), "OUT.msk"},
  };
}

// `args` with OUT made the file `name` in `dir`, and the common options.
std::vector<std::string> Aimed(std::vector<std::string> args, const std::string& dir,
                               const std::string& rules) {
  for (std::string& a : args)
    if (a.rfind("OUT.", 0) == 0) a = (fs::path(dir) / ("result" + a.substr(3))).string();
  args.insert(args.end(), {"--rules", rules, "--quiet"});
  return args;
}

std::string OutputOf(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a.find("/result.") != std::string::npos) return a;
  return "";
}

// Each command writes its file where it can, and where it cannot it exits 2
// with the path and the cause, the old file untouched and nothing left over.
TEST(AtomicWriter, EveryCommandThatWritesAFileFailsCleanly) {
  testing::TempDir dir;
  constexpr fs::perms kReadable = fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec;
  constexpr fs::perms kReadOnly = kReadable & ~fs::perms::owner_write;
  fs::permissions(dir.Path(), kReadable);
  const std::string layout = dir.File("inverter.msk");
  const std::string rules = dir.File("es207.rul");
  testing::WriteFile(layout, testing::ReadFile(testing::DataFile("examples/inverter.msk")));
  testing::WriteFile(rules, testing::ReadFile(testing::DataFile("es207.rul")));
  fs::create_directory(dir.File("good"));
  for (const Fault& f : kFaults)
    if (!f.missing) fs::create_directory(dir.File(f.directory));
  for (const auto& command : WritingCommands(layout)) {
    SCOPED_TRACE(command[0] + " " + command.back());
    const std::vector<std::string> good = Aimed(command, dir.File("good"), rules);
    const CliResult written = RunTool(good);
    ASSERT_NE(written.status, kExitUsage) << written.err;
    ASSERT_GT(fs::file_size(OutputOf(good)), 16u);
    for (const Fault& fault : kFaults) {
      SCOPED_TRACE(fault.name);
      const std::string target = dir.File(fault.directory);
      const std::vector<std::string> args = Aimed(command, target, rules);
      const std::string output = OutputOf(args);
      if (!fault.missing) {
        fs::permissions(target, kReadable);
        testing::WriteFile(output, "old contents");
        if (fault.readOnly) fs::permissions(target, kReadOnly);
      }
      const CliResult r = fault.run(args);
      EXPECT_EQ(r.status, kExitUsage) << r.out;
      EXPECT_NE(r.err.find("\"" + output + "\": " + fault.reason), std::string::npos) << r.err;
      if (!fault.missing) {
        EXPECT_EQ(testing::ReadFile(output), "old contents");
        for (const std::string& name : Entries(target))
          EXPECT_NE(name[0], '.') << "a temporary file is left: " << name;
      }
    }
  }
}

}  // namespace
}  // namespace tarnisk
