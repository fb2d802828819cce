#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/json_writer.h"

namespace tarnisk {
namespace {

TEST(JsonWriter, NestsContainersWithCommas) {
  JsonWriter j;
  j.BeginObject().Key("a").Integer(1).Key("b").BeginArray().Integer(2).Bool(true).Null();
  j.BeginObject().EndObject().EndArray().Key("c").Number(0.5).EndObject();
  EXPECT_EQ(j.Text(), R"({"a":1,"b":[2,true,null,{}],"c":0.5})");
}

TEST(JsonWriter, NonFiniteNumbersBecomeNull) {
  JsonWriter j;
  j.BeginArray().Number(std::numeric_limits<double>::infinity()).Number(std::nan("")).EndArray();
  EXPECT_EQ(j.Text(), "[null,null]");
}

TEST(JsonWriter, StringsAreEscapedAndAlwaysValidUtf8) {
  std::string out;
  AppendJsonString(out, "a\"b\\c\n\x01\x7f");
  EXPECT_EQ(out, R"("a\"b\\c\n\u0001\u007f")");
  out.clear();
  AppendJsonString(out, "caf\xc3\xa9");  // valid UTF-8 passes through
  EXPECT_EQ(out, "\"caf\xc3\xa9\"");
  out.clear();
  AppendJsonString(out, "caf\xe9 \xc3");  // Latin-1 bytes and a cut sequence
  EXPECT_EQ(out, "\"caf\xc3\xa9 \xc3\x83\"");
  out.clear();
  AppendJsonString(out, "\xed\xa0\x80");  // an encoded surrogate is not UTF-8
  EXPECT_EQ(out, "\"\xc3\xad\xc2\xa0\xc2\x80\"");
}

}  // namespace
}  // namespace tarnisk
