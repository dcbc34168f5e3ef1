// The spoken help as a user meets it: the real client on a real X display (Xvfb), clicked
// with xdotool, photographed with ImageMagick's import; the real Parlo it starts, speaking into
// the lab's pipe speaker, which the test records.
#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "display/layout.h"
#include "tests/e2e/lab_network.h"

namespace orvane::e2e {
namespace {

using platform::Rect;

// Bytes of s16le stereo 8000 Hz per second at the pipe sink.
constexpr std::size_t kBytesPerSecond = 8000 * 4;

// Frames whose left sample is louder than 300: speech, not the sink's silence.
std::size_t voicedBytes(const std::vector<std::uint8_t>& pcm) {
    std::size_t voiced = 0;
    for (std::size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        const auto l = static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8));
        if (std::abs(l) > 300) voiced += 4;
    }
    return voiced;
}

// Runs a shell command; its standard output (standard error goes to the test's log).
std::string shell(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    return out;
}

// A private X server on the first free display from :120 up (another run may hold one).
class VirtualScreen {
public:
    bool start(const std::string& logFolder, std::string& error) {
        for (int n = 120; n < 160; ++n) {
            if (::access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) == 0) continue;
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            if (::access(socket.c_str(), F_OK) == 0) continue;
            server_ = std::make_unique<lab::ChildProcess>();
            if (!server_->start({"/usr/bin/Xvfb", ":" + std::to_string(n), "-screen", "0", "1024x800x24", "-nolisten",
                                 "tcp"},
                                {}, logFolder + "/xvfb.log")) {
                error = "cannot run Xvfb";
                return false;
            }
            if (LabNetwork::waitUntil([&] { return ::access(socket.c_str(), F_OK) == 0 || !server_->running(); },
                                      20000) &&
                server_->running()) {
                display_ = ":" + std::to_string(n);
                return true;
            }
            server_->stop();  // that display was taken meanwhile: the next one
        }
        error = "no free X display: " + lab::readFile(logFolder + "/xvfb.log");
        return false;
    }
    const std::string& display() const { return display_; }
    // An xdotool or import command line on this display.
    std::string on(const std::string& command) const { return "DISPLAY=" + display_ + " " + command; }

private:
    std::unique_ptr<lab::ChildProcess> server_;
    std::string display_;
};

// A screenshot of one window, as RGB bytes.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;

    // Yellow pixels (the message zone's texts) inside `r`.
    int yellowIn(Rect r) const {
        int count = 0;
        if (rgb.size() != static_cast<std::size_t>(width) * height * 3) return 0;
        for (int y = std::max(r.top, 0); y < std::min(r.bottom, height); ++y)
            for (int x = std::max(r.left, 0); x < std::min(r.right, width); ++x) {
                const std::uint8_t* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
                if (p[0] >= 200 && p[1] >= 200 && p[2] <= 100) ++count;
            }
        return count;
    }
};

// Reads a binary PPM (P6, maximum 255) as import writes it.
bool readPpm(const std::string& path, Picture& out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int max = 0;
    out = {};
    if (!(in >> magic >> out.width >> out.height >> max) || magic != "P6" || max != 255 || out.width <= 0 ||
        out.height <= 0 || out.width > 4096 || out.height > 4096) {
        out = {};
        return false;
    }
    in.get();  // the one whitespace byte before the pixels
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    in.read(reinterpret_cast<char*>(out.rgb.data()), static_cast<std::streamsize>(out.rgb.size()));
    if (in.gcount() == static_cast<std::streamsize>(out.rgb.size())) return true;
    out = {};
    return false;
}

// The pid of a process named "parlo" whose parent is `parent`; 0 when there is none.
int parloChildOf(int parent) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return 0;
    int found = 0;
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        std::getline(stat, line);
        // pid (comm) state ppid ...
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos || line.find("(parlo)") == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent && state != 'Z') found = std::atoi(e->d_name);
    }
    ::closedir(proc);
    return found;
}

class SpeechWindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/import"})
            if (::access(tool, X_OK) != 0) GTEST_SKIP() << tool << " is missing (scripts/install-deps.sh installs it)";
        std::string error;
        ASSERT_TRUE(net_.startShared(error)) << error;
        ASSERT_TRUE(screen_.start(net_.folder(), error)) << error;
        // The toggle asks the whole machine's process list: a Parlo of some other run would be
        // stopped instead of ours started.
        ASSERT_TRUE(LabNetwork::waitUntil([] { return shell("pgrep -x parlo").empty(); }, 60000))
            << "another Parlo runs on this machine: " << shell("pgrep -a -x parlo");
        // B plays into the pipe speaker: its Parlo, which inherits its environment, does too.
        net_.b().env = {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + screen_.display()};
        ASSERT_TRUE(net_.startNetwork(error)) << error;
        speaker_ = std::make_unique<test::SinkRecorder>(net_.pulse().sinkFifo());
        ASSERT_TRUE(speaker_->start());
        ASSERT_TRUE(LabNetwork::waitUntil([&] { return findWindow(); }, 60000))
            << "B's main window never showed on " << screen_.display() << "\n"
            << net_.clientLog(net_.b());
    }
    void TearDown() override {
        if (speaker_) speaker_->stop();
        if (const int parlo = net_.b().process ? parloChildOf(net_.b().process->pid()) : 0; parlo > 0)
            ::kill(parlo, SIGKILL);
    }

    // B's 550 x 730 main window among the visible windows of its process.
    bool findWindow() {
        const std::string ids =
            shell(screen_.on("/usr/bin/xdotool search --onlyvisible --pid " + std::to_string(net_.b().process->pid()) +
                             " 2>/dev/null"));
        std::istringstream in(ids);
        std::string id;
        while (in >> id) {
            const std::string geometry = shell(screen_.on("/usr/bin/xdotool getwindowgeometry --shell " + id));
            if (geometry.find("WIDTH=550") != std::string::npos && geometry.find("HEIGHT=730") != std::string::npos) {
                window_ = id;
                return true;
            }
        }
        return false;
    }
    void xdotool(const std::string& args) {
        ASSERT_EQ(std::system(screen_.on("/usr/bin/xdotool " + args).c_str()), 0) << args;
    }
    void click(platform::Point p, int button) {
        // No window manager raises the window that is clicked: Parlo's window, shown later in the
        // middle of the screen, would take the clicks meant for the network zone under it.
        xdotool("windowraise " + window_ + " mousemove --window " + window_ + " " + std::to_string(p.x) + " " +
                std::to_string(p.y) + " click " +
                std::to_string(button));
    }
    Picture grab() {
        Picture pic;
        const std::string file = net_.folder() + "/shot.ppm";
        ::unlink(file.c_str());
        if (std::system(screen_.on("/usr/bin/import -window " + window_ + " -depth 8 ppm:" + file + " 2>/dev/null").c_str()) ==
            0)
            readPpm(file, pic);
        return pic;
    }
    // Waits until the message zone's yellow differs from `before` by more than a few pixels.
    int waitMessageChange(int before) {
        int now = before;
        LabNetwork::waitUntil(
            [&] {
                now = grab().yellowIn(kMessageInside);
                return std::abs(now - before) > 40;
            },
            30000);
        return now;
    }
    bool waitVoiced(std::size_t bytes, int timeoutMs) {
        return LabNetwork::waitUntil([&] { return voicedBytes(speaker_->data()) >= bytes; }, timeoutMs);
    }
    // Waits until the speaker has said nothing for `quietMs`; the voiced bytes heard.
    std::size_t waitQuiet(int quietMs, int timeoutMs) {
        std::size_t last = voicedBytes(speaker_->data());
        int still = 0;
        LabNetwork::waitUntil(
            [&] {
                const std::size_t now = voicedBytes(speaker_->data());
                still = now == last ? still + 50 : 0;
                last = now;
                return still >= quietMs;
            },
            timeoutMs);
        return last;
    }
    // One help text, from its right click to the end of its sound.
    std::size_t helpHeard(platform::Point p) {
        speaker_->clear();
        click(p, 3);
        EXPECT_TRUE(waitVoiced(kBytesPerSecond / 4, 30000))
            << "no speech after a right click at " << p.x << "," << p.y << "\n" << net_.clientLog(net_.b());
        return waitQuiet(1500, 60000);
    }

    // Inside the message zone's yellow frame and rounded corners.
    static constexpr Rect kMessageInside{display::kMessageZone.left + 20, display::kMessageZone.top + 5,
                                         display::kMessageZone.right - 20, display::kMessageZone.bottom - 5};

    VirtualScreen screen_;  // outlives the clients that draw on it
    LabNetwork net_;
    std::unique_ptr<test::SinkRecorder> speaker_;
    std::string window_;
};

