#include "device/serial_device.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/adapter_table.h"

namespace orvane::device {

SerialDevice::SerialDevice(ClientState& state, platform::SerialPorts& ports, platform::Clock& clock,
                           LinkStatus& link, std::function<void(std::string_view)> echoLine,
                           platform::WakeEvent* stop)
    : state_(state), ports_(ports), clock_(clock), link_(link), echoLine_(std::move(echoLine)),
      stop_(stop != nullptr ? *stop : ownStop_) {}

SerialDevice::~SerialDevice() = default;

void SerialDevice::step() {
    switch (phase_) {
    case SerialPhase::Searching:
        if (!state_.ui.serialRunFlag.load()) {
            phase_ = SerialPhase::Ended;
            return;
        }
        search();
        return;
    case SerialPhase::Probing:
        if (!state_.ui.serialRunFlag.load()) {
            closeLink();
            return;
        }
        probe();
        return;
    case SerialPhase::Waiting:
        if (!state_.ui.serialRunFlag.load()) {
            phase_ = SerialPhase::Ended;
            return;
        }
        // The whole pause at once: the thread does not wake ten times a second to look at the
        // flag, and a stop still ends the wait at once.
        clock_.waitMs(stop_, kWaitPauseMs * kWaitPauses);
        phase_ = state_.ui.serialRunFlag.load() ? SerialPhase::Searching : SerialPhase::Ended;
        return;
    case SerialPhase::Ended:
        return;
    }
}

void SerialDevice::run() {
    while (phase() != SerialPhase::Ended) step();
}

void SerialDevice::search() {
    std::vector<platform::SerialPortEntry> present;
    std::string path;
    if (ports_.listPorts(present)) {
        for (const auto& entry : present) {
            // Identifiers and names that would not fit their buffers are skipped whole: a cut
            // identifier or name could match, or open, the wrong device.
            if (!entry.hardwareId || entry.hardwareId->size() >= kHardwareIdBuffer) continue;
            if (matchAdapterRow(*entry.hardwareId) == 0) continue;
            if (!entry.portName || entry.portName->empty() || entry.portName->size() >= kPortNameBuffer) continue;
            std::string candidate = ports_.devicePath(*entry.portName);
            if (candidate.empty() || candidate.size() >= kDevicePathBuffer) continue;
            path = std::move(candidate);
            break;
        }
    }
    if (path.empty()) {
        phase_ = SerialPhase::Waiting;
        return;
    }
    platform::SerialOpenError error = platform::SerialOpenError::None;
    port_ = ports_.open(path, error);
    if (!port_) {
        // Busy or refusing its settings: try again soon, but never in a tight loop.
        clock_.sleepMs(kRetryPauseMs);
        return;
    }
    link_.set(kLinkOpen);
    phase_ = SerialPhase::Probing;
}

void SerialDevice::probe() {
    if (!port_->write(kProbe, kProbeLength)) {
        closeLink();
        return;
    }
    std::size_t got = 0;
    if (port_->read(reply_, kReplyCapacity, got)) {
        if (got >= kProbeLength && std::memcmp(reply_, kProbe, kProbeLength) == 0) {
            if (echoLine_) {
                char line[64];
                const int n = std::snprintf(line, sizeof line, "Echo re\xC3\xA7u : %.*s\n", static_cast<int>(kProbeLength),
                                            reinterpret_cast<const char*>(reply_));
                if (n > 0) echoLine_(std::string_view(line, static_cast<std::size_t>(n)));
            }
            link_.set(kLinkEcho);
        } else {
            link_.set(kLinkOpen);
        }
    }
    clock_.sleepMs(kProbePauseMs);
}

void SerialDevice::closeLink() {
    port_.reset();
    link_.set(kLinkClosed);
    phase_ = SerialPhase::Waiting;
}

void serialDeviceThread(ClientState& state, LinkStatus& link, platform::WakeEvent& stop) {
    SerialDevice device(
        state, platform::systemSerialPorts(), platform::systemClock(), link,
        [](std::string_view line) {
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fflush(stdout);
        },
        &stop);
    device.run();
}

}  // namespace orvane::device
