#include "speech/spoken_help.h"

#include <gtest/gtest.h>

#include <string>

#include "speech/speech_socket.h"
#include "tests/fakes/fake_udp.h"

namespace orvane::speech {
namespace {

using test::FakeUdp;

// A process list and programs folder the test chooses.
struct ProcessSystem final : platform::System {
    std::vector<std::string> processes;
    std::string programs = "/opt/progs";
    std::vector<std::string> started;
    platform::MutexResult createNamedMutex(const std::string&) override { return platform::MutexResult::Created; }
    bool namedMutexExists(const std::string&) override { return true; }
    std::string systemRoot() override { return "/"; }
    bool volumeSerial(const std::string&, std::uint32_t&) override { return false; }
    bool isProcessRunning(const std::string& name) override {
        for (const auto& p : processes) {
            if (p.size() == name.size() &&
                std::equal(p.begin(), p.end(), name.begin(), [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
                return true;
        }
        return false;
    }
    bool startProgram(const std::string& path) override {
        started.push_back(path);
        return false;
    }
    std::string programsFolder() override { return programs; }
    std::string dataFolder() override { return {}; }
    std::string temporaryFolder() override { return {}; }
    bool openUrl(const std::string&) override { return false; }
    bool playSoundAsync(const std::string&) override { return false; }
};

struct Fixture {
    ClientState state;
    FakeUdp udp;
    Fixture() { openSpeechSocket(state, udp); }
    std::vector<std::string> sentTexts() {
        std::vector<std::string> out;
        for (const auto& s : udp.sent()) out.emplace_back(s.bytes.begin(), s.bytes.end());
        return out;
    }
};

TEST(ToggleParlo, StartsStopsOrCannotFindTheFolder) {
    struct Case {
        const char* what;
        std::vector<std::string> processes;
        std::string programs;
        const char* message;
        std::vector<std::string> started;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"not running: started, even when the start fails", {"orvane"}, "/usr/libexec/orvane", kParloStarted,
         {"/usr/libexec/orvane/parlo"}, {}},
        {"running: stop request", {"orvane", "parlo"}, "/opt/progs", kParloClosing, {}, {"\xFF"}},
        {"name compared ignoring case", {"PARLO"}, "/opt/progs", kParloClosing, {}, {"\xFF"}},
        {"a longer name is another program", {"parlo2"}, "/usr/libexec/orvane", kParloStarted, {"/usr/libexec/orvane/parlo"}, {}},
        {"no programs folder", {"parlo"}, "", kNoProgramsFolder, {}, {}},
    };
    for (const Case& c : cases) {
        Fixture f;
        ProcessSystem sys;
        sys.processes = c.processes;
        sys.programs = c.programs;
        EXPECT_STREQ(toggleParlo(f.state, sys, f.udp, kParloOnLinux), c.message) << c.what;
        EXPECT_EQ(sys.started, c.started) << c.what;
        EXPECT_EQ(f.sentTexts(), c.sent) << c.what;
    }
    Fixture f;
    ProcessSystem sys;
    sys.programs = "C:\\Program Files";
    toggleParlo(f.state, sys, f.udp, kParloOnWindows);
    EXPECT_EQ(sys.started, std::vector<std::string>{"C:\\Program Files\\Orvane\\Parlo.exe"});
}

TEST(SpokenHelp, TheFirstZoneHoldingThePointDecides) {
    HelpZones z;
    z.network = {375, 335, 480, 440};
    z.channel = {10, 80, 190, 190};
    z.documentation = {315, 610, 345, 640};
    z.picture = {350, 450, 500, 600};
    z.designer = {390, 610, 535, 650};
    z.volumeKnob = {100, 300, 140, 340};
    z.micKnob = {160, 300, 200, 340};
    z.paramsButton = {220, 300, 260, 340};
    z.speech = {15, 8, 47, 40};
    struct Case {
        platform::Point p;
        const char* ticker;
        const char* spoken;  // null: nothing sent
    };
    const char* network = "Cliquez sur NETWORK pour voir les correspondants";
    const Case cases[] = {
        {{400, 400}, network, network},
        {{50, 150}, "Cliquez dans ce cadre pour voir tous les groupes", "same"},
        {{320, 620}, "Cliquez sur cette icon pour ouvrir la documentation", "same"},
        {{400, 500}, "Cliquez sur cette animation pour ouvrir l'image partag\xE9" "e", "same"},
        {{500, 620}, "Cliquez ici pour plus d'information sur le concepteur", "same"},
        {{120, 320}, "Cliquez autour de ce bouton pour r\xE9gler le volume sonore", "same"},
        {{180, 320}, "Cliquez autour de ce bouton pour r\xE9gler le niveau d'entr\xE9" "e du microphone", "same"},
        {{240, 320}, "Cliquez sur ce bouton pour acc\xE9" "der \xE0 vos param\xE8tres de r\xE9glage", "same"},
        {{20, 20}, "Cliquez ici pour activer le synth\xE9tiseur vocal", nullptr},
        {{5, 700}, kWelcomeText, "Il n'y a rien de sp\xE9" "cial ici"},
        // Knobs are not grown for the help: 10 pixels beside the volume knob is nowhere.
        {{95, 320}, kWelcomeText, "Il n'y a rien de sp\xE9" "cial ici"},
    };
    for (const Case& c : cases) {
        Fixture f;
        spokenHelp(f.state, f.udp, z, c.p);
        EXPECT_STREQ(f.state.ui.tickerText, c.ticker) << c.p.x << "," << c.p.y;
        const auto sent = f.sentTexts();
        if (c.spoken == nullptr) {
            EXPECT_TRUE(sent.empty());
        } else {
            const std::string expected = std::string("\x01") + (std::string(c.spoken) == "same" ? c.ticker : c.spoken);
            EXPECT_EQ(sent, std::vector<std::string>{expected}) << c.p.x << "," << c.p.y;
        }
    }
    // A point inside both the network zone and another: the network zone's text.
    z.picture = {350, 400, 500, 600};
    Fixture f;
    spokenHelp(f.state, f.udp, z, {400, 420});
    EXPECT_STREQ(f.state.ui.tickerText, network);
    EXPECT_EQ(f.sentTexts(), std::vector<std::string>{std::string("\x01") + network});
}

}  // namespace
}  // namespace orvane::speech
