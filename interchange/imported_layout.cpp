#include "interchange/imported_layout.h"

#include <algorithm>

#include "core/layout.h"

namespace tarnisk {

void AddDropped(std::map<std::string, int>& dropped, const std::string& kind, int64_t count) {
  if (count <= 0) return;
  int& n = dropped[kind];
  n = int(std::min<int64_t>(int64_t{n} + count, INT32_MAX));
}

const char* NormaliseText(std::string& text) {
  for (char& ch : text)
    if (ch == '\0' || ch == '\r' || ch == '\n') ch = ' ';
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.empty()) return drop::kEmptyText;
  if (text.size() > kMaxTextLength) return drop::kLongText;
  return nullptr;
}

}  // namespace tarnisk
