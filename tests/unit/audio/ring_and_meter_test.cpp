// Jitter ring drain arithmetic, the playback meter form and the codec pair.
#include <gtest/gtest.h>

#include <cstring>

#include "audio/codec_pair.h"
#include "audio/jitter_drain.h"
#include "audio/playback_meter.h"

namespace orvane::audio {
namespace {

// What the voice receive thread does with one block: store at the write index, advance it,
// never beyond the last slot.
void storeBlock(ClientState& s, std::uint8_t fill) {
    std::lock_guard<std::mutex> hold(s.audio.ringLock);
    std::int32_t i = s.audio.ringWriteIndex;
    std::memset(s.audio.jitterRing + i * kAudioBlockBytes, fill, kAudioBlockBytes);
    s.audio.ringWriteIndex = i < kJitterSlots - 1 ? i + 1 : kJitterSlots - 1;
}

std::uint8_t slotFill(const std::uint8_t* base, int slot) { return base[slot * kAudioBlockBytes + 7]; }

TEST(JitterDrain, MovesDownFourSlotsClearsTheTopAndHandsOverTheFront) {
    ClientState s;
    for (int slot = 0; slot < kJitterSlots; ++slot)
        std::memset(s.audio.jitterRing + slot * kAudioBlockBytes, slot + 1, kAudioBlockBytes);
    s.audio.ringWriteIndex = 15;
    std::uint8_t group[kPlayGroupBytes];
    drainJitterRing(s, group);
    for (int slot = 0; slot < 12; ++slot) EXPECT_EQ(slotFill(s.audio.jitterRing, slot), slot + 5);
    for (int slot = 12; slot < 16; ++slot) EXPECT_EQ(slotFill(s.audio.jitterRing, slot), 0);
    for (int b = 0; b < 4; ++b) EXPECT_EQ(slotFill(group, b), b + 5);
    EXPECT_EQ(s.audio.ringWriteIndex, 11);
}

TEST(JitterDrain, WriteIndexNeverGoesBelowFour) {
    for (std::int32_t start : {5, 7, 8, 9, 15}) {
        ClientState s;
        s.audio.ringWriteIndex = start;
        std::uint8_t group[kPlayGroupBytes];
        drainJitterRing(s, group);
        EXPECT_EQ(s.audio.ringWriteIndex, std::max(4, start - 4)) << start;
    }
}

TEST(JitterDrain, BurstOfTwentyKeepsElevenThenTheLastOne) {
    ClientState s;
    s.audio.ringWriteIndex = 4;
    for (int block = 1; block <= 20; ++block) storeBlock(s, static_cast<std::uint8_t>(block));
    EXPECT_EQ(s.audio.ringWriteIndex, 15);
    std::vector<int> played;
    std::uint8_t group[kPlayGroupBytes];
    for (int cycle = 0; cycle < 4; ++cycle) {
        drainJitterRing(s, group);
        for (int b = 0; b < 4; ++b) played.push_back(slotFill(group, b));
    }
    std::vector<int> expected = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 20, 0, 0, 0, 0};
    EXPECT_EQ(played, expected);
    EXPECT_EQ(s.audio.ringWriteIndex, 4);
}

void fillBlock(std::uint8_t* block, std::int16_t left, std::int16_t right) {
    for (int f = 0; f < 250; ++f) {
        std::memcpy(block + f * 4, &left, 2);
        std::memcpy(block + f * 4 + 2, &right, 2);
    }
}

TEST(PlaybackMeter, FormFollowsTheHalvingRule) {
    struct Case {
        std::int16_t smoothed, left, right;
        std::int32_t leftNeedle, rightNeedle, leftBar, rightBar;
    };
    const Case cases[] = {
        {0, 0, 0, 218, 218, 0, 0},                  // silence
        {0, -32768, -32768, 218, 218, 0, 0},        // the minimum counts as silence
        {1000, 2000, 4000, 222, 226, 1750, 2875},
        {32767, 32767, 32767, 319, 319, 32766, 32766},
        {-5, -3, 3, 218, 218, 1, 1},                 // halves truncate toward zero
    };
    for (const Case& c : cases) {
        ClientState s;
        s.audio.smoothedPeak = c.smoothed;
        std::uint8_t block[kAudioBlockBytes];
        fillBlock(block, c.left, c.right);
        applyPlaybackMeter(s, block);
        EXPECT_EQ(s.audio.leftNeedle, c.leftNeedle) << c.left;
        EXPECT_EQ(s.audio.rightNeedle, c.rightNeedle) << c.left;
        EXPECT_EQ(s.audio.leftBarLevel, c.leftBar) << c.left;
        EXPECT_EQ(s.audio.smoothedPeak, c.leftBar) << c.left;
        EXPECT_EQ(s.audio.rightBarLevel, c.rightBar) << c.left;
    }
}

TEST(PlaybackMeter, FullScaleRepeatedDrivesTheNeedleToTheTop) {
    ClientState s;
    std::uint8_t block[kAudioBlockBytes];
    fillBlock(block, 32767, 32767);
    for (int i = 0; i < 6; ++i) applyPlaybackMeter(s, block);
    EXPECT_EQ(s.audio.leftNeedle, 319);
    EXPECT_GT(s.audio.smoothedPeak, 32000);
    fillBlock(block, 0, 0);
    for (int i = 0; i < 20; ++i) applyPlaybackMeter(s, block);
    EXPECT_EQ(s.audio.leftNeedle, 218);
    EXPECT_EQ(s.audio.smoothedPeak, 0);
}

TEST(CodecPair, CreatedTogetherAndDestroyedTogether) {
    ClientState s;
    createCodecPair(s);
    ASSERT_NE(s.audio.opusEncoder, nullptr);
    ASSERT_NE(s.audio.opusDecoder, nullptr);

    CodecTrialBuffers buffers;
    std::uint8_t block[kAudioBlockBytes];
    fillBlock(block, 1000, -1000);
    EXPECT_TRUE(codecTrialPass(s, block, buffers));

    destroyCodecPair(s);
    EXPECT_EQ(s.audio.opusEncoder, nullptr);
    EXPECT_EQ(s.audio.opusDecoder, nullptr);
    EXPECT_FALSE(codecTrialPass(s, block, buffers)) << "without codecs nothing is sent";
    destroyCodecPair(s);  // harmless twice
}

}  // namespace
}  // namespace orvane::audio
