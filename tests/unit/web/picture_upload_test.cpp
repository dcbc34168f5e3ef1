#include "web/picture_upload.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/unit/web/web_fixture.h"
#include "web/colour_save.h"

namespace orvane::test {
namespace {

std::int32_t int32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24));
}

class UploadTest : public WebTest {
protected:
    UploadTest() {
        dir = std::filesystem::temp_directory_path() / ("orvane-upload-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    ~UploadTest() override { std::filesystem::remove_all(dir); }

    std::string file(const std::string& name, std::size_t size, char fill) {
        const std::string path = (dir / name).string();
        std::ofstream out(path, std::ios::binary);
        const std::string block(64 * 1024, fill);
        for (std::size_t left = size; left > 0;) {
            const std::size_t n = std::min(left, block.size());
            out.write(block.data(), static_cast<std::streamsize>(n));
            left -= n;
        }
        return path;
    }

    std::filesystem::path dir;
};

TEST_F(UploadTest, CancellingSendsNothing) {
    EXPECT_EQ(web::uploadSharedPicture(*web, 4), 0);
    EXPECT_TRUE(https.sent.empty());
    EXPECT_EQ(ui.lastFilterName, "Images (*.png;*.jpg;*.jpeg;*.bmp;*.gif)");
    EXPECT_EQ(ui.lastPatterns, "*.png;*.jpg;*.jpeg;*.bmp;*.gif");
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(UploadTest, TheRecordCarriesTheFileNameSizeAndChannel) {
    ui.chooserAnswers.push_back(file("Cr\xC3\xA8me.png", 9'999'999, 'a'));
    https.queue(FakeReply::withStatus(200, "OK"));
    EXPECT_EQ(web::uploadSharedPicture(*web, 4), 200);
    ASSERT_EQ(https.sent.size(), 1u);
    const SentRequest& s = https.sent[0];
    EXPECT_EQ(s.verb, "POST");
    EXPECT_EQ(s.path, "/echange/pc_img_share_post.php");
    ASSERT_EQ(s.body.size(), web::kUploadRecordSize);
    EXPECT_EQ(s.body[9'999'998], 'a');
    EXPECT_EQ(s.body[9'999'999], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&s.body[10'000'000])), "Cr\xE8me.png");  // Windows-1252
    EXPECT_EQ(s.body[10'000'255], 0);
    EXPECT_EQ(int32At(s.body, 10'000'256), 9'999'999);
    EXPECT_EQ(int32At(s.body, 10'000'260), 9);
    EXPECT_EQ(int32At(s.body, 10'000'264), 4);
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(UploadTest, ASmallerFileNeverCarriesBytesOfAnEarlierOne) {
    ui.chooserAnswers.push_back(file("big-name-of-a-file.gif", 5000, 'B'));
    ui.chooserAnswers.push_back(file("s.bmp", 10, 'S'));
    https.queue(FakeReply::withStatus(200));
    https.queue(FakeReply::withStatus(200));
    web::uploadSharedPicture(*web, 2);
    web::uploadSharedPicture(*web, 3);
    const auto& body = https.sent.at(1).body;
    EXPECT_EQ(body[9], 'S');
    EXPECT_EQ(std::count(body.begin() + 10, body.begin() + 10'000'000, 0), 10'000'000 - 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&body[10'000'000])), "s.bmp");
    EXPECT_EQ(body[10'000'010], 0);  // the longer earlier name is gone too
}

TEST_F(UploadTest, RefusalsReturnMinusOneAndSendNothing) {
    ui.chooserAnswers.push_back(file("huge.png", 10'000'000, 'h'));
    EXPECT_EQ(web::uploadSharedPicture(*web, 1), -1);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Fichier superieur a la taille maximale du buffer\nMaximum =  10000000 octets");
    EXPECT_EQ(ui.boxes[0].caption, "Avertissement");
    EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(ui.boxes[0].owner, nullptr);

    ui.chooserAnswers.push_back((dir / "missing.png").string());
    ui.chooserAnswers.push_back(file("empty.png", 0, 'e'));
    ui.chooserAnswers.push_back(dir.string() + "/" + std::string(200, 'n') + ".png");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(web::uploadSharedPicture(*web, 1), -1);
    EXPECT_TRUE(https.sent.empty());
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(UploadTest, AFailedPostGivesMinusOne) {
    ui.chooserAnswers.push_back(file("a.png", 10, 'a'));
    https.queue(FakeReply::failing(FakeReply::FailAt::Receive));
    testing::internal::CaptureStdout();
    EXPECT_EQ(web::uploadSharedPicture(*web, 1), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Erreur WinHttpReceiveResponse: 12029\n");
}

TEST_F(UploadTest, ColourRecord) {
    state.identity.accountNumber = 1234;
    https.queue(FakeReply::withStatus(200));
    const int lamp = state.lamps.lampHttps;
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x0000FF), 200);
    EXPECT_EQ(state.lamps.lampHttps, lamp);  // the colour save leaves the lamp alone
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].path, "/users/1234/params.php");
    EXPECT_EQ(https.sent[0].body, (std::vector<std::uint8_t>{1, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                             0xD2, 0x04, 0, 0}));
}

}  // namespace
}  // namespace orvane::test
