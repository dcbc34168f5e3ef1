// The real program in a folder of its own, on the off-screen platform, with a private sound
// server: a start-up that stops at once ends the process by itself, and a close ends it with
// exit code 0. Boxes are answered through the lab-only ORVANE_LAB_ANSWER_BOXES. The program is
// copied into a tree of its own (beside its skin as in the build folder, or bin/ and
// share/orvane/ as installed) and started from another working folder: it finds its skin from
// its own location.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/fakes/pulse_fixture.h"
#include "tests/fakes/skin_fixture.h"

namespace orvane::test {
namespace {

using Clock = std::chrono::steady_clock;

class OrvaneProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        sound = new PulseFixture();
        if (!sound->start(error)) {
            delete sound;
            sound = nullptr;
            std::fprintf(stderr, "no sound server: %s\n", error.c_str());
        }
    }
    static void TearDownTestSuite() {
        delete sound;
        sound = nullptr;
    }
    void SetUp() override {
        if (sound == nullptr) GTEST_SKIP() << "pulseaudio could not be started";
    }
    void TearDown() override {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (!tree.empty()) removeFolder(tree);
    }

    enum class Layout { BuildFolder, Installed };

    // Starts a copy of orvane with a fresh skin without `omit`, laid out as `layout` says, its
    // runtime folder (also its working folder, which holds no skin) inside the tree.
    void start(const std::set<std::string>& omit = {}, Layout layout = Layout::BuildFolder) {
        const std::string skin = makeSkinFolder(omit);
        std::string program;
        if (layout == Layout::BuildFolder) {
            tree = skin;
            program = tree + "orvane";
        } else {
            char pattern[] = "/tmp/orvane-tree-XXXXXX";
            ASSERT_NE(mkdtemp(pattern), nullptr);
            tree = std::string(pattern) + "/";
            std::filesystem::create_directories(tree + "bin");
            std::filesystem::create_directories(tree + "share");
            std::filesystem::rename(skin, tree + "share/orvane");
            program = tree + "bin/orvane";
        }
        std::filesystem::copy_file(ORVANE_PROGRAM, program);
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        runtime = tree + "xdg";
        ASSERT_EQ(mkdir(runtime.c_str(), 0700), 0);
        log = tree + "stderr.txt";
        started = Clock::now();
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (chdir(runtime.c_str()) != 0) _exit(120);
            std::FILE* err = std::freopen(log.c_str(), "w", stderr);
            if (err == nullptr) _exit(121);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            setenv("ORVANE_LAB_ANSWER_BOXES", "1", 1);
            execl(program.c_str(), "orvane", static_cast<char*>(nullptr));
            _exit(122);
        }
    }
    // Waits for the process to end; its exit code, or -1 (not ended, or ended by a signal).
    int waitForEnd(int seconds) {
        const auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < deadline) {
            int status = 0;
            pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid) {
                pid = -1;
                ended = Clock::now();
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    std::string errors() const {
        std::ifstream in(log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    double secondsBetween(Clock::time_point a, Clock::time_point b) const {
        return std::chrono::duration<double>(b - a).count();
    }

    static PulseFixture* sound;
    std::string tree, runtime, log;
    pid_t pid = -1;
    Clock::time_point started, ended;
};

PulseFixture* OrvaneProcess::sound = nullptr;

// The notice names the one file missing from the program's own skin (a program reading the
// working folder would miss the first knob image instead), in both layouts.
TEST_F(OrvaneProcess, StartupThatStopsForAMissingSkinFileEndsByItself) {
    for (Layout layout : {Layout::BuildFolder, Layout::Installed}) {
        const char* what = layout == Layout::BuildFolder ? "build folder" : "installed tree";
        start({"doc_img.bmp"}, layout);
        const int code = waitForEnd(60);
        ASSERT_EQ(pid, -1) << what << ": orvane did not end; stderr:\n" << errors();
        EXPECT_EQ(code, 0) << what << errors();
        const std::string errs = errors();
        EXPECT_NE(errs.find("box: Information: Le programme va s'arr\xC3\xAAter\ncar il manque un fichier\nREF: DOC-IMG"),
                  std::string::npos)
            << what << errs;
        EXPECT_EQ(errs.find("REF: btn-fleche.bmp"), std::string::npos) << what << errs;
        std::printf("missing doc_img.bmp (%s): process ended %.2f s after its start\n", what,
                    secondsBetween(started, ended));
        removeFolder(tree);
        tree.clear();
    }
}

TEST_F(OrvaneProcess, CloseEndsWithExitCodeZero) {
    start();
    // The lock file appears at the first step of start-up; the window follows at once.
    const std::string lock = runtime + "/orvane-mutex-Orvane.lock";
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(lock) && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(std::filesystem::exists(lock)) << errors();
    std::this_thread::sleep_for(std::chrono::seconds(2));  // well into the message loop
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    const auto asked = Clock::now();
    const int code = waitForEnd(60);
    ASSERT_EQ(pid, -1) << "orvane did not end; stderr:\n" << errors();
    EXPECT_EQ(code, 0) << errors();
    EXPECT_EQ(errors().find("Identification du probl"), std::string::npos) << errors();
    std::printf("close: process ended %.2f s after it was asked to\n", secondsBetween(asked, ended));
}

}  // namespace
}  // namespace orvane::test
