#pragma once
// Whole-file reading and crash-safe writing shared by every file format.

#include <ctime>
#include <string>
#include <vector>

namespace tarnisk {

// Files larger than this are refused: no layout or rule file comes near it,
// and reading one whole must not exhaust memory.
inline constexpr size_t kMaxInputFileSize = 256u << 20;

// Reads the whole file into `contents`. Returns 0 or the errno-style I/O
// result (EFBIG for files above kMaxInputFileSize).
int ReadWholeFile(const std::string& path, std::string& contents);

// Writes `contents` to a new temporary file in the directory of `path`,
// flushes it to disk and renames it over `path` only when every byte was
// written. The temporary file has no name while it is written where the file
// system allows (so that a killed run leaves nothing behind), else it is a
// hidden file beside the target. On any failure the previous file is left
// untouched, the temporary file is removed, and the errno-style result is
// returned (0 = ok). Every file the program writes goes through here.
int WriteFileAtomically(const std::string& path, const std::string& contents);

// WriteFileAtomically for a text file, which is always UTF-8: bytes that are
// not (labels read from files in another encoding) are taken as Latin-1.
int WriteTextFileAtomically(const std::string& path, const std::string& text);

// The local calendar time of `now`.
std::tm LocalTime(std::time_t now);

// The file name with the characters after its last "." replaced by
// `extension`; a name without "." (in its last path part) gets "." and
// `extension` appended.
std::string ReplaceExtension(const std::string& name, const std::string& extension);

// The lines, each ended by a line feed, written as WriteFileAtomically does.
int WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines);

// Local date and time for file headers: day/month/year, `separator`,
// hours:minutes:seconds.
std::string LocalTimeStamp(std::time_t now, char separator);

}  // namespace tarnisk
