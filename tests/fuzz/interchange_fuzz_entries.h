#pragma once
// Entry points of the GDSII and CIF reader fuzz targets, shared with the
// corpus replay test. Each feeds arbitrary bytes to one reader and checks
// what must hold for any input; a violated property aborts.

#include <cstddef>
#include <cstdint>

namespace tarnisk {

void FuzzGdsReader(const uint8_t* data, size_t size);
void FuzzCifReader(const uint8_t* data, size_t size);

}  // namespace tarnisk
