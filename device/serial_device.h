#pragma once
// The serial device thread: finds a known USB-serial adapter among the present ports, opens it
// and probes it with "PXXXXXXX" (each exchange followed by 200 ms), showing the outcome as the
// link status; when no adapter is there, or the link is lost, it searches again after about 2 s.
// The thread is a loop around step(), one iteration each, so tests drive it with fake ports and
// a manual clock.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "state/client_state.h"
#include "device/link_status.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/wake_event.h"

namespace orvane::device {

inline constexpr char kProbe[] = "PXXXXXXX";
inline constexpr std::size_t kProbeLength = 8;
inline constexpr std::size_t kReplyCapacity = 32;
inline constexpr std::size_t kHardwareIdBuffer = 512;  // with its terminator
inline constexpr std::size_t kPortNameBuffer = 32;     // with its terminator
inline constexpr std::size_t kDevicePathBuffer = 32;   // with its terminator
inline constexpr int kProbePauseMs = 200;
inline constexpr int kWaitPauseMs = 100;
inline constexpr int kWaitPauses = 20;
// Between two attempts at a port that cannot be opened or configured, so that a busy port is
// retried promptly without spinning a core.
inline constexpr int kRetryPauseMs = 100;

enum class SerialPhase { Searching, Probing, Waiting, Ended };

class SerialDevice {
public:
    // `echoLine` receives each "Echo reçu : ..." line (standard output in the program).
    // `stop`, when given, ends the two-second wait between searches at once (see requestStop).
    SerialDevice(ClientState& state, platform::SerialPorts& ports, platform::Clock& clock, LinkStatus& link,
                 std::function<void(std::string_view)> echoLine, platform::WakeEvent* stop = nullptr);
    ~SerialDevice();

    // One iteration: a search (with its open attempt), one probe cycle, or the wait of about two
    // seconds before the next search (one wait, which the stop signal ends at once; the run flag
    // is looked at before and after it).
    void step();
    // Steps until the run flag is lowered; the port is closed and the status is 1 at the end.
    void run();

    // Readable from any thread (tests and measurements watch it).
    SerialPhase phase() const { return phase_.load(std::memory_order_relaxed); }

private:
    void search();
    void probe();
    void closeLink();

    ClientState& state_;
    platform::SerialPorts& ports_;
    platform::Clock& clock_;
    LinkStatus& link_;
    std::function<void(std::string_view)> echoLine_;
    std::atomic<SerialPhase> phase_{SerialPhase::Searching};
    std::unique_ptr<platform::SerialPort> port_;
    platform::WakeEvent ownStop_;
    platform::WakeEvent& stop_;
    std::uint8_t reply_[kReplyCapacity] = {};
};

// The program's thread body: runs a SerialDevice on the system's ports and clock, echo lines on
// standard output. The caller raises serialRunFlag before starting it; to stop it, lowers the
// flag and then signals `stop`.
void serialDeviceThread(ClientState& state, LinkStatus& link, platform::WakeEvent& stop);

}  // namespace orvane::device
