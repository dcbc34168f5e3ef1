#include "web/account.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/web/web_fixture.h"

namespace orvane::test {
namespace {

using web::fetchAccountResource;

std::string accountReplyBody(std::uint8_t status, const char* number, const char* message = "") {
    std::string r(159, ' ');
    r[2] = static_cast<char>(status);
    std::memcpy(r.data() + 34, number, 5);
    std::memset(r.data() + 98, 0, 29);
    std::memset(r.data() + 130, 0, 29);
    std::memcpy(r.data() + 98, message, std::min<std::size_t>(29, std::strlen(message)));
    return r;
}

class AccountTest : public WebTest {
protected:
    AccountTest() {
        main = ui.mainWindow();
        state.ui.mainWindow = main;
        std::strcpy(state.identity.machineId, "0000001234567890");
    }
    FakeWindow* main = nullptr;
};

TEST_F(AccountTest, FetchPaths) {
    state.ui.talkerRedrawPending = true;
    for (int code = 0; code <= 4; ++code) {
        state.ui.talkerRedrawPending = true;
        fetchAccountResource(*web, 77, code);
    }
    ASSERT_EQ(https.sent.size(), 5u);
    EXPECT_EQ(https.sent[0].path, "/users/77/images.php?N=2");
    EXPECT_EQ(https.sent[1].path, "/users/77/client.xml");
    EXPECT_EQ(https.sent[2].path, "/users/77/client.xml");
    EXPECT_EQ(https.sent[3].path, "/Hv3Km8Qz2R.php?S=2&I=0000001234567890&V=TALMERA 0.7.6&A=&F=");
    EXPECT_EQ(https.sent[4].path, "/users/77/params.xml");
}

TEST_F(AccountTest, TalkerFetchesAreSkippedForTheSameAccountUntilARepaint) {
    // Nobody heard yet, but the window was painted: account 0's picture is asked for. The
    // picture fetch clears the repaint flag, so the card of the same (initial) account is not.
    state.ui.talkerRedrawPending = true;
    web::talkerCardTick(*web);
    ASSERT_EQ(https.sent.size(), 1u);
    EXPECT_EQ(https.sent[0].path, "/users/0/images.php?N=2");
    EXPECT_FALSE(state.ui.talkerRedrawPending);

    // Same talker, no repaint: nothing is fetched, but the lamp still moves.
    const int lampBefore = state.lamps.lampHttps;
    for (int i = 0; i < 2; ++i) web::talkerCardTick(*web);
    EXPECT_EQ(https.sent.size(), 1u);
    EXPECT_NE(state.lamps.lampHttps, lampBefore);  // 2 -> 6 fetches: green to blue

    // A repaint: the picture is fetched again.
    state.ui.talkerRedrawPending = true;
    web::talkerCardTick(*web);
    ASSERT_EQ(https.sent.size(), 2u);

    // A new talker: both, once. A failed fetch is not retried for the same number.
    state.channel.talkerAccount = 5;
    https.queue(FakeReply::failing(FakeReply::FailAt::Connect));
    https.queue(FakeReply::failing(FakeReply::FailAt::Connect));
    web::talkerCardTick(*web);
    EXPECT_TRUE(https.replies.empty());
    web::talkerCardTick(*web);
    EXPECT_EQ(https.sent.size(), 2u);
    EXPECT_EQ(web->lastTalkerPictureAccount, 5);
    EXPECT_EQ(web->lastTalkerCardAccount, 5);
}

TEST_F(AccountTest, OwnCardFillsTheProfileAndKeepsWhatIsMissing) {
    std::strcpy(web->profile.phrase, "old phrase");
    https.queue(FakeReply::ok("<CLIENT><PRENOM>Ren&#xE9;e</PRENOM><VILLE>S&#xE9;te</VILLE>"
                              "<EMAIL>r@example.org</EMAIL><FOLDER>" + std::string(64, 'f') + "</FOLDER></CLIENT>"));
    fetchAccountResource(*web, 42, web::kOwnCard);
    EXPECT_STREQ(web->profile.firstName, "Ren\xC3\xA9" "e");
    EXPECT_STREQ(web->profile.town, "S\xC3\xA9te");
    EXPECT_STREQ(web->profile.phrase, "old phrase");
    EXPECT_STREQ(web->profile.email, "r@example.org");
    EXPECT_STREQ(web->profile.folder, "");  // 64 bytes is too long for its field
}

TEST_F(AccountTest, ParametersSetTheBackgroundColour) {
    https.queue(FakeReply::ok("<PARAMS><BACKGROUND>FF0000</BACKGROUND></PARAMS>"));
    EXPECT_GT(fetchAccountResource(*web, 42, web::kOwnParameters), 0);
    EXPECT_EQ(state.ui.backgroundColour, 0x00FF0000u);  // a COLORREF: blue
    https.queue(FakeReply::ok("<PARAMS></PARAMS>"));
    fetchAccountResource(*web, 42, web::kOwnParameters);
    EXPECT_EQ(state.ui.backgroundColour, 0x00FF0000u);
}

TEST_F(AccountTest, StartupFetchesSetTheNumberAndWarnWithoutParameters) {
    https.queue(FakeReply::ok(accountReplyBody(0, "00042")));
    https.queue(FakeReply::ok("<PRENOM>Ana</PRENOM>"));
    https.queue(FakeReply::withStatus(404));
    EXPECT_EQ(web::startupAccountFetches(*web), 0);
    EXPECT_EQ(state.identity.accountNumber, 42);
    ASSERT_EQ(https.sent.size(), 3u);
    EXPECT_EQ(https.sent[1].path, "/users/42/client.xml");
    EXPECT_EQ(https.sent[2].path, "/users/42/params.xml");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].owner, main);
    EXPECT_EQ(ui.boxes[0].caption, "Acquisition des param\xC3\xA8tres");
    EXPECT_EQ(ui.boxes[0].text,
              "Aucun param\xC3\xA8tre n'a \xC3\xA9t\xC3\xA9 trouv\xC3\xA9 sur votre compte\nles param\xC3\xA8tres par "
              "d\xC3\xA9" "faut seront utilis\xC3\xA9s.");
    EXPECT_EQ(main->enabledLog, (std::vector<bool>{false, true}));
}

