#include "app/json_output.h"

#include <ostream>

#include "core/utf8.h"

namespace tarnisk {

namespace {

Json WithValidStrings(const Json& value) {
  if (value.is_string()) return ValidUtf8(value.get_ref<const std::string&>());
  if (value.is_array()) {
    Json out = Json::array();
    for (const Json& item : value) out.push_back(WithValidStrings(item));
    return out;
  }
  if (value.is_object()) {
    Json out = Json::object();
    for (const auto& [key, item] : value.items()) out[ValidUtf8(key)] = WithValidStrings(item);
    return out;
  }
  return value;
}

}  // namespace

Json JsonRect(const Rect& r) { return Json::array({r.xmin, r.ymin, r.xmax, r.ymax}); }

std::string JsonText(const Json& value) { return WithValidStrings(value).dump(); }

void PrintJson(std::ostream& out, const Json& value) { out << JsonText(value) << '\n'; }

}  // namespace tarnisk
