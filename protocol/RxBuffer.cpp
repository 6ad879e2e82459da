#include "protocol/RxBuffer.h"

#include "protocol/Requests.h"

void TRxBuffer::reset() noexcept
{
    length_ = 0;
    state_ = TState::Incomplete;
}

TRxBuffer::TState TRxBuffer::append(std::span<const std::uint8_t> piece) noexcept
{
    bool dropped = false;
    for (std::uint8_t byte : piece) {
        if (static_cast<std::size_t>(length_) >= kCapacity) {
            dropped = true;
            break;
        }
        data_[static_cast<std::size_t>(++length_)] = byte;
    }
    if (dropped)
        state_ = TState::Overflow;
    else if (data_[static_cast<std::size_t>(length_)] == kCR)
        state_ = TState::Complete;
    else if (static_cast<std::size_t>(length_) == kCapacity)
        state_ = TState::Overflow;
    else
        state_ = TState::Incomplete;
    return state_;
}

std::span<const std::uint8_t> TRxBuffer::reply() const noexcept
{
    return std::span<const std::uint8_t>(data_).subspan(1, static_cast<std::size_t>(length_));
}
