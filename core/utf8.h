#pragma once
// Text read from files (labels, node names) in whatever byte encoding it was
// written, made valid UTF-8 for output that must be.

#include <string>
#include <string_view>

namespace tarnisk {

// Valid UTF-8 sequences pass through; every other byte is taken as Latin-1,
// so that any label stays printable.
std::string ValidUtf8(std::string_view text);

}  // namespace tarnisk
