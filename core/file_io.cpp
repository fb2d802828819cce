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

std::filesystem::path DirectoryOf(const std::string& path) {
  const std::filesystem::path target(path);
  return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// The name of a hidden temporary file beside `path`, unique per attempt.
std::string TemporaryName(const std::string& path, int attempt) {
  std::string name(".");
  name.append(std::filesystem::path(path).filename().string()).append(".tmp");
  name.append(std::to_string(::getpid())).append("-").append(std::to_string(attempt));
  return (DirectoryOf(path) / name).string();
}

// Creates an exclusive temporary file in the directory of `path`.
int CreateTemporary(const std::string& path, std::string& tempPath) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = TemporaryName(path, attempt);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes the contents, gives the file the mode of the file it replaces and
// flushes it to disk.
int FillTemporary(int fd, const std::string& path, const std::string& contents) {
  int error = WriteAll(fd, contents);
  struct stat old {};
  if (error == 0 && ::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  return error;
}

// Links the unnamed file `fd` in under a fresh temporary name and renames that
// over `path`: the name exists only between the two calls.
int LinkOver(int fd, const std::string& path) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string tempPath = TemporaryName(path, attempt);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tempPath.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return errno;
    }
    if (std::rename(tempPath.c_str(), path.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(tempPath.c_str());
    return error;
  }
  return EEXIST;
}

// Through a file without a name (O_TMPFILE): a run killed while writing
// leaves nothing behind. Returns -1 when the file system offers no such file.
int WriteThroughUnnamedFile(const std::string& path, const std::string& contents) {
#ifdef O_TMPFILE
  const int fd = ::open(DirectoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? -1 : errno;
  int error = FillTemporary(fd, path, contents);
  if (error == 0) error = LinkOver(fd, path);
  if (::close(fd) != 0 && error == 0) error = errno;
  // /proc may be missing (a chroot): the named temporary file still works.
  return error == ENOENT && std::filesystem::exists(DirectoryOf(path)) ? -1 : error;
#else
  (void)path, (void)contents;
  return -1;
#endif
}

// Through a hidden named temporary file beside the target.
int WriteThroughNamedFile(const std::string& path, const std::string& contents) {
  std::string tempPath;
  const int fd = CreateTemporary(path, tempPath);
  if (fd < 0) return errno;
  int error = FillTemporary(fd, path, contents);
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(tempPath.c_str());
  return error;
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
  const int error = WriteThroughUnnamedFile(path, contents);
  return error >= 0 ? error : WriteThroughNamedFile(path, contents);
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