constexpr platform::Point centre(Rect r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

TEST_F(SpeechWindowEndToEnd, SpeechIconStartsParloRightClicksAreHeardSecondClickEndsIt) {
    const int orvane = net_.b().process->pid();
    // The window is shown before the end of start-up; the first frame (which clears the message
    // zone) must be drawn before the icon's text can stay.
    ASSERT_TRUE(LabNetwork::waitUntil([&] { return grab().width == 550; }, 30000));
    // Painted: the yellow outline of the window and of its message zone are there. The loop
    // then runs; the icon's text, drawn after that, stays.
    ASSERT_TRUE(LabNetwork::waitUntil([&] { return grab().yellowIn({0, 0, 550, 730}) > 2000; }, 60000))
        << "B's window was never painted";
    const int yellow = grab().yellowIn(kMessageInside);

    // First click on the speech icon: the message zone says so and Parlo runs, as B's child.
    click(centre(display::kSpeechIconRect), 1);
    const int started = waitMessageChange(yellow);
    EXPECT_GT(started, yellow + 40) << "no yellow text in the message zone";
    ASSERT_TRUE(LabNetwork::waitUntil([&] { return parloChildOf(orvane) > 0; }, 30000)) << net_.clientLog(net_.b());
    // Its three announcements, then silence.
    ASSERT_TRUE(waitVoiced(2 * kBytesPerSecond, 60000)) << net_.clientLog(net_.b());
    waitQuiet(1500, 60000);

    // Right clicks: the network zone's help and, for a spot with no element, the short
    // sentence (the longer text lasts longer); then the channel zone's.
    const std::size_t nothing = helpHeard({100, 620});
    const std::size_t network = helpHeard(centre(display::kNetworkZone));
    EXPECT_GT(network, kBytesPerSecond / 2);
    EXPECT_GT(network, nothing + nothing / 10) << "network zone " << network << " bytes, elsewhere " << nothing;
    EXPECT_GT(helpHeard({100, 150}), kBytesPerSecond / 2);  // channel zone, below the drag band
    // A right click on the speech icon changes only the ticker: nothing is said.
    speaker_->clear();
    click(centre(display::kSpeechIconRect), 3);
    ::usleep(1500000);
    EXPECT_LT(voicedBytes(speaker_->data()), kBytesPerSecond / 10);

    // A help text queued, then the second click: Parlo says it and ends; the message zone
    // shows the (longer) closing text.
    speaker_->clear();
    click({100, 150}, 3);
    click(centre(display::kSpeechIconRect), 1);
    const int closing = waitMessageChange(started);
    EXPECT_GT(closing, started) << "the closing text did not replace the starting one";
    ASSERT_TRUE(LabNetwork::waitUntil([&] { return parloChildOf(orvane) == 0; }, 60000));
    EXPECT_TRUE(waitVoiced(network / 2, 15000)) << "the queued help was not said before Parlo ended: "
                                                << voicedBytes(speaker_->data()) << " of " << network;

    // Escape ends Orvane normally.
    xdotool("windowfocus --sync " + window_);
    xdotool("key Escape");
    int code = -1;
    ASSERT_TRUE(net_.b().process->waitExit(30000, code)) << net_.clientLog(net_.b());
    EXPECT_EQ(code, 0) << net_.clientLog(net_.b());
}

}  // namespace
}  // namespace orvane::e2e
