#pragma once
// The control thread: roster polls and supervisor queries in turn, and what their replies do.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "state/client_state.h"
#include "net/control_ui.h"
#include "protocol/datagrams.h"
#include "platform/clock.h"
#include "platform/udp.h"

namespace orvane::net {

// The control thread's own state between steps.
struct ControlContext {
    std::uint8_t phase = protocol::kKindRoster;  // 'L' roster polls, 'A' supervisor query
    std::uint8_t controlRxBuffer[protocol::kDatagramCapacity] = {};
    const char* installerUrl = nullptr;  // null: the address configured in the build
};

// The installer page configured in the build.
const char* configuredInstallerUrl();

// One cycle: the request of the current phase, 200 ms, a wait of up to 500 ms for a reply
// from the server and the action on it, with the pauses between cycles.
void controlStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                 ControlUi& ui, ControlContext& context);

// A roster reply into `channelRoster`/`rosterCount` (entry 11 too when it is the current
// channel). A channel outside 0..10 is ignored; the count is stored as received but at most
// 16 account numbers are written, and numbers missing from a short datagram read as zero.
void handleRosterReply(ClientState& state, const std::uint8_t* data, std::size_t length);

// A supervisor reply: 220 update required, 240 closing, others nothing.
void handleSupervisorReply(ControlUi& ui, const char* installerUrl,
                           const std::uint8_t* data, std::size_t length);

// controlStep while `running` holds.
void controlThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                   ControlUi& ui, const std::atomic<bool>& running);

}  // namespace orvane::net
