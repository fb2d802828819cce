#pragma once
// Shared pieces of the GDSII and CIF tests: technologies loaded from the
// bundled rule files, layouts made from what a reader returns, the live
// contents of a layout in a comparable order, seeded random layouts, and a
// small GDSII stream builder for hand-made inputs.

#include <cstdint>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/layout.h"
#include "core/technology.h"
#include "interchange/imported_layout.h"

namespace tarnisk {

// Readable values in failure messages.
void PrintTo(const ImportedBox& b, std::ostream* out);
void PrintTo(const ImportedText& t, std::ostream* out);

}  // namespace tarnisk

namespace tarnisk::testing {

// A rule file's layer table and technology, loaded through the editor state
// once per rule file.
struct TechnologyTables {
  LayerTable layers;
  Technology technology;
};
const TechnologyTables& Tables(const std::string& ruleFile);

// A layout with the rule file's layers; empty, or opened from an example.
std::unique_ptr<Layout> EmptyLayout(const std::string& ruleFile);
std::unique_ptr<Layout> ExampleLayout(const std::string& example, const std::string& ruleFile);

// A layout holding what a reader returned, appended record by record.
std::unique_ptr<Layout> LayoutFrom(const ImportedLayout& in, const LayerTable& layers);

// Live boxes (other than the gate layers) and live texts, sorted.
std::vector<ImportedBox> LiveBoxes(const Layout& layout);
std::vector<ImportedText> LiveTexts(const Layout& layout);
std::vector<ImportedBox> Sorted(std::vector<ImportedBox> boxes);
std::vector<ImportedText> Sorted(std::vector<ImportedText> texts);

// A seeded random layout: boxes on every layer (gate layers included, which
// no writer may pass on), a few erased, contacts and vias of rule size and
// other sizes, and texts without blanks.
std::unique_ptr<Layout> RandomLayout(const std::string& ruleFile, uint32_t seed, int boxes,
                                     int texts);

// The CIF text of a layout as the editor's CIF writer makes it.
std::string CifOf(const Layout& layout, const std::string& ruleFile, int unit);

// Builds GDSII streams record by record.
class GdsBuilder {
 public:
  explicit GdsBuilder(std::string bytes = {}) : bytes_(std::move(bytes)) {}
  GdsBuilder& Record(uint8_t type, uint8_t dataType, const std::string& data);
  GdsBuilder& NoData(uint8_t type) { return Record(type, 0, ""); }
  GdsBuilder& Int16(uint8_t type, std::vector<int> values);
  GdsBuilder& Int32(uint8_t type, std::vector<int32_t> values);
  GdsBuilder& Real8(uint8_t type, std::vector<double> values);
  GdsBuilder& Ascii(uint8_t type, const std::string& text);

  // HEADER, BGNLIB, LIBNAME and UNITS with a database unit in metres.
  GdsBuilder& Begin(double databaseUnit);
  GdsBuilder& Structure(const std::string& name);  // BGNSTR, STRNAME
  GdsBuilder& Boundary(int layer, std::vector<int32_t> xy);
  GdsBuilder& Text(int layer, int32_t x, int32_t y, const std::string& text);
  // SREF with optional STRANS / MAG / ANGLE.
  GdsBuilder& Sref(const std::string& name, int32_t x, int32_t y, bool reflect = false,
                   double angle = 0, double mag = 1);
  GdsBuilder& Aref(const std::string& name, int cols, int rows, std::vector<int32_t> xy);
  GdsBuilder& EndStructure() { return NoData(0x07); }
  std::string End();  // ENDLIB

  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace tarnisk::testing
