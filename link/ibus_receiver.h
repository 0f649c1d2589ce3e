#pragma once
// Collects the register's reply from received chunks: in frame mode a 301-byte frame that
// repeats the request's header, in single-byte mode one of 0x02, 0x05 and 0x55. A byte
// that does not fit discards what was collected; nothing is written past the frame.

#include "link/ibus_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>

class TIBusReceiver {
public:
    // Starts a new reply: nothing received (-1), no reply byte.
    void Reset();
    // Takes a chunk; returns true when the reply is complete (the rest of the chunk is ignored).
    bool Feed(const uint8_t* bytes, std::size_t count);
    // How many bytes of the last chunk the reply took, up to and including its last byte.
    std::size_t Consumed() const { return consumed_; }

    bool frameMode = false;
    std::array<uint8_t, 3> expectedHeader{};

    int State() const { return state_; }      // -1 nothing since Reset, 0 receiving, 1 complete
    uint8_t ReplyByte() const { return replyByte_; }  // 0 when a frame completed the reply
    const ibus::Frame& FrameBytes() const { return frame_; }
    std::size_t Position() const { return pos_; }

private:
    bool FeedFrame(const uint8_t* bytes, std::size_t count);
    bool FeedSingle(const uint8_t* bytes, std::size_t count);

    ibus::Frame frame_{};
    std::size_t pos_ = 0;
    std::size_t consumed_ = 0;
    int state_ = -1;
    uint8_t replyByte_ = 0;
};
