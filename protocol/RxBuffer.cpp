#include "protocol/RxBuffer.h"

#include "protocol/Requests.h"

void TRxBuffer::reset() noexcept
{
    length_ = 0;
    state_ = TState::Incomplete;
    droppedLength_ = 0;
}

TRxBuffer::TState TRxBuffer::append(std::span<const std::uint8_t> piece) noexcept
{
    for (std::uint8_t byte : piece) {
        if (state_ == TState::Incomplete && static_cast<std::size_t>(length_) < kCapacity) {
            data_[static_cast<std::size_t>(++length_)] = byte;
            if (byte == kCR)
                state_ = TState::Complete;
            else if (static_cast<std::size_t>(length_) == kCapacity)
                state_ = TState::Overflow;
        } else if (droppedLength_ < dropped_.size()) {
            dropped_[droppedLength_++] = byte;
        }
    }
    return state_;
}

std::span<const std::uint8_t> TRxBuffer::reply() const noexcept
{
    return std::span<const std::uint8_t>(data_).subspan(1, static_cast<std::size_t>(length_));
}

std::span<const std::uint8_t> TRxBuffer::dropped() const noexcept
{
    return std::span<const std::uint8_t>(dropped_).first(droppedLength_);
}
