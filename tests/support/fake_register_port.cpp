#include "tests/support/fake_register_port.h"

#include <algorithm>

FakeRegisterPort::FakeRegisterPort(IWaitClock& clock) : clock_(clock) {}
FakeRegisterPort::~FakeRegisterPort() = default;

void FakeRegisterPort::Later(int delayMs, std::function<void()> action)
{
    alarms_.push_back(clock_.After(delayMs, std::move(action)));
}

void FakeRegisterPort::Open()
{
    if (openFails)
        throw ECommsError("Error opening serial port");
    open = true;
    ++openCount;
    Later(0, [this] {
        if (OnSendDataEmpty)
            OnSendDataEmpty();
    });
}

bool FakeRegisterPort::WriteData(const uint8_t* buffer, uint16_t length)
{
    if (!open || length == 0)
        return false;
    std::vector<uint8_t> block(buffer, buffer + length);
    written.push_back({block, baudRate});
    if (reportSent) {
        Later(sentDelayMs, [this] {
            if (OnSendDataEmpty)
                OnSendDataEmpty();
        });
    }
    React(block);
    return true;
}

void FakeRegisterPort::Deliver(std::vector<uint8_t> bytes, int delayMs, std::size_t chunk)
{
    if (chunk == 0)
        chunk = bytes.size();
    std::size_t at = 0;
    int step = 0;
    while (at < bytes.size()) {
        const std::size_t n = std::min(chunk, bytes.size() - at);
        std::vector<uint8_t> piece(bytes.data() + at, bytes.data() + at + n);
        Later(delayMs + step, [this, piece] {
            if (open && OnReceiveData)
                OnReceiveData(piece.data(), static_cast<uint16_t>(piece.size()));
        });
        at += n;
        step += chunk < bytes.size() ? 1 : 0;
    }
}

void FakeRegisterPort::HangUp(int delayMs)
{
    Later(delayMs, [this] {
        reportSent = false;
        silent = true;
        if (OnRequestHangup)
            OnRequestHangup();
    });
}

std::vector<uint8_t> FakeRegisterPort::FrameBytes(ibus::Payload payload, bool corrupt)
{
    ibus::StoreChecksum(payload);
    if (corrupt)
        payload[259] ^= 0x01;
    const ibus::Frame frame = ibus::PackFrame(payload);
    return {frame.begin(), frame.end()};
}

void FakeRegisterPort::React(const std::vector<uint8_t>& block)
{
    if (block.size() < ibus::kFrameSize)
        return;
    ibus::Frame frame;
    std::copy(block.begin(), block.begin() + ibus::kFrameSize, frame.begin());
    const ibus::Payload request = ibus::UnpackFrame(frame).payload;
    requests.push_back(request);
    if (silent)
        return;

    const int delay = sentDelayMs + replyDelayMs;
    if (request[0] == 14 && request[1] == 1 && request[2] == 0) {
        if (answerSpeeds.count(baudRate))
            Deliver({ibus::kReplyPositive}, delay);
        else if (otherSpeedReply)
            Deliver({otherSpeedReply}, delay);
        return;
    }
    if (request[0] == 14 && request[1] == 2 && request[2] == 0) {
        Deliver({ibus::kReplyPositive}, delay);
        return;
    }
    if (nakReplies > 0) {
        --nakReplies;
        Deliver({ibus::kReplyNegative}, delay);
        return;
    }
    ibus::Payload reply{};
    reply[0] = request[0];
    reply[1] = request[1];
    reply[2] = request[2];
    if (responder && !responder(request, reply))
        return;
    const bool corrupt = corruptReplies > 0;
    if (corrupt)
        --corruptReplies;
    std::vector<uint8_t> bytes = FrameBytes(reply, corrupt);
    if (doubleFrame) {
        ibus::Payload second = reply;
        second[3] ^= 0x7F;
        const std::vector<uint8_t> more = FrameBytes(second);
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    Deliver(bytes, delay, chunkSize);
}
