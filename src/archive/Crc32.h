#pragma once
// The CRC-32 of the ZIP format: reflected, polynomial 0xEDB88320, started
// at all ones and inverted at the end.

#include <array>
#include <cstddef>
#include <cstdint>

using CrcTableArray = std::array<uint32_t, 256>;

// The byte-at-a-time table: entry n is n run through eight shift-and-XOR
// rounds.
CrcTableArray MakeCrcTable();

// The CRC-32 of `size` more bytes, going on from `crc` (0 before the first
// byte): Crc32(Crc32(0, a), b) is the CRC-32 of a followed by b. Uses the
// processor's carry-less multiply when it has one.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
