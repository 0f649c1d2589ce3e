#include "link/ibus_receiver.h"
#include "tests/support/fake_register_port.h"

#include <gtest/gtest.h>

namespace {
std::vector<uint8_t> frameFor(uint8_t command, uint8_t param, uint8_t data0)
{
    ibus::Payload p{};
    p[0] = command;
    p[1] = param;
    p[3] = data0;
    return FakeRegisterPort::FrameBytes(p);
}
}  // namespace

TEST(IBusReceiver, FrameNeedsTheExpectedHeaderAndEndByte)
{
    TIBusReceiver r;
    r.frameMode = true;
    const auto good = frameFor(14, 32, 0x42);
    r.expectedHeader = {good[1], good[2], good[3]};
    r.Reset();
    EXPECT_EQ(r.State(), -1);

    const auto other = frameFor(14, 33, 0x42);
    EXPECT_FALSE(r.Feed(other.data(), other.size()));  // another header: never a reply
    EXPECT_EQ(r.State(), 0);

    std::vector<uint8_t> broken = good;
    broken[300] = 0x05 + 0x7A;  // not the end byte: the frame is dropped
    EXPECT_FALSE(r.Feed(broken.data(), broken.size()));
    EXPECT_EQ(r.Position(), 0u);

    std::vector<uint8_t> stream = {0x03, 0x03};
    stream.insert(stream.end(), good.begin() + 1, good.end());
    stream.push_back(0x05);  // after completion: ignored
    EXPECT_TRUE(r.Feed(stream.data(), stream.size()));
    EXPECT_EQ(r.ReplyByte(), 0);
    EXPECT_TRUE(std::equal(good.begin(), good.end(), r.FrameBytes().begin()));
    EXPECT_TRUE(r.Feed(stream.data(), 1));  // stays complete until Reset
}

TEST(IBusReceiver, NakEndsAFrameAndSingleByteModeSkipsNoise)
{
    TIBusReceiver r;
    r.frameMode = true;
    const auto good = frameFor(0, 0, 0);
    r.expectedHeader = {good[1], good[2], good[3]};
    r.Reset();
    EXPECT_FALSE(r.Feed(good.data(), 150));
    const uint8_t nak = 0x05;
    EXPECT_TRUE(r.Feed(&nak, 1));
    EXPECT_EQ(r.ReplyByte(), 0x05);

    r.frameMode = false;
    r.Reset();
    const uint8_t noise[] = {0x03, 0x80, 0xFF, 0x00};
    EXPECT_FALSE(r.Feed(noise, sizeof noise));
    const uint8_t reply[] = {0x01, 0x55, 0x02};
    EXPECT_TRUE(r.Feed(reply, sizeof reply));
    EXPECT_EQ(r.ReplyByte(), 0x55);
}
