// Reads back the program's icon the build drew for the desktop's icon theme.
#include <gtest/gtest.h>

#include <QImage>
#include <fstream>
#include <sstream>
#include <string>

namespace orvane::skingen {
namespace {

// A PNG with an alpha channel at every size the desktop asks for, its corners transparent (the
// rounded square) and its middle opaque, and the scalable drawing.
TEST(AppIcon, EverySizeIsARoundedSquareWithTransparentCorners) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string name = std::string(ORVANE_ICON_DIR) + "/hicolor/" + std::to_string(size) + "x" +
                                 std::to_string(size) + "/apps/orvane.png";
        QImage png;
        ASSERT_TRUE(png.load(QString::fromStdString(name), "PNG")) << name;
        EXPECT_TRUE(png.hasAlphaChannel()) << name;
        EXPECT_EQ(png.width(), size) << name;
        EXPECT_EQ(png.height(), size) << name;
        EXPECT_EQ(qAlpha(png.pixel(0, 0)), 0) << name;
        EXPECT_EQ(qAlpha(png.pixel(size - 1, size - 1)), 0) << name;
        EXPECT_EQ(qAlpha(png.pixel(size / 2, size / 2)), 255) << name;
    }
    std::ifstream in(std::string(ORVANE_ICON_DIR) + "/hicolor/scalable/apps/orvane.svg");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("<svg xmlns=\"http://www.w3.org/2000/svg\""), std::string::npos);
    EXPECT_NE(text.str().find("viewBox=\"0 0 256 256\""), std::string::npos);
    EXPECT_NE(text.str().find("</svg>"), std::string::npos);
}

}  // namespace
}  // namespace orvane::skingen
