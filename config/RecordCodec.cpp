#include "config/RecordCodec.h"

#include <bit>

#include "config/RecordFields.h"

namespace {

void putU32(TRecord& r, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        r[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putU64(TRecord& r, std::size_t at, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        r[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getU32(const TRecord& r, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(r[at + i]) << (8 * i);
    return v;
}

std::uint64_t getU64(const TRecord& r, std::size_t at)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<std::uint64_t>(r[at + i]) << (8 * i);
    return v;
}

void putF64(TRecord& r, std::size_t at, double v) { putU64(r, at, std::bit_cast<std::uint64_t>(v)); }
double getF64(const TRecord& r, std::size_t at) { return std::bit_cast<double>(getU64(r, at)); }
void putI32(TRecord& r, std::size_t at, std::int32_t v) { putU32(r, at, static_cast<std::uint32_t>(v)); }
std::int32_t getI32(const TRecord& r, std::size_t at) { return static_cast<std::int32_t>(getU32(r, at)); }

} // namespace

TRecord encodeRecord(const TDisplayConfig& c)
{
    TRecord r{};
    for (const TRecordField& f : recordFields()) {
        switch (f.type) {
        case TFieldType::Index: r[f.offset] = c.*f.u8; break;
        case TFieldType::Character: r[f.offset] = static_cast<std::uint8_t>(c.*f.ch); break;
        case TFieldType::Integer: putI32(r, f.offset, c.*f.i32); break;
        case TFieldType::Real: putF64(r, f.offset, c.*f.f64); break;
        }
    }
    return r;
}

void decodeRecord(const TRecord& r, TDisplayConfig& c)
{
    for (const TRecordField& f : recordFields()) {
        switch (f.type) {
        case TFieldType::Index: c.*f.u8 = r[f.offset]; break;
        case TFieldType::Character: c.*f.ch = static_cast<char>(r[f.offset]); break;
        case TFieldType::Integer: c.*f.i32 = getI32(r, f.offset); break;
        case TFieldType::Real: c.*f.f64 = getF64(r, f.offset); break;
        }
    }
}
