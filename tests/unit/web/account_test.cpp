#include "web/account.h"

#include <gtest/gtest.h>

#include "tests/fakes/web_fixture.h"
#include "web/account_reply.h"

namespace orvane::test {
namespace {

using web::fetchAccountResource;
using AccountTest = WebTest;

std::string accountReply(std::uint8_t status, const char* number, const char* message = "") {
    std::string r(159, '\0');
    r[2] = static_cast<char>(status);
    r.replace(34, 5, number);
    r.replace(98, std::strlen(message), message);
    return r;
}

TEST_F(AccountTest, TalkerFetchesAreSkippedForTheSameAccountUntilARepaint) {
    // Nobody heard yet but the window was painted: account 0's picture and card are asked for.
    state.ui.talkerRedrawPending = true;
    web::talkerCardTick(*web);
    ASSERT_EQ(https.sent.size(), 2u);
    EXPECT_EQ(https.sent[0].path, "/users/0/images.php?N=2");
    EXPECT_FALSE(state.ui.talkerRedrawPending);

    // Same talker, no repaint: nothing is fetched, but the lamp still moves (green to blue).
    for (int i = 0; i < 2; ++i) web::talkerCardTick(*web);
    EXPECT_EQ(https.sent.size(), 2u);
    EXPECT_EQ(state.lamps.lampHttps, kLampBlue);

    // A repaint erased the card: its picture and its texts come again.
    state.ui.talkerRedrawPending = true;
    web::talkerCardTick(*web);
    ASSERT_EQ(https.sent.size(), 4u);
    EXPECT_EQ(https.sent[3].path, https.sent[1].path);

    // A new talker: both, once, even though they found nothing.
    state.channel.talkerAccount = 5;
    web::talkerCardTick(*web);
    web::talkerCardTick(*web);
    ASSERT_EQ(https.sent.size(), 6u);
    EXPECT_EQ(https.sent[5].path, "/users/5/client.xml");
}

TEST_F(AccountTest, OwnCardFillsTheProfileAndKeepsWhatIsMissing) {
    std::strcpy(web->profile.phrase, "old phrase");
    https.queue(FakeReply::ok("<CLIENT><PRENOM>Ren&#xE9;e</PRENOM><VILLE>S&#xE9;te</VILLE><EMAIL>r@x.org</EMAIL>"
                              "<FOLDER>" + std::string(64, 'f') + "</FOLDER></CLIENT>"));
    fetchAccountResource(*web, 42, web::kOwnCard);
    EXPECT_EQ(https.sent.at(0).path, "/users/42/client.xml");
    EXPECT_STREQ(web->profile.firstName, "Ren\xC3\xA9" "e");
    EXPECT_STREQ(web->profile.town, "S\xC3\xA9te");
    EXPECT_STREQ(web->profile.phrase, "old phrase");
    EXPECT_STREQ(web->profile.email, "r@x.org");
    EXPECT_STREQ(web->profile.folder, "");  // 64 bytes do not fit
}

TEST_F(AccountTest, StartupFetchesSetNumberAndColourOrWarn) {
    https.queue(FakeReply::ok(accountReply(0, "00042")));
    https.queue(FakeReply::ok("<PRENOM>Ana</PRENOM>"));
    https.queue(FakeReply::ok("<PARAMS><BACKGROUND>FF0000</BACKGROUND></PARAMS>"));
    EXPECT_GT(web::startupAccountFetches(*web), 0);
    EXPECT_EQ(state.identity.accountNumber, 42);
    EXPECT_EQ(https.sent.at(0).path, "/Hv3Km8Qz2R.php?S=2&I=0000001234567890&V=TALMERA 0.7.6&A=&F=");
    EXPECT_EQ(https.sent.at(2).path, "/users/42/params.xml");
    EXPECT_EQ(state.ui.backgroundColour, 0x00FF0000u);  // a COLORREF: blue
    EXPECT_TRUE(ui.boxes.empty());

    https.queue(FakeReply::ok(accountReply(0, "00042")));
    https.queue(FakeReply::ok("<PRENOM>Ana</PRENOM>"));  // and no params.xml: 404
    EXPECT_EQ(web::startupAccountFetches(*web), 0);
    EXPECT_EQ(state.ui.backgroundColour, 0x00FF0000u);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].owner, main);
    EXPECT_EQ(ui.boxes[0].caption, "Acquisition des param\xC3\xA8tres");
    EXPECT_EQ(ui.boxes[0].text, "Aucun param\xC3\xA8tre n'a \xC3\xA9t\xC3\xA9 trouv\xC3\xA9 sur votre compte\n"
                                "les param\xC3\xA8tres par d\xC3\xA9" "faut seront utilis\xC3\xA9s.");
    EXPECT_EQ(main->enabledHistory, (std::vector<bool>{false, true}));

