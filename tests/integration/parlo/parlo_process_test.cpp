// Parlo as users meet it: a real process, a real sound server, real datagrams on loopback.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <string>
#include <thread>

#include "lab/child_process.h"
#include "platform/system.h"
#include "platform/udp.h"
#include "speech/speech_socket.h"
#include "speech/spoken_help.h"
#include "tests/fakes/pulse_fixture.h"

namespace orvane {
namespace {

using lab::ChildProcess;

struct Wait {
    template <class Pred>
    static bool until(Pred pred, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return pred();
    }
};

// Bytes of s16le stereo 8000 Hz per second at the pipe sink.
constexpr std::size_t kBytesPerSecond = 8000 * 4;

// Loud frames (absolute sample above 300) in the recording: speech, not the sink's silence.
std::size_t voicedBytes(const std::vector<std::uint8_t>& pcm) {
    std::size_t voiced = 0;
    for (std::size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        const auto l = static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8));
        if (std::abs(l) > 300) voiced += 4;
    }
    return voiced;
}

class ParloProcess : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        if (!pulse_.start(error)) GTEST_SKIP() << "no sound server: " << error;
        char tmpl[] = "/tmp/parlo-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        runtime_ = tmpl;
        ::chmod(runtime_.c_str(), 0700);
        // This process shares the runtime folder, so that its mutexes are the ones Parlo sees.
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        recorder_ = std::make_unique<test::SinkRecorder>(pulse_.sinkFifo());
        ASSERT_TRUE(recorder_->start());
    }
    void TearDown() override {
        for (int fd : held_) ::close(fd);
        recorder_.reset();
        pulse_.stop();
        if (!runtime_.empty()) std::system(("rm -rf '" + runtime_ + "'").c_str());
    }

    // Holds a named mutex of this runtime folder as another process would (the lock file that
    // docs/ui.md describes), until the test ends.
    bool holdMutex(const std::string& name) {
        const int fd = ::open((runtime_ + "/orvane-mutex-" + name + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
        held_.push_back(fd);
        return true;
    }

    bool startParlo(ChildProcess& p) {
        return p.start({PARLO_PATH}, {"QT_QPA_PLATFORM=offscreen", "ORVANE_LAB_ANSWER_BOXES=1"},
                       runtime_ + "/parlo.log", runtime_);
    }
    std::string log() { return lab::readFile(runtime_ + "/parlo.log"); }
    // Waits until the sink has carried `bytes` of voiced sound; false on time-out.
    bool waitVoiced(std::size_t bytes, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (voicedBytes(recorder_->data()) >= bytes) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    // Waits until the sink stays silent for `quietMs`.
    void waitQuiet(int quietMs, int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        std::size_t last = voicedBytes(recorder_->data());
        auto since = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const std::size_t now = voicedBytes(recorder_->data());
            if (now != last) {
                last = now;
                since = std::chrono::steady_clock::now();
            } else if (std::chrono::steady_clock::now() - since > std::chrono::milliseconds(quietMs)) {
                return;
            }
        }
    }

    test::PulseFixture pulse_;
    std::unique_ptr<test::SinkRecorder> recorder_;
    std::string runtime_;
    std::vector<int> held_;
};

TEST_F(ParloProcess, RefusesWithoutOrvaneAfterSpeakingAndReleasesItsMutex) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        recorder_->clear();
        ChildProcess parlo;
        ASSERT_TRUE(startParlo(parlo));
        int code = -1;
        ASSERT_TRUE(parlo.waitExit(90000, code)) << log();
        EXPECT_EQ(code, 1);
        EXPECT_NE(log().find("box: Synth\xC3\xA9tiseur - Erreur: Veuillez d\xC3\xA9marrer Orvane et r\xC3\xA9" "essayer."),
                  std::string::npos) << log();
        // The greeting and the two sentences: several seconds of speech.
        EXPECT_GT(voicedBytes(recorder_->data()), 3 * kBytesPerSecond) << "attempt " << attempt;
    }
    // The work files are the user's own, in the runtime folder.
    struct stat st {};
    EXPECT_EQ(::stat((runtime_ + "/Orvane/parlo_sound.wav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(::stat((runtime_ + "/Orvane/audio_output.raw").c_str(), &st), 0);
}

TEST_F(ParloProcess, RefusesASecondInstanceAtOnceWithoutSpeaking) {
    ASSERT_TRUE(holdMutex("Orvane-Synthe"));
    ChildProcess parlo;
    ASSERT_TRUE(startParlo(parlo));
    int code = -1;
    ASSERT_TRUE(parlo.waitExit(30000, code)) << log();
    EXPECT_EQ(code, 1);
    EXPECT_NE(log().find("box: Orvane System: Another instance of application Orvane Synthesizer"), std::string::npos)
        << log();
    EXPECT_EQ(voicedBytes(recorder_->data()), 0u);
}

TEST_F(ParloProcess, SpeaksRequestsInOrderAndEndsAfterWhatWasQueued) {
    // Orvane's presence is its mutex.
    ASSERT_TRUE(holdMutex("Orvane"));
    auto& udp = platform::systemUdp();
    {
        const auto probe = udp.openBound(platform::kLoopback, 5555);
        ASSERT_NE(probe, platform::kInvalidSocket) << "another program holds 127.0.0.1:5555";
        udp.close(probe);
    }
    ChildProcess parlo;
    ASSERT_TRUE(startParlo(parlo));
    ASSERT_TRUE(waitVoiced(2 * kBytesPerSecond, 60000)) << log();
    waitQuiet(1500, 60000);  // the announcements are over

    const auto s = udp.openBound(platform::kLoopback, 0);
    ASSERT_NE(s, platform::kInvalidSocket);
    auto speakAndMeasure = [&](const std::string& text) {
        recorder_->clear();
        std::string d = "\x01" + text;
        udp.sendTo(s, d.data(), d.size(), platform::kLoopback, 5555);
        EXPECT_TRUE(waitVoiced(kBytesPerSecond / 4, 30000)) << text << log() << " sink " << recorder_->size();
        waitQuiet(1000, 60000);
        return voicedBytes(recorder_->data());
    };
    const std::size_t shortText = speakAndMeasure("Bonjour");
    const std::size_t longText = speakAndMeasure("Cliquez sur NETWORK pour voir les correspondants de votre groupe");
    EXPECT_GT(longText, shortText * 2);

    // A datagram that does not fit is dropped whole: nothing is said.
    recorder_->clear();
    std::string tooLong = "\x01" + std::string(1023, 'a');
    udp.sendTo(s, tooLong.data(), tooLong.size(), platform::kLoopback, 5555);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_LT(voicedBytes(recorder_->data()), kBytesPerSecond / 10);

    // Two texts then the stop: both are spoken before Parlo ends.
    recorder_->clear();
    for (const char* t : {"\x01Premier texte assez long pour durer", "\x01Second texte", "\xFF"}) {
        udp.sendTo(s, t, std::strlen(t), platform::kLoopback, 5555);
    }
    int code = -1;
    ASSERT_TRUE(parlo.waitExit(60000, code)) << log();
    EXPECT_EQ(code, 0);
    // The sink delivers what was played a little later.
    EXPECT_TRUE(waitVoiced(shortText * 2, 10000)) << voicedBytes(recorder_->data());
    udp.close(s);
}

TEST_F(ParloProcess, RunsDeafWhenThePortIsTaken) {
    ASSERT_TRUE(holdMutex("Orvane"));
    auto& udp = platform::systemUdp();
    const auto holder = udp.openBound(platform::kLoopback, 5555);
    ASSERT_NE(holder, platform::kInvalidSocket) << "port 5555 is in use";
    ChildProcess parlo;
    ASSERT_TRUE(startParlo(parlo));
    ASSERT_TRUE(waitVoiced(2 * kBytesPerSecond, 60000)) << log();
    waitQuiet(1500, 60000);
    EXPECT_TRUE(parlo.running());
    // Closing it (the system's request to end) still ends it normally.
    parlo.signal(SIGTERM);
    int code = -1;
    ASSERT_TRUE(parlo.waitExit(30000, code)) << log();
    EXPECT_EQ(code, 0);
    udp.close(holder);
}

// Orvane's side with the real pieces: the programs folder of the build, the process list, the
// speech socket. The toggle starts the built Parlo, the help of the network zone is heard, and
// the second toggle ends Parlo once it has said what was queued.
TEST_F(ParloProcess, OrvanesToggleStartsParloHelpIsHeardAndTheSecondToggleEndsIt) {
    ASSERT_TRUE(holdMutex("Orvane"));
    auto& udp = platform::systemUdp();
    {
        const auto probe = udp.openBound(platform::kLoopback, 5555);
        ASSERT_NE(probe, platform::kInvalidSocket) << "another program holds 127.0.0.1:5555";
        udp.close(probe);
    }
    // The host's own process services; Parlo is the build's (the host finds Parlo beside the
    // program that asks, and this test program is not in the build's program folder).
    struct BuildSystem final : platform::System {
        platform::System& host = platform::hostSystem();
        platform::MutexResult createNamedMutex(const std::string& n) override { return host.createNamedMutex(n); }
        bool namedMutexExists(const std::string& n) override { return host.namedMutexExists(n); }
        std::string systemRoot() override { return host.systemRoot(); }
        bool volumeSerial(const std::string& r, std::uint32_t& s) override { return host.volumeSerial(r, s); }
        bool isProcessRunning(const std::string& n) override { return host.isProcessRunning(n); }
        bool startProgram(const std::string& p) override { return host.startProgram(p); }
        std::string programsFolder() override {
            const std::string parlo = PARLO_PATH;
            return parlo.substr(0, parlo.rfind('/'));
        }
        std::string dataFolder() override { return host.dataFolder(); }
        std::string temporaryFolder() override { return host.temporaryFolder(); }
        bool openUrl(const std::string& u) override { return host.openUrl(u); }
        bool playSoundAsync(const std::string& p) override { return host.playSoundAsync(p); }
    } system;
    if (system.isProcessRunning("parlo")) GTEST_SKIP() << "another Parlo runs on this machine";
    // What Parlo inherits from Orvane.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("ORVANE_LAB_ANSWER_BOXES", "1", 1);
    auto state = std::make_unique<ClientState>();
    ASSERT_TRUE(speech::openSpeechSocket(*state, udp));

    EXPECT_STREQ(speech::toggleParlo(*state, system, udp), speech::kParloStarted);
    ASSERT_TRUE(Wait::until([&] { return system.isProcessRunning("parlo"); }, 20000));
    ASSERT_TRUE(waitVoiced(2 * kBytesPerSecond, 60000));
    waitQuiet(1500, 60000);

    speech::HelpZones zones;
    zones.network = {375, 335, 480, 440};
    recorder_->clear();
    speech::spokenHelp(*state, udp, zones, {400, 400});
    EXPECT_STREQ(state->ui.tickerText, "Cliquez sur NETWORK pour voir les correspondants");
    EXPECT_TRUE(waitVoiced(kBytesPerSecond, 30000));
    waitQuiet(1000, 60000);
    const std::size_t networkHelp = voicedBytes(recorder_->data());
    recorder_->clear();
    speech::spokenHelp(*state, udp, zones, {5, 700});  // nowhere: "Il n'y a rien de special ici"
    EXPECT_TRUE(waitVoiced(kBytesPerSecond / 2, 30000));
    waitQuiet(1000, 60000);
    EXPECT_GT(networkHelp, voicedBytes(recorder_->data()));  // the longer text lasts longer

    recorder_->clear();
    speech::spokenHelp(*state, udp, zones, {400, 400});
    EXPECT_STREQ(speech::toggleParlo(*state, system, udp), speech::kParloClosing);
    EXPECT_TRUE(Wait::until([&] { return !system.isProcessRunning("parlo"); }, 60000));
    EXPECT_TRUE(waitVoiced(networkHelp / 2, 10000));  // what was queued was said first
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("ORVANE_LAB_ANSWER_BOXES");
}

}  // namespace
}  // namespace orvane
