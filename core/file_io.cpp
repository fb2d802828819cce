#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "core/utf8.h"

namespace tarnisk {

int ReadWholeFile(const std::string& path, std::string& contents) {
  contents.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return error;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd);
      return error;
    }
    if (contents.size() + static_cast<size_t>(n) > kMaxInputFileSize) {
      ::close(fd);
      contents.clear();
      return EFBIG;
    }
    contents.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return 0;
}

namespace {

int WriteAll(int fd, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

// Creates an exclusive temporary file in the directory of `path`.
int CreateTemporary(const std::string& path, std::string& tempPath) {
  const std::filesystem::path target(path);
  const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name(".");
    name.append(target.filename().string()).append(".tmp").append(std::to_string(::getpid()));
    name.append("-").append(std::to_string(attempt));
    tempPath = (dir / name).string();
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

int WriteTextFileAtomically(const std::string& path, const std::string& text) {
  return WriteFileAtomically(path, ValidUtf8(text));
}

std::tm LocalTime(std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string LocalTimeStamp(std::time_t now, char separator) {
  const std::tm local = LocalTime(now);
  const char format[] = {'%', 'd', '/', '%', 'm', '/', '%', 'Y', separator,
                         '%', 'H', ':', '%', 'M', ':', '%', 'S', '\0'};
  char buffer[64];
  std::strftime(buffer, sizeof buffer, format, &local);
  return buffer;
}

int WriteFileAtomically(const std::string& path, const std::string& contents) {
  std::string tempPath;
  const int fd = CreateTemporary(path, tempPath);
  if (fd < 0) return errno;
  int error = WriteAll(fd, contents);
  struct stat old {};
  if (error == 0 && ::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(tempPath.c_str());
  return error;
}

std::string ReplaceExtension(const std::string& name, const std::string& extension) {
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return name + "." + extension;
  return name.substr(0, dot + 1) + extension;
}

int WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return WriteFileAtomically(path, text);
}

}  // namespace tarnisk