    // Server unreachable: nothing changes, nothing is shown.
    for (int i = 0; i < 3; ++i) https.queue(FakeReply::failing(FakeReply::FailAt::Send));
    EXPECT_EQ(web::startupAccountFetches(*web), -1);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(AccountTest, StopStatusesEndTheProgram) {
    const struct {
        std::uint8_t status;
        bool stops, installer;
    } cases[] = {{0, false, false}, {221, false, false}, {200, true, false}, {240, true, false}, {220, true, true}};
    web->installerUrl = "https://web.test/installer.php";
    for (const auto& c : cases) {
        https.queue(FakeReply::ok(accountReply(c.status, "00007", "Version p\xE9rim\xE9" "e")));
        fetchAccountResource(*web, 0, web::kAccountRequest);
        EXPECT_EQ(state.identity.accountNumber, 7);
        EXPECT_EQ(web->stopRequested, c.stops) << int(c.status);
        EXPECT_EQ(browser.urls.size(), c.installer ? 1u : 0u);
        if (!c.stops) continue;
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "Le programme va s'arr\xC3\xAAter\nVersion p\xC3\xA9rim\xC3\xA9" "e");
        EXPECT_EQ(ui.boxes[0].caption + (ui.boxes[0].owner == nullptr ? " unowned" : ""), "Information unowned");
        EXPECT_EQ(ui.destroyCalls, (std::vector<platform::Window*>{main}));
        EXPECT_EQ(state.ui.mainWindow.load(), nullptr);  // later fetches draw on nothing
        ui.boxes.clear();
        ui.destroyCalls.clear();
        state.ui.mainWindow = main;
        web->stopRequested = false;
    }
}

// The reply buffer still holds an earlier, longer reply: a short reply's message is made of its
// own bytes only, never of the older ones behind them.
TEST_F(AccountTest, AShortReplyNeverShowsAnEarlierMessage) {
    std::string earlier(159, '\0');
    earlier.replace(98, 29, std::string(29, 'A'));
    earlier.replace(130, 29, std::string(29, 'B'));
    https.queue(FakeReply::ok(earlier));
    fetchAccountResource(*web, 0, web::kAccountRequest);
    const std::string stop = "Le programme va s'arr\xC3\xAAter\n";
    const struct {
        std::size_t length;
        std::string shown;
    } cases[] = {{120, stop + std::string(22, 'M')},   // cut inside the first half
                 {140, stop + std::string(39, 'M')},   // inside the second
                 {98, stop}};                           // before the message
    for (const auto& c : cases) {
        std::string reply = accountReply(web::kAccountStopStatus, "00007");
        reply.replace(98, 61, std::string(61, 'M'));
        reply[127] = reply[128] = reply[129] = '\0';  // the gap between the halves
        https.queue(FakeReply::ok(reply.substr(0, c.length)));
        ui.boxes.clear();
        fetchAccountResource(*web, 0, web::kAccountRequest);
        ASSERT_EQ(ui.boxes.size(), 1u) << c.length;
        EXPECT_EQ(ui.boxes[0].text, c.shown) << c.length;
        state.ui.mainWindow = main;
        web->stopRequested = false;
    }
}

TEST_F(AccountTest, TalkerCardIsDrawnInTheMainWindow) {
    state.ui.backgroundColour = 0x00102030;
    state.ui.talkerRedrawPending = true;
    state.channel.talkerAccount = 9;
    https.queue(FakeReply::ok(pngHeader(40, 30)));
    https.queue(FakeReply::ok("<PRENOM>L&#xE9;a</PRENOM><VILLE>Nice</VILLE><PHRASE>Salut</PHRASE>"));
    web::talkerCardTick(*web);
    EXPECT_EQ(main->surface.at(10, 340), 0xFFFF0000u);  // red frame round the 40 x 30 picture
    EXPECT_EQ(main->surface.at(49, 369), 0xFFFF0000u);
    EXPECT_EQ(main->surface.at(20, 350), 0xFF808080u);
    EXPECT_EQ(main->surface.at(300, 330), platform::toPixel(0x00102030));  // the name strip
    EXPECT_EQ((main->surface.at(100, 630) >> 8) & 0xFF, 0x7Fu);             // the tinted strip
    ASSERT_EQ(main->texts.size(), 3u);
    const DrawnText& phrase = main->texts[2];
    EXPECT_EQ(main->texts[0].text + "@" + std::to_string(main->texts[0].x), "L\xC3\xA9" "a@15");
    EXPECT_EQ(main->texts[1].text + "@" + std::to_string(main->texts[1].x), "Nice@170");
    EXPECT_EQ(phrase.text + "@" + std::to_string(phrase.x) + "," + std::to_string(phrase.y), "Salut@20,620");
    EXPECT_EQ(phrase.colour, 0x00FFFFu);

    // A talker picture that is not a PNG draws nothing.
    main->ops.clear();
    state.ui.talkerRedrawPending = true;
    https.queue(FakeReply::ok("\xFF\xD8\xFF\xE0 a JPEG"));
    EXPECT_GT(fetchAccountResource(*web, 9, web::kTalkerPicture), 0);
    EXPECT_EQ(main->count("blit"), 0);
}

}  // namespace
}  // namespace orvane::test
