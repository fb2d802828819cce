#pragma once
// "3D geometry (UCP)" on the session: extracts, then writes the UCP file
// beside the layout file, reporting in the status line.

#include <ctime>
#include <string>

#include "process/ucp_file.h"

namespace tarnisk {

struct Session;

struct UcpWriteResult {
  std::string path;
  UcpFile file;
  int ioError = 0;  // 0, or the errno-style result of writing the file
};

UcpWriteResult ConvertToUcp(Session& s, const UcpSettings& settings, std::time_t now);

// The same, to a chosen path.
UcpWriteResult ConvertToUcpFile(Session& s, const std::string& path, const UcpSettings& settings,
                                std::time_t now);

}  // namespace tarnisk
