#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/json_output.h"
#include "core/utf8.h"

namespace tarnisk {
namespace {

TEST(Utf8, ValidSequencesPassAndOtherBytesAreTakenAsLatin1) {
  EXPECT_EQ(ValidUtf8("caf\xc3\xa9"), "caf\xc3\xa9");
  EXPECT_EQ(ValidUtf8("caf\xe9 \xc3"), "caf\xc3\xa9 \xc3\x83");  // Latin-1 bytes and a cut sequence
  EXPECT_EQ(ValidUtf8("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xc2\x80");  // an encoded surrogate
}

TEST(JsonOutput, StringsAreEscapedAndAlwaysValidUtf8) {
  EXPECT_EQ(JsonText(Json("a\"b\\c\n\x01\x7f")), R"("a\"b\\c\n\u0001)" "\x7f\"");
  EXPECT_EQ(JsonText(Json("caf\xe9")), "\"caf\xc3\xa9\"");
}

TEST(JsonOutput, NonFiniteNumbersBecomeNullAndKeysKeepTheirOrder) {
  Json j;
  j["b"] = std::numeric_limits<double>::infinity();
  j["a"] = std::nan("");
  j["r"] = JsonRect({1, 2, 3, 4});
  EXPECT_EQ(JsonText(j), R"({"b":null,"a":null,"r":[1,2,3,4]})");
}

}  // namespace
}  // namespace tarnisk
