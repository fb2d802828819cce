#include "tests/fuzz/interchange_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnisk::FuzzGdsReader(data, size);
  return 0;
}
