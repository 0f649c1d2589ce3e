#include "link/ibus_frame.h"

#include <gtest/gtest.h>
#include <random>

using namespace ibus;

namespace {
std::vector<uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> out;
    for (int v : list)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}
std::vector<uint8_t> slice(const Frame& f, std::size_t from, std::size_t n)
{
    return {f.begin() + from, f.begin() + from + n};
}
}  // namespace

TEST(FrameCodec, ZeroPayloadGivesAllMarkerBytes)
{
    Payload p{};
    EXPECT_EQ(PayloadChecksum(p), 0);
    const Frame f = PackFrame(p);
    EXPECT_EQ(f[0], 0x03);
    EXPECT_EQ(f[300], 0x04);
    for (std::size_t i = 1; i < 300; ++i)
        ASSERT_EQ(f[i], 0x80) << i;
}

TEST(FrameCodec, InformationQueryVector)
{
    Payload p{};
    p[0] = 0x0E;
    p[1] = 0x10;
    p[5] = 0x10;
    EXPECT_EQ(PayloadChecksum(p), 0x002E);
    StoreChecksum(p);
    const Frame f = PackFrame(p);
    EXPECT_EQ(slice(f, 0, 9), bytes({0x03, 0x8E, 0x90, 0x80, 0x80, 0x80, 0x90, 0x80, 0x80}));
    for (std::size_t i = 9; i < 297; ++i)
        ASSERT_EQ(f[i], 0x80) << i;
    EXPECT_EQ(slice(f, 297, 4), bytes({0xAE, 0x80, 0x80, 0x04}));
}

TEST(FrameCodec, HighBitsGoToTheGroupByte)
{
    Payload p{};
    p[0] = 0xA5;
    p[6] = 0xFF;
    p[258] = 0x80;
    EXPECT_EQ(PayloadChecksum(p), 0x0224);
    StoreChecksum(p);
    const Frame f = PackFrame(p);
    EXPECT_EQ(slice(f, 1, 8), bytes({0xA5, 0x80, 0x80, 0x80, 0x80, 0x80, 0xFF, 0xC1}));
    EXPECT_EQ(f[296], 0xC0);
    EXPECT_EQ(slice(f, 297, 4), bytes({0xA4, 0x82, 0x80, 0x04}));
}

TEST(FrameCodec, ChecksumKeepsLowSixteenBits)
{
    Payload p{};
    for (std::size_t i = 0; i < kPayloadDataBytes; ++i)
        p[i] = 0xFF;
    EXPECT_EQ(PayloadChecksum(p), 0x01FD);
    StoreChecksum(p);
    EXPECT_EQ(p[259], 0xFD);
    EXPECT_EQ(p[260], 0x01);
    const Frame f = PackFrame(p);
    EXPECT_EQ(slice(f, 297, 3), bytes({0xFD, 0x81, 0x81}));
}

TEST(FrameCodec, RoundTripOfRandomPayloads)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        Payload p;
        for (auto& b : p)
            b = static_cast<uint8_t>(byte(rng));
        const bool withChecksum = round % 2 == 0;
        if (withChecksum)
            StoreChecksum(p);
        const Frame f = PackFrame(p);
        for (std::size_t i = 1; i < 300; ++i)
            ASSERT_GE(f[i], 0x80);
        const Unpacked u = UnpackFrame(f);
        ASSERT_EQ(u.payload, p);
        const uint16_t sum = PayloadChecksum(p);
        const bool matches = p[259] == (sum & 0xFF) && p[260] == (sum >> 8);
        ASSERT_EQ(u.checksumOk, matches);
        if (withChecksum) {
            ASSERT_TRUE(u.checksumOk);
        }
    }
}

TEST(FrameCodec, UnpackIgnoresStartEndAndTopBits)
{
    Payload p{};
    p[10] = 0x42;
    StoreChecksum(p);
    Frame f = PackFrame(p);
    f[0] = 0x00;
    f[300] = 0xFF;
    for (std::size_t i = 1; i < 300; ++i)
        f[i] &= 0x7F;
    const Unpacked u = UnpackFrame(f);
    EXPECT_TRUE(u.checksumOk);
    EXPECT_EQ(u.payload, p);
}

TEST(BcdHelpers, PackAndByte)
{
    EXPECT_EQ(BcdPack(1234, 8), bytes({0x00, 0x00, 0x12, 0x34}));
    EXPECT_EQ(BcdPack(311295, 6), bytes({0x31, 0x12, 0x95}));
    EXPECT_EQ(BcdPack(12345, 4), bytes({0x23, 0x45}));
    EXPECT_EQ(BcdPack(7, 1), bytes({0x07}));
    EXPECT_EQ(BcdPack(123, 3), bytes({0x01, 0x23}));
    EXPECT_TRUE(BcdPack(5, 0).empty());
    EXPECT_EQ(BcdByte(2015), 0x15);
    EXPECT_EQ(BcdByte(9), 0x09);
    EXPECT_EQ(BcdByte(65535), 0x35);

    uint8_t dst[4] = {1, 2, 3, 4};
    const uint8_t src[4] = {9, 9, 9, 9};
    CopyBytes(dst, src, 0);
    CopyBytes(dst, src, -3);
    EXPECT_EQ(dst[0], 1);
    CopyBytes(dst, src, 2);
    EXPECT_EQ(dst[1], 9);
    EXPECT_EQ(dst[2], 3);
}
