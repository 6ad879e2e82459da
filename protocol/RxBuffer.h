#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The reply being collected from the display. Reply byte k is stored at index
// k + 1; index 0 is never written and holds 0, so at most 202 reply bytes fit.
class TRxBuffer {
public:
    static constexpr std::size_t kSize = 203;
    static constexpr std::size_t kCapacity = kSize - 1;

    enum class TState {
        Incomplete, // waiting for more pieces
        Complete,   // a CR has been stored: the reply is whole
        Overflow,   // full without a CR: end the exchange
    };

    // Forget the reply (length 0); called once the request has been written.
    void reset() noexcept;

    // Append one piece as it was read. A reply ends at its first CR: bytes
    // after it are not stored but kept aside (dropped()), so that the caller
    // can show them or, when the stored part was an echo of its own request,
    // collect them again. Nothing is ever stored past the end.
    TState append(std::span<const std::uint8_t> piece) noexcept;

    TState state() const noexcept { return state_; }
    bool complete() const noexcept { return state_ == TState::Complete; }

    // Number of reply bytes stored (the index of the last stored byte).
    std::int32_t length() const noexcept { return length_; }

    // The stored reply bytes, offsets 0..length-1 (the CR included when complete).
    std::span<const std::uint8_t> reply() const noexcept;

    // Bytes that came after the reply's CR, or that did not fit, in the
    // pieces appended since the last reset.
    std::span<const std::uint8_t> dropped() const noexcept;

    // The raw buffer, index 0 included.
    const std::array<std::uint8_t, kSize>& raw() const noexcept { return data_; }

private:
    std::array<std::uint8_t, kSize> data_{};
    std::int32_t length_ = 0;
    TState state_ = TState::Incomplete;
    std::array<std::uint8_t, kCapacity> dropped_{};
    std::size_t droppedLength_ = 0;
};
