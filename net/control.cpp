#include "net/control.h"

#include <cstring>

#include "net/server_receive.h"
#include "net/server_sockets.h"

#ifndef ORVANE_INSTALLER_URL
#define ORVANE_INSTALLER_URL "https://localhost:44300/installer.php"
#endif

namespace orvane::net {

namespace {

constexpr int kAfterRequestMs = 200;
constexpr int kAfterReplyMs = 500;
constexpr int kAfterSupervisorMs = 200;
// Replies taken in one cycle besides the first: the three a full cycle pair asks for, and
// room for late ones.
constexpr int kMaxRepliesPerCycle = 8;

void sendRequests(ClientState& state, platform::UdpNetwork& udp, ControlContext& context) {
    if (context.phase == protocol::kKindAudio) {
        std::uint8_t query[protocol::kSupervisorQueryBytes];
        std::size_t n = protocol::buildSupervisorQuery(query, state.channel.echoByte);
        udp.sendTo(state.link.controlSocket, query, n, state.link.serverAddress,
                   static_cast<std::uint16_t>(state.channel.channelPort + kControlPortOffset));
        context.phase = protocol::kKindRoster;
    } else {
        sendControlRequest(state, udp, state.channel.channelPort);
        std::int32_t k = state.link.rosterPollIndex;
        if (k < 0 || k >= kChannelCount) k = 0;
        state.link.rosterPollIndex = k + 1 >= kChannelCount ? 0 : k + 1;
        sendControlRequest(state, udp, kFirstChannelPort + k);
        context.phase = protocol::kKindAudio;
    }
    state.lamps.lampSvc = kLampBlue;
}

}  // namespace

const char* configuredInstallerUrl() { return ORVANE_INSTALLER_URL; }

void handleRosterReply(ClientState& state, const std::uint8_t* data, std::size_t length) {
    const protocol::RosterReply reply = protocol::parseRosterReply(data, length);
    const int n = reply.channel;
    if (n < 0 || n >= kChannelCount) return;
    // Stored clipped to what a roster row holds, so that every reader (the channel panel, the
    // windows that list the accounts) can loop to the count without leaving its row, and no
    // panel shows more users than are kept.
    const std::int32_t count = reply.count < 0 ? 0 : reply.count > kRosterSize ? kRosterSize : reply.count;
    state.channel.rosterCount[n] = count;
    if (state.channel.channelPort - kFirstChannelPort == n) state.channel.rosterCount[kChannelCount] = count;
    for (int i = 0; i < count; ++i) state.channel.channelRoster[n][i] = protocol::rosterEntry(data, length, i);
}

void handleSupervisorReply(ControlUi& ui, const char* installerUrl,
                           const std::uint8_t* data, std::size_t length) {
    const protocol::SupervisorReply reply = protocol::parseSupervisorReply(data, length);
    if (reply.code == protocol::kSupervisorUpdateRequired) {
        ui.showWarningBox(kUpdateRequiredText, kSupervisorCaption);
        ui.openUrl(installerUrl != nullptr ? installerUrl : configuredInstallerUrl());
        ui.destroyMainWindow();
    } else if (reply.code == protocol::kSupervisorClosing) {
        ui.showSupervisorNotice(kSupervisorClosingText);
        ui.destroyMainWindow();
    }
}

namespace {

// Acts on one reply: stores a roster, obeys a supervisor's order.
void dispatchReply(ClientState& state, ControlUi& ui, const ControlContext& context, const std::uint8_t* rx,
                   std::size_t length) {
    state.lamps.lampSvc = kLampGreen;
    if (rx[0] == protocol::kKindRoster) {
        handleRosterReply(state, rx, length);
    } else if (rx[0] == protocol::kKindAudio) {
        handleSupervisorReply(ui, context.installerUrl, rx, length);
        state.lamps.lampSvc = kLampYellow;
    }
}

}  // namespace

void controlStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                 ControlUi& ui, ControlContext& context) {
    sendRequests(state, udp, context);
    clock.sleepMs(kAfterRequestMs);

    std::uint8_t* rx = context.controlRxBuffer;
    const ServerReceive r = receiveFromServer(udp, clock, state.link.controlSocket,
                                              state.link.serverAddress, rx, protocol::kDatagramCapacity, kPollMs);
    if (r.outcome != ReceiveOutcome::Datagram || r.length == 0) {
        std::memset(rx, 0, protocol::kDatagramCapacity);
        state.lamps.lampSvc = kLampRed;
        clock.sleepMs(kAfterReplyMs);
        return;
    }
    const std::uint8_t kind = rx[0];
    dispatchReply(state, ui, context, rx, r.length);
    // The replies already waiting are taken now too. A roster phase asks for two rosters and a
    // supervisor phase for one answer, so one reply a cycle would leave one more behind every
    // two cycles: the queue would grow without end, the rosters shown would be minutes old,
    // and once the socket is full the server's newest replies, a supervisor's order among
    // them, would be dropped. Bounded, so that a flood cannot hold the thread here.
    for (int extra = 0; extra < kMaxRepliesPerCycle; ++extra) {
        const ServerReceive more = receiveFromServer(udp, clock, state.link.controlSocket, state.link.serverAddress,
                                                     rx, protocol::kDatagramCapacity, 0);
        if (more.outcome != ReceiveOutcome::Datagram) break;
        if (more.length > 0) dispatchReply(state, ui, context, rx, more.length);
    }
    if (kind == protocol::kKindAudio) {
        state.lamps.lampSvc = kLampYellow;
        clock.sleepMs(kAfterSupervisorMs);
    }
    clock.sleepMs(kAfterReplyMs);
}

void controlThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                   ControlUi& ui, const std::atomic<bool>& running) {
    ControlContext context;
    while (running.load(std::memory_order_relaxed)) controlStep(state, udp, clock, ui, context);
}

}  // namespace orvane::net
