#pragma once
// Entry points shared by the libFuzzer targets and the corpus replay test.
// Each feeds arbitrary bytes to one reader and checks what must hold for any
// input; a violated property aborts.

#include <cstddef>
#include <cstdint>

namespace tarnisk {

void FuzzLayoutReader(const uint8_t* data, size_t size);
void FuzzRuleReader(const uint8_t* data, size_t size);
void FuzzMeasurementReader(const uint8_t* data, size_t size);

}  // namespace tarnisk
