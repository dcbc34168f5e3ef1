#include "web/picture_upload.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/fakes/web_fixture.h"
#include "web/colour_save.h"

namespace orvane::test {
namespace {

std::int32_t int32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
}

class UploadTest : public WebTest {
protected:
    UploadTest() : dir(std::filesystem::temp_directory_path() / ("orvane-upload-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir);
    }
    ~UploadTest() override { std::filesystem::remove_all(dir); }

    // A file of `size` bytes, queued as the chooser's next answer.
    // Names are UTF-8 text on every system, as the chooser gives them.
    std::string choose(const std::string& name, std::size_t size, char fill) {
        const std::filesystem::path file = dir / std::u8string(name.begin(), name.end());
        std::ofstream(file, std::ios::binary) << std::string(size, fill);
        const std::u8string utf8 = file.u8string();
        const std::string path(utf8.begin(), utf8.end());
        ui.chooserAnswers.push_back(path);
        return path;
    }
    std::filesystem::path dir;
};

TEST_F(UploadTest, CancellingSendsNothing) {
    EXPECT_EQ(web::uploadSharedPicture(*web, 4), 0);
    EXPECT_TRUE(https.sent.empty());
    EXPECT_EQ(ui.chooserFilter, "Images (*.png;*.jpg;*.jpeg;*.bmp;*.gif)|*.png;*.jpg;*.jpeg;*.bmp;*.gif");
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(UploadTest, TheRecordCarriesTheFileNameSizeAndChannel) {
    choose("Cr\xC3\xA8me.png", 9'999'999, 'a');
    https.queue(FakeReply::ok("OK", 200));
    EXPECT_EQ(web::uploadSharedPicture(*web, 4), 200);
    const SentRequest& s = https.sent.at(0);
    EXPECT_EQ(s.verb + " " + s.path, "POST /echange/pc_img_share_post.php");
    ASSERT_EQ(s.body.size(), web::kUploadRecordSize);
    EXPECT_EQ(s.body[9'999'998], 'a');
    EXPECT_EQ(s.body[9'999'999], 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&s.body[10'000'000]), "Cr\xE8me.png");  // Windows-1252
    EXPECT_EQ(int32At(s.body, 10'000'256), 9'999'999);
    EXPECT_EQ(int32At(s.body, 10'000'260), 9);
    EXPECT_EQ(int32At(s.body, 10'000'264), 4);
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(UploadTest, ASmallerFileNeverCarriesBytesOfAnEarlierOne) {
    choose("a-long-file-name.gif", 5000, 'B');
    choose("s.bmp", 10, 'S');
    https.queue(FakeReply::ok("", 200));
    https.queue(FakeReply::ok("", 200));
    web::uploadSharedPicture(*web, 2);
    web::uploadSharedPicture(*web, 3);
    const auto& body = https.sent.at(1).body;
    EXPECT_EQ(std::count(body.begin(), body.begin() + 10'000'000, 0), 10'000'000 - 10);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&body[10'000'000]), 20), std::string("s.bmp") + std::string(15, '\0'));
}

TEST_F(UploadTest, RefusalsReturnMinusOneAndSendNothing) {
    choose("huge.png", 10'000'000, 'h');
    // While the refusal waits for the user, another thread (the serial device thread fetching
    // its icon) can make its request: the box is not shown under the request lock.
    bool otherThreadCouldRequest = false;
    ui.whileBoxShown = [&] {
        std::thread other([&] {
            if (web->requestLock.try_lock()) {
                otherThreadCouldRequest = true;
                web->requestLock.unlock();
            }
        });
        other.join();
    };
    EXPECT_EQ(web::uploadSharedPicture(*web, 1), -1);
    EXPECT_TRUE(otherThreadCouldRequest);
    ui.whileBoxShown = nullptr;
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Fichier superieur a la taille maximale du buffer\nMaximum =  10000000 octets");
    EXPECT_EQ(ui.boxes[0].caption, "Avertissement");
    EXPECT_EQ(ui.boxes[0].icon, platform::MessageIcon::Warning);

    ui.chooserAnswers.push_back((dir / "missing.png").string());
    choose("empty.png", 0, 'e');
    ui.chooserAnswers.push_back((dir / (std::string(200, 'n') + ".png")).string());  // path too long
    for (int i = 0; i < 3; ++i) EXPECT_EQ(web::uploadSharedPicture(*web, 1), -1);
    EXPECT_TRUE(https.sent.empty());
    EXPECT_EQ(ui.boxes.size(), 1u);

    choose("a.png", 10, 'a');
    https.queue(FakeReply::failing(FakeReply::FailAt::Receive));
    testing::internal::CaptureStdout();
    EXPECT_EQ(web::uploadSharedPicture(*web, 1), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Erreur WinHttpReceiveResponse: 12029\n");
    EXPECT_EQ(https.openHandles, 0);
}

TEST_F(UploadTest, ColourRecord) {
    state.identity.accountNumber = 1234;
    state.lamps.lampHttps = kLampRed;
    https.queue(FakeReply::ok("", 200));
    EXPECT_EQ(web::saveBackgroundColour(*web, 0x0000FF), 200);
    EXPECT_EQ(state.lamps.lampHttps, kLampRed);  // the colour save leaves the lamp alone
    EXPECT_EQ(https.sent.at(0).path, "/users/1234/params.php");
    EXPECT_EQ(https.sent[0].body, (std::vector<std::uint8_t>{1, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xD2, 4, 0, 0}));
}

}  // namespace
}  // namespace orvane::test
