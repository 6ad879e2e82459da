#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "config/DisplayConfig.h"

// The 88-byte configuration record: fields at fixed offsets, little-endian,
// pad bytes written as zero. The display parameters and the communication
// test fields are not part of it.
constexpr std::size_t RecordSize = 88;
using TRecord = std::array<std::uint8_t, RecordSize>;

TRecord encodeRecord(const TDisplayConfig& cfg);

// Copies every record field into cfg, bit for bit; fields outside the record keep their values.
void decodeRecord(const TRecord& record, TDisplayConfig& cfg);
