#pragma once
// The batch tool's JSON: objects keep the order in which their keys were
// set, non-finite numbers are written as null, and every string (keys too)
// is made valid UTF-8 on output, whatever bytes a layout or rule file held.

#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

#include "core/geometry.h"

namespace tarnisk {

using Json = nlohmann::ordered_json;

// A rectangle as [xmin, ymin, xmax, ymax].
Json JsonRect(const Rect& r);

// The compact text of a value.
std::string JsonText(const Json& value);

// Writes the compact text and a line end.
void PrintJson(std::ostream& out, const Json& value);

}  // namespace tarnisk
