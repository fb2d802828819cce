#pragma once
// The MSK layout file: a line-oriented text of boxes (REC), resistance marks
// (RST) and texts (TITLE with a property line), coordinates in lambda.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "core/layout.h"

namespace tarnisk {

class Progress;

enum class ReadMode {
  Open = 0,               // the caller has emptied the database
  InsertBeside = 1,       // placed to the right of the current layout
  InsertAtPasteOrigin = 2 // boxes only, lower-left corner on the paste origin
};

// The editor's LastError after a property line with a malformed level or time.
inline constexpr int32_t kErrorInvalidNumericInput = 106;
// The editor's LastError for a file in which no line is a layout record.
inline constexpr int32_t kErrorNotALayout = 107;

// What reading a layout file did. A full table stops the read at the next
// line; a malformed number ends it at once.
// The records a layout file held that found their table full.
struct LayoutReadDropped {
  int boxes = 0, texts = 0, marks = 0;
  int Total() const { return boxes + texts + marks; }
};

struct LayoutReadResult {
  int ioError = 0;               // errno-style result of opening the file, 0 when opened
  TableStatus table = kTableOk;  // the first table that filled up
  LayoutReadDropped dropped;     // the records left out for want of room
  int malformedLine = 0;         // line of a malformed number, 0 when none
  bool notALayout = false;       // no line was a layout record: nothing was read
  std::string message;           // the closing status message

  // The editor's LastError: the I/O result, kErrorNotALayout, the full
  // table's code or kErrorInvalidNumericInput.
  int32_t LastError() const;
};

// Whether any line of the text begins as a layout record (extent, box,
// resistance mark, text or end line). A text without one is not a layout,
// and the reader leaves the database as it is.
bool HoldsLayoutRecords(std::string_view text);

// The same test on a file: true only when the file was read and holds no
// layout record, so that a file that cannot be read is left to the reader.
bool FileIsNotALayout(const std::string& path);

// What the reader returns, reading nothing, for a text without a layout
// record named `name`.
LayoutReadResult NotALayout(const std::string& name);

// Reads a layout file into the database.
LayoutReadResult ReadLayoutFile(Layout& layout, const std::string& path, ReadMode mode,
                                Progress& progress);

// The same reader on text already in memory; `name` is used in messages.
LayoutReadResult ReadLayoutText(Layout& layout, std::string_view text, const std::string& name,
                                ReadMode mode, Progress& progress);

// The file text of the layout as it stands (the writer's lines, in order),
// with `name` on its FIG and FFIG lines and `now` on its VERSION line.
std::string FormatLayoutFile(const Layout& layout, const std::string& name, std::time_t now,
                             Progress& progress);

struct LayoutWriteResult {
  int ioError = 0;  // errno-style, 0 when written
  std::string message;
};

// Purges the layout and writes it whole, replacing the file only once the new
// one is complete; on success the layout is no longer modified and `path`
// becomes its file name.
LayoutWriteResult WriteLayoutFile(Layout& layout, const std::string& path, std::time_t now,
                                  Progress& progress);

}  // namespace tarnisk
