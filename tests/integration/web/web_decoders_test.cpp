// The decoders with the platform's real image decoder, on pictures as the server sends them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/client_state.h"
#include "platform/https.h"
#include "servers/web/png_writer.h"
#include "web/decoders.h"

namespace orvane::test {
namespace {

class DecodersTest : public ::testing::Test {
protected:
    DecodersTest() : web(std::make_unique<web::WebState>(state, platform::systemHttps())) {}

    std::int32_t receive(const std::string& body) {
        std::memcpy(web->responseBuffer, body.data(), body.size());
        web->responseBuffer[body.size()] = 0;
        web->responseLength = body.size();
        return static_cast<std::int32_t>(body.size());
    }

    ClientState state;
    std::unique_ptr<web::WebState> web;
};

// A 2 x 1 GIF: one red pixel, one fully transparent pixel.
constexpr char kGifBytes[] =
    "GIF89a\x02\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
    "\x21\xF9\x04\x01\x00\x00\x01\x00"
    "\x2C\x00\x00\x00\x00\x02\x00\x01\x00\x00\x02\x02\x44\x0A\x00\x3B";
const std::string kGif(kGifBytes, sizeof kGifBytes - 1);

// A 2 x 2 24-bit BMP, bottom-up: blue, green / red, white.
std::string bmp2x2() {
    std::string b = "BM";
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<char>(v));
        b.push_back(static_cast<char>(v >> 8));
    };
    u32(54 + 16);
    u32(0);
    u32(54);
    u32(40);
    u32(2);
    u32(2);
    u16(1);
    u16(24);
    u32(0);
    u32(16);
    u32(0);
    u32(0);
    u32(0);
    u32(0);
    b += std::string("\x00\x00\xFF\xFF\xFF\xFF\x00\x00", 8);  // bottom row: red, white (+2 pad)
    b += std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00", 8);  // top row: blue, green (+2 pad)
    return b;
}

TEST_F(DecodersTest, PngOnlyForAccountPictures) {
    const auto png = webserver::usbIcon(0x00C000);
    const std::int32_t n = receive(std::string(png.begin(), png.end()));
    const auto img = web::decodePng(*web, n);
    ASSERT_TRUE(img.has_value());
    EXPECT_EQ(img->width, 32);
    EXPECT_EQ(img->height, 32);
    EXPECT_EQ(img->at(10, 16), 0xFF00C000u);
    EXPECT_EQ(img->at(0, 0), 0xFFC0C0C0u);

    EXPECT_FALSE(web::decodePng(*web, 7).has_value());  // shorter than the signature
    EXPECT_FALSE(web::decodePng(*web, n / 2).has_value());  // cut short
    EXPECT_FALSE(web::decodePng(*web, receive(bmp2x2())).has_value());
    EXPECT_FALSE(web::decodePng(*web, receive(kGif)).has_value());
}

TEST_F(DecodersTest, AnyCommonFormatForTheSharedPicture) {
    const auto bmp = web::decodeImage(*web, receive(bmp2x2()));
    ASSERT_TRUE(bmp.has_value());
    EXPECT_EQ(bmp->at(0, 0), 0xFF0000FFu);
    EXPECT_EQ(bmp->at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(bmp->at(0, 1), 0xFFFF0000u);

    // Transparency comes out on opaque black.
    const auto gif = web::decodeImage(*web, receive(kGif));
    ASSERT_TRUE(gif.has_value());
    EXPECT_EQ(gif->at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(gif->at(1, 0), 0xFF000000u);

    const auto png = webserver::usbIcon(0xE00000);
    EXPECT_TRUE(web::decodeImage(*web, receive(std::string(png.begin(), png.end()))).has_value());
    EXPECT_FALSE(web::decodeImage(*web, receive("not a picture at all")).has_value());
    EXPECT_FALSE(web::decodeImage(*web, -1).has_value());
    EXPECT_FALSE(web::decodeImage(*web, 0).has_value());
}

}  // namespace
}  // namespace orvane::test
