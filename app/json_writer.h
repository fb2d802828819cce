#pragma once
// A small streaming writer of compact JSON for the batch tool's output.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnisk {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view value);
  JsonWriter& Number(double value);  // non-finite values are written as null
  JsonWriter& Integer(int64_t value);
  JsonWriter& Bool(bool value);
  JsonWriter& Null();

  const std::string& Text() const { return out_; }

 private:
  void BeforeValue();

  std::string out_;
  std::vector<bool> firstInContainer_;
  bool afterKey_ = false;
};

// Appends `text` as a quoted JSON string. Bytes that do not form valid UTF-8
// are taken as Latin-1, so that any label read from a file stays printable.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace tarnisk
