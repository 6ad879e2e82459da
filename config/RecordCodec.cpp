#include "config/RecordCodec.h"

#include <bit>

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

std::size_t relayOffset(int n)
{
    return n == 2 ? 76 : 64;
}

} // namespace

TRecord encodeRecord(const TDisplayConfig& c)
{
    TRecord r{};
    r[0] = c.PortIndex;
    r[1] = c.ParityIndex;
    r[2] = c.DataBitsIndex;
    r[3] = c.StopBitsIndex;
    r[4] = c.BaudIndex;
    r[5] = c.Address;
    r[6] = c.DigitsIndex;
    r[7] = c.InputMode;
    r[8] = c.ProcessInput;
    putF64(r, 16, c.InputValue1);
    putF64(r, 24, c.DisplayValue1);
    putF64(r, 32, c.InputValue2);
    putF64(r, 40, c.DisplayValue2);
    r[48] = c.DecimalPoint;
    r[49] = c.TempUnits;
    r[50] = c.ProbeType;
    r[51] = c.Resolution;
    putF64(r, 56, c.TempOffset);
    // Relay 1 at 64, relay 2 at 76: one 12-byte block each.
    for (int n : {1, 2}) {
        const std::size_t at = relayOffset(n);
        const TConstRelayFields relay = c.relay(n);
        r[at] = relay.Enabled;
        r[at + 1] = static_cast<std::uint8_t>(relay.DelayType);
        r[at + 2] = static_cast<std::uint8_t>(relay.TriggerLevel);
        putI32(r, at + 4, relay.Delay);
        putI32(r, at + 8, relay.Setpoint);
    }
    return r;
}

void decodeRecord(const TRecord& r, TDisplayConfig& c)
{
    c.PortIndex = r[0];
    c.ParityIndex = r[1];
    c.DataBitsIndex = r[2];
    c.StopBitsIndex = r[3];
    c.BaudIndex = r[4];
    c.Address = r[5];
    c.DigitsIndex = r[6];
    c.InputMode = r[7];
    c.ProcessInput = r[8];
    c.InputValue1 = getF64(r, 16);
    c.DisplayValue1 = getF64(r, 24);
    c.InputValue2 = getF64(r, 32);
    c.DisplayValue2 = getF64(r, 40);
    c.DecimalPoint = r[48];
    c.TempUnits = r[49];
    c.ProbeType = r[50];
    c.Resolution = r[51];
    c.TempOffset = getF64(r, 56);
    for (int n : {1, 2}) {
        const std::size_t at = relayOffset(n);
        const TRelayFields relay = c.relay(n);
        relay.Enabled = r[at];
        relay.DelayType = static_cast<char>(r[at + 1]);
        relay.TriggerLevel = static_cast<char>(r[at + 2]);
        relay.Delay = getI32(r, at + 4);
        relay.Setpoint = getI32(r, at + 8);
    }
}
