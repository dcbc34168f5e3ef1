#pragma once
// Serial ports without hardware: a list the test fills and ports that answer from a script.
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace orvane::test {

// What one fake adapter does; shared by the test and the open port.
struct FakeLine {
    // One entry per read: the bytes answered, or nothing for a failing read. When empty, the
    // port echoes what was written last.
    std::deque<std::optional<std::string>> replies;
    bool writeFails = false;  // unplugged
    std::vector<std::string> written;
    int opens = 0;
    int closes = 0;
};

class FakeSerialPort final : public platform::SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {}
    ~FakeSerialPort() override { ++line_->closes; }
    bool write(const void* data, std::size_t length) override {
        if (line_->writeFails) return false;
        line_->written.emplace_back(static_cast<const char*>(data), length);
        return true;
    }
    bool read(void* buffer, std::size_t capacity, std::size_t& received) override {
        std::optional<std::string> reply;
        if (line_->replies.empty()) {
            reply = line_->written.empty() ? std::string() : line_->written.back();
        } else {
            reply = line_->replies.front();
            line_->replies.pop_front();
        }
        received = 0;
        if (!reply) return false;
        received = std::min(capacity, reply->size());
        reply->copy(static_cast<char*>(buffer), received);
        return true;
    }

private:
    std::shared_ptr<FakeLine> line_;
};

class FakeSerialPorts final : public platform::SerialPorts {
public:
    std::vector<platform::SerialPortEntry> present;
    bool listAvailable = true;
    int openFailures = 0;  // the next opens that fail
    int listings = 0;
    std::vector<std::string> openedPaths;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();

    void add(std::optional<std::string> hardwareId, std::optional<std::string> portName) {
        present.push_back({std::move(hardwareId), std::move(portName)});
    }

    bool listPorts(std::vector<platform::SerialPortEntry>& out) override {
        ++listings;
        out = present;
        return listAvailable;
    }
    std::string devicePath(std::string_view portName) override { return "/dev/" + std::string(portName); }
    std::unique_ptr<platform::SerialPort> open(const std::string& path, platform::SerialOpenError& error) override {
        openedPaths.push_back(path);
        if (openFailures > 0) {
            --openFailures;
            error = platform::SerialOpenError::CannotOpen;
            return nullptr;
        }
        error = platform::SerialOpenError::None;
        ++line->opens;
        return std::make_unique<FakeSerialPort>(line);
    }
};

}  // namespace orvane::test
