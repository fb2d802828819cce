#include "session/process/ucp_command.h"

#include <cstring>

#include "core/file_io.h"
#include "process/section.h"
#include "session/analysis/extract_command.h"
#include "session/session.h"

namespace tarnisk {

UcpWriteResult ConvertToUcp(Session& s, const UcpSettings& settings, std::time_t now) {
  return ConvertToUcpFile(s, ReplaceExtension(s.layout.wide.currentFileName, "ucp"), settings,
                          now);
}

UcpWriteResult ConvertToUcpFile(Session& s, const std::string& path, const UcpSettings& settings,
                                std::time_t now) {
  ShowStatus(s.platform, "UCP translator version 2.0 - Start extraction...");
  EnsureExtracted(s);  // every box carries its node number
  UcpWriteResult result;
  result.path = path;
  ShowStatus(s.platform, "Generate " + path + "...");
  result.file = UcpFileLines(s.layout, s.technology.LAMB, MetalLevels(s.technology.META), settings,
                             LocalTimeStamp(now, ' '));
  result.ioError = WriteLinesAtomically(path, result.file.lines);
  ShowStatus(s.platform, result.ioError == 0
                             ? "Generation of " + path + " complete"
                             : "Cannot write " + path + ": " + std::strerror(result.ioError));
  return result;
}

}  // namespace tarnisk
