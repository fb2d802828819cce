#include "tests/fuzz/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarnisk::FuzzMeasurementReader(data, size);
  return 0;
}