TEST_F(AccountTest, StartupWithTheServerUnreachableShowsNothing) {
    for (int i = 0; i < 3; ++i) https.queue(FakeReply::failing(FakeReply::FailAt::Send));
    EXPECT_EQ(web::startupAccountFetches(*web), -1);
    EXPECT_EQ(state.identity.accountNumber, kDefaultAccountNumber);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AccountTest, StopStatusesEndTheProgram) {
    const struct {
        std::uint8_t status;
        bool stops;
        bool installer;
    } cases[] = {{200, true, false}, {240, true, false}, {220, true, true}, {0, false, false}, {221, false, false}};
    for (const auto& c : cases) {
        FakeUi freshUi;
        FakeWindow* w = freshUi.mainWindow();
        state.ui.mainWindow = w;
        web->ui = &freshUi;
        web->stopRequested = false;
        FakeSystem browser;
        web->system = &browser;
        web->installerUrl = "https://web.test/installer.php";

        https.queue(FakeReply::ok(accountReplyBody(c.status, "00007", "Version p\xE9rim\xE9" "e")));
        fetchAccountResource(*web, 0, web::kAccountRequest);
        EXPECT_EQ(state.identity.accountNumber, 7);
        EXPECT_EQ(web->stopRequested, c.stops) << int(c.status);
        if (c.stops) {
            ASSERT_EQ(freshUi.boxes.size(), 1u);
            EXPECT_EQ(freshUi.boxes[0].text, "Le programme va s'arr\xC3\xAAter\nVersion p\xC3\xA9rim\xC3\xA9" "e");
            EXPECT_EQ(freshUi.boxes[0].caption, "Information");
            EXPECT_EQ(freshUi.boxes[0].owner, nullptr);
            EXPECT_EQ(freshUi.destroyed, (std::vector<platform::Window*>{w}));
            EXPECT_EQ(state.ui.mainWindow.load(), nullptr);
        } else {
            EXPECT_TRUE(freshUi.boxes.empty());
            EXPECT_TRUE(freshUi.destroyed.empty());
        }
        EXPECT_EQ(browser.opened.size(), c.installer ? 1u : 0u);
        web->system = nullptr;
    }
    web->ui = &ui;
}

TEST_F(AccountTest, TalkerCardIsDrawnInTheMainWindow) {
    state.ui.backgroundColour = 0x00102030;
    state.ui.talkerRedrawPending = true;
    state.channel.talkerAccount = 9;
    https.queue(FakeReply::ok(pngHeader(40, 30)));
    https.queue(FakeReply::ok("<PRENOM>L&#xE9;a</PRENOM><VILLE>Nice</VILLE><PHRASE>Salut</PHRASE>"));
    web::talkerCardTick(*web);

    // The picture at (10, 340), a one-pixel red frame around it.
    EXPECT_EQ(main->surface.at(10, 340), 0xFFFF0000u);
    EXPECT_EQ(main->surface.at(49, 369), 0xFFFF0000u);
    EXPECT_EQ(main->surface.at(20, 350), 0xFF808080u);
    EXPECT_EQ(main->surface.at(50, 370), 0xFF000000u);
    // The name strip in the background colour, the texts at their places.
    EXPECT_EQ(main->surface.at(300, 330), platform::toPixel(0x00102030));
    ASSERT_EQ(main->texts.size(), 3u);
    EXPECT_EQ(main->texts[0].text, "L\xC3\xA9" "a");
    EXPECT_EQ(main->texts[0].x, 15);
    EXPECT_EQ(main->texts[0].y, 319);
    EXPECT_EQ(main->texts[1].text, "Nice");
    EXPECT_EQ(main->texts[1].x, 170);
    EXPECT_EQ(main->texts[2].text, "Salut");
    EXPECT_EQ(main->texts[2].colour, 0x00FFFFu);
    EXPECT_EQ(main->texts[2].y, 620);
    EXPECT_EQ(main->texts[2].height, 20);
    // The phrase strip went through the tinted blur: green 127 inside it.
    EXPECT_EQ((main->surface.at(100, 630) >> 8) & 0xFF, 0x7Fu);
}

TEST_F(AccountTest, ANonPngTalkerPictureDrawsNothing) {
    state.ui.talkerRedrawPending = true;
    https.queue(FakeReply::ok(std::string("\xFF\xD8\xFF\xE0", 4) + std::string(100, 'j')));
    EXPECT_GT(fetchAccountResource(*web, 3, web::kTalkerPicture), 0);
    EXPECT_TRUE(main->log.empty());
}

}  // namespace
}  // namespace orvane::test
