#include "link/ibus_receiver.h"

void TIBusReceiver::Reset()
{
    state_ = -1;
    pos_ = 0;
    replyByte_ = 0;
}

bool TIBusReceiver::Feed(const uint8_t* bytes, std::size_t count)
{
    if (state_ == 1) {
        consumed_ = 0;
        return true;
    }
    consumed_ = count;
    if (state_ == -1)
        state_ = 0;
    return frameMode ? FeedFrame(bytes, count) : FeedSingle(bytes, count);
}

bool TIBusReceiver::FeedFrame(const uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == ibus::kReplyNegative) {
            replyByte_ = b;
            state_ = 1;
            consumed_ = i + 1;
            return true;
        }
        bool accepted;
        if (pos_ == 0)
            accepted = b == ibus::kFrameStart;
        else if (pos_ <= 3)
            accepted = b == expectedHeader[pos_ - 1];
        else if (pos_ < ibus::kFrameSize - 1)
            accepted = b >= 0x80;
        else
            accepted = b == ibus::kFrameEnd;

        if (!accepted) {
            pos_ = 0;
            if (b == ibus::kFrameStart) {
                frame_[0] = b;
                pos_ = 1;
            }
            continue;
        }
        frame_[pos_] = b;
        if (pos_ == ibus::kFrameSize - 1) {
            state_ = 1;
            pos_ = 0;
            consumed_ = i + 1;
            return true;
        }
        ++pos_;
    }
    return false;
}

bool TIBusReceiver::FeedSingle(const uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        if (b == ibus::kReplyPositive || b == ibus::kReplyNegative || b == ibus::kReply55) {
            replyByte_ = b;
            state_ = 1;
            consumed_ = i + 1;
            return true;
        }
    }
    return false;
}
