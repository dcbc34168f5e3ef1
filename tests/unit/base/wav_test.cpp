#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/wav.h"

namespace orvane {
namespace {

std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t u16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The header every reader of ours expects: the chunk sizes count the bytes that follow, the
// byte rate and block alignment follow from the format.
TEST(Wav, HeaderFieldsFollowFromTheFormat) {
    const struct {
        int channels, rate;
        std::vector<std::int16_t> samples;
    } cases[] = {{1, 22050, {1, -1, 300}}, {2, 8000, {0x1234, -2, 5, 6}}, {1, 8000, {}}};
    for (const auto& c : cases) {
        const auto wav = base::encodeWavPcm16(c.samples, c.channels, c.rate);
        const std::uint32_t data = static_cast<std::uint32_t>(c.samples.size() * 2);
        ASSERT_EQ(wav.size(), base::kWavHeaderBytes + data);
        EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
        EXPECT_EQ(u32At(wav, 4), 36 + data);
        EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
        EXPECT_EQ(u32At(wav, 16), 16u);
        EXPECT_EQ(u16At(wav, 20), base::kWavFormatPcm);
        EXPECT_EQ(u16At(wav, 22), c.channels);
        EXPECT_EQ(u32At(wav, 24), static_cast<std::uint32_t>(c.rate));
        EXPECT_EQ(u32At(wav, 28), static_cast<std::uint32_t>(c.rate * c.channels * 2));
        EXPECT_EQ(u16At(wav, 32), c.channels * 2);
        EXPECT_EQ(u16At(wav, 34), 16);
        EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
        EXPECT_EQ(u32At(wav, 40), data);
        for (std::size_t i = 0; i < c.samples.size(); ++i) {
            EXPECT_EQ(static_cast<std::int16_t>(u16At(wav, 44 + 2 * i)), c.samples[i]);
        }
    }
}

}  // namespace
}  // namespace orvane
