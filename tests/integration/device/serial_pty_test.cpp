// The serial device thread on a real pseudo-terminal, through the real termios code.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <thread>

#include "device/serial_device.h"
#include "tests/integration/device/pty_peer.h"
#include "tests/integration/device/pty_ports.h"

namespace orvane::test {
namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 20s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

TEST(SerialPty, PortIsExclusiveRaw9600EightNOne) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    platform::SerialOpenError error{};
    auto port = platform::linux_serial::openTermiosPort(peer.slavePath(), error);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(error, platform::SerialOpenError::None);
    termios t{};
    ASSERT_EQ(tcgetattr(peer.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);

    platform::SerialOpenError second{};
    EXPECT_EQ(platform::linux_serial::openTermiosPort(peer.slavePath(), second), nullptr);
    EXPECT_EQ(second, platform::SerialOpenError::CannotOpen);
    port.reset();
    EXPECT_NE(platform::linux_serial::openTermiosPort(peer.slavePath(), second), nullptr);
    EXPECT_EQ(platform::linux_serial::openTermiosPort("/nonexistent/ttyUSB0", second), nullptr);
}

TEST(SerialPty, ReadsEndOnTheirTimeOuts) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    platform::SerialOpenError error{};
    auto port = platform::linux_serial::openTermiosPort(peer.slavePath(), error);
    ASSERT_NE(port, nullptr);
    std::uint8_t buf[32];
    std::size_t got = 99;
    // Silence: the whole total time-out (10 ms x 32 + 50 ms) passes, the read succeeds empty.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(port->read(buf, sizeof buf, got));
    EXPECT_EQ(got, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 360ms);
    // A short reply then silence: what came, nothing lost or added.
    ASSERT_EQ(::write(peer.master(), "PXXXXXXXab", 10), 10);
    ASSERT_TRUE(port->read(buf, sizeof buf, got));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), got), "PXXXXXXXab");
    // Bytes pass untranslated (no CR/LF mapping, no echo).
    ASSERT_TRUE(port->write("\r\n\x03", 3));
    char back[8] = {};
    ASSERT_TRUE(waitFor([&] { return ::read(peer.master(), back, sizeof back) == 3; }));
    EXPECT_EQ(std::string(back, 3), "\r\n\x03");
    peer.hangUp();
    EXPECT_FALSE(port->write("PXXXXXXX", 8));
}

struct ThreadRun {
    ThreadRun(PtyPorts& ports)
        : link(state, [this](int s) {
              changes.fetch_add(1);
              last.store(s);
              return device::PictureDownload{device::PictureDownload::Outcome::NoBytes, std::nullopt};
          }),
          device(
              state, ports, platform::systemClock(), link, [this](std::string_view) { echoes.fetch_add(1); },
              &stopSignal) {
        state.ui.serialRunFlag.store(true);
        link.set(device::kLinkClosed);
        thread = std::thread([this] { device.run(); });
    }
    ~ThreadRun() { stop(); }
    void stop() {
        state.ui.serialRunFlag.store(false);
        stopSignal.signal();
        if (thread.joinable()) thread.join();
    }

    ClientState state;
    std::atomic<int> changes{0};
    std::atomic<int> last{0};
    std::atomic<int> echoes{0};
    device::LinkStatus link;
    platform::WakeEvent stopSignal;
    device::SerialDevice device;
    std::thread thread;
};

TEST(SerialPty, EchoingPeerThenSilentThenUnplugged) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.start(PtyPeer::Mode::Echo);
    PtyPorts ports(peer.portName());
    ThreadRun run(ports);
    ASSERT_TRUE(waitFor([&] { return run.link.current() == device::kLinkEcho; })) << run.link.current();
    EXPECT_GE(run.echoes.load(), 1);

    peer.setMode(PtyPeer::Mode::Silent);
    ASSERT_TRUE(waitFor([&] { return run.link.current() == device::kLinkOpen; }));
    // It stays green while the peer stays silent.
    const int seen = peer.probesSeen();
    ASSERT_TRUE(waitFor([&] { return peer.probesSeen() >= seen + 2; }));
    EXPECT_EQ(run.link.current(), device::kLinkOpen);

    peer.hangUp();
    ASSERT_TRUE(waitFor([&] { return run.link.current() == device::kLinkClosed; }));
    ASSERT_TRUE(waitFor([&] { return run.device.phase() == device::SerialPhase::Waiting ||
                                      run.device.phase() == device::SerialPhase::Searching; }));
    run.stop();
    EXPECT_EQ(run.device.phase(), device::SerialPhase::Ended);
}

TEST(SerialPty, SilentPeerGivesGreenAndShutdownShowsBlack) {
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.start(PtyPeer::Mode::Silent);
    PtyPorts ports(peer.portName());
    ThreadRun run(ports);
    ASSERT_TRUE(waitFor([&] { return peer.probesSeen() >= 2; }));
    EXPECT_EQ(run.link.current(), device::kLinkOpen);
    EXPECT_EQ(run.echoes.load(), 0);
    run.stop();
    EXPECT_EQ(run.link.current(), device::kLinkClosed);
    EXPECT_EQ(run.last.load(), device::kLinkClosed);
}

}  // namespace
}  // namespace orvane::test
