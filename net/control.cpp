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

    state.lamps.lampSvc = kLampGreen;
    switch (rx[0]) {
    case protocol::kKindRoster:
        handleRosterReply(state, rx, r.length);
        clock.sleepMs(kAfterReplyMs);
        break;
    case protocol::kKindAudio:
        handleSupervisorReply(ui, context.installerUrl, rx, r.length);
        state.lamps.lampSvc = kLampYellow;
        clock.sleepMs(kAfterSupervisorMs);
        clock.sleepMs(kAfterReplyMs);
        break;
    default:
        clock.sleepMs(kAfterReplyMs);
        break;
    }
}

void controlThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                   ControlUi& ui, const std::atomic<bool>& running) {
    ControlContext context;
    while (running.load(std::memory_order_relaxed)) controlStep(state, udp, clock, ui, context);
}

}  // namespace orvane::net
