// The lab's simulated adapter, found through the lab-only port list and driven by its orders.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "lab/child_process.h"
#include "platform/serial.h"

namespace orvane::test {
namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class LabAdapterTest : public ::testing::Test {
protected:
    LabAdapterTest() {
        dir = std::filesystem::temp_directory_path() / ("orvane-adapter-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        portsFile = (dir / "serial-ports").string();
        fifo = (dir / "adapter.orders").string();
        ::setenv("ORVANE_LAB_SERIAL_PORTS", portsFile.c_str(), 1);
    }
    ~LabAdapterTest() override {
        adapter.stop();
        ::unsetenv("ORVANE_LAB_SERIAL_PORTS");
        std::filesystem::remove_all(dir);
    }
    void order(const std::string& o) {
        std::ofstream(fifo) << o << "\n";
    }
    std::vector<platform::SerialPortEntry> listed() {
        std::vector<platform::SerialPortEntry> out;
        EXPECT_TRUE(platform::systemSerialPorts().listPorts(out));
        return out;
    }
    // One probe and what came back. A reply that came too late for the previous probe (a slow
    // start of the adapter on a busy machine) is read away first, so it is never taken for
    // this probe's answer.
    std::string exchange(platform::SerialPort& port) {
        char stale[1];
        std::size_t late = 0;
        while (port.read(stale, 1, late) && late > 0) {
        }
        if (!port.write("PXXXXXXX", 8)) return "(write failed)";
        char buf[32];
        std::size_t got = 0;
        if (!port.read(buf, sizeof buf, got)) return "(read failed)";
        return std::string(buf, got);
    }

    std::filesystem::path dir;
    std::string portsFile, fifo;
    lab::ChildProcess adapter;
};

TEST_F(LabAdapterTest, PlugProbeOrdersAndUnplug) {
    ASSERT_TRUE(adapter.start({std::string(ORVANE_LAB_TOOL), "adapter", portsFile, fifo}, {},
                              (dir / "adapter.log").string()));
    ASSERT_TRUE(waitFor([&] { return std::filesystem::is_fifo(fifo) && std::filesystem::exists(portsFile); }));
    EXPECT_TRUE(listed().empty());  // starts unplugged

    order("plug");
    ASSERT_TRUE(waitFor([&] { return !listed().empty(); }));
    const auto entry = listed().at(0);
    EXPECT_EQ(entry.hardwareId, "USB\\VID_0403&PID_6001&REV_0600");
    ASSERT_TRUE(entry.portName.has_value());
    const std::string path = platform::systemSerialPorts().devicePath(*entry.portName);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    platform::SerialOpenError error{};
    auto port = platform::systemSerialPorts().open(path, error);
    ASSERT_NE(port, nullptr);

    ASSERT_TRUE(waitFor([&] { return exchange(*port) == "PXXXXXXX"; }));
    order("garble");
    ASSERT_TRUE(waitFor([&] { return exchange(*port) == "pXXXXXXX"; }));
    order("alternate");
    ASSERT_TRUE(waitFor([&] { return exchange(*port) == "PXXXXXXX"; }));
    EXPECT_EQ(exchange(*port), "pXXXXXXX");
    EXPECT_EQ(exchange(*port), "PXXXXXXX");
    order("silent");
    ASSERT_TRUE(waitFor([&] { return exchange(*port).empty(); }));

    order("unplug");
    ASSERT_TRUE(waitFor([&] { return listed().empty(); }));
    EXPECT_FALSE(port->write("PXXXXXXX", 8));
}

}  // namespace
}  // namespace orvane::test
