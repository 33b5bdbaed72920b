// The report descriptors of the two Pinworth interfaces: interface 0 has
// 4-byte reports without an ID, interface 1 8-byte reports with one.
#ifndef PINWORTH_TEST_PINWORTH_DESCRIPTORS_H
#define PINWORTH_TEST_PINWORTH_DESCRIPTORS_H

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes PinworthInterface0Descriptor();
Bytes PinworthInterface1Descriptor();

#endif
