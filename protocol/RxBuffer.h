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
        Complete,   // the last stored byte is CR: the reply is whole
        Overflow,   // full without a CR, or bytes did not fit: end the exchange
    };

    // Forget the reply (length 0); called once the request has been written.
    void reset() noexcept;

    // Append one piece as it was read. The reply is complete when the piece
    // ends with CR; a CR inside a piece is ordinary data. Bytes that do not
    // fit are discarded and reported as overflow, never stored past the end.
    TState append(std::span<const std::uint8_t> piece) noexcept;

    TState state() const noexcept { return state_; }
    bool complete() const noexcept { return state_ == TState::Complete; }

    // Number of reply bytes stored (the index of the last stored byte).
    std::int32_t length() const noexcept { return length_; }

    // The stored reply bytes, offsets 0..length-1 (CR included when complete).
    std::span<const std::uint8_t> reply() const noexcept;

    // The raw buffer, index 0 included.
    const std::array<std::uint8_t, kSize>& raw() const noexcept { return data_; }

private:
    std::array<std::uint8_t, kSize> data_{};
    std::int32_t length_ = 0;
    TState state_ = TState::Incomplete;
};
