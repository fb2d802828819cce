#pragma once
// The MSK layout file: a line-oriented text of boxes (REC), resistance marks
// (RST) and texts (TITLE with a property line), coordinates in lambda.

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnisk {

struct AppState;

enum class ReadMode {
  Open = 0,               // the caller has emptied the database
  InsertBeside = 1,       // placed to the right of the current layout
  InsertAtPasteOrigin = 2 // boxes only, lower-left corner on the paste origin
};

// LastError after a property line with a malformed level or time.
inline constexpr int32_t kErrorInvalidNumericInput = 106;

// Reads a layout file into the database; LastError holds the I/O result of
// opening it, a full-table code, or kErrorInvalidNumericInput. Returns the
// line of a malformed number, or 0.
int ReadLayoutFile(AppState& s, const std::string& path, ReadMode mode);

// The same reader on text already in memory; `name` is used in messages.
int ReadLayoutText(AppState& s, std::string_view text, const std::string& name,
                   ReadMode mode);

// The file text of the layout as it stands (the writer's lines, in order),
// with `name` on its FIG and FFIG lines.
std::string FormatLayoutFile(AppState& s, const std::string& name);

// Writes the whole layout, replacing the file only once the new one is
// complete. Returns false (and keeps the modified flag) when it failed.
bool WriteLayoutFile(AppState& s, const std::string& path);

}  // namespace tarnisk
