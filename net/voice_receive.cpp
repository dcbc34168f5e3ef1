#include "net/voice_receive.h"

#include <cstring>
#include <mutex>

#include "net/server_receive.h"

namespace orvane::net {

namespace {

constexpr std::int32_t kChannel10Port = kLastChannelPort;

// Channel 10 plays "B" voice at one tenth of its level (truncated toward zero).
void attenuate(std::uint8_t* slot) {
    for (std::size_t i = 0; i < protocol::kAudioPayloadBytes; i += 2) {
        auto s = static_cast<std::int16_t>(slot[i] | (slot[i + 1] << 8));
        auto scaled = static_cast<std::uint16_t>(static_cast<std::int16_t>(s / 10));
        slot[i] = static_cast<std::uint8_t>(scaled & 0xFF);
        slot[i + 1] = static_cast<std::uint8_t>(scaled >> 8);
    }
}

// Stores one block (the payload, or silence when `data` is null) in slot `ringWriteIndex` and
// advances the index; at the end of the ring further blocks overwrite slot 15 until playback
// drains it.
void storeBlock(ClientState& state, const std::uint8_t* data, std::size_t length, bool quieter) {
    std::lock_guard<std::mutex> hold(state.audio.ringLock);
    std::int32_t index = state.audio.ringWriteIndex;
    if (index < 0) index = 0;
    if (index >= kJitterSlots) index = kJitterSlots - 1;
    std::uint8_t* slot = state.audio.jitterRing + index * kAudioBlockBytes;
    if (data == nullptr) {
        std::memset(slot, 0, kAudioBlockBytes);
    } else {
        protocol::copyVoicePayload(data, length, slot);
        if (quieter) attenuate(slot);
    }
    index += 1;
    if (index >= kJitterSlots) index = kJitterSlots - 1;
    state.audio.ringWriteIndex = index;
}

void blinkUdpLamp(ClientState& state) {
    std::int32_t count = state.link.udpBlinkCounter;
    if (count < 0 || count > 9) count = 0;
    if (count == 5) state.lamps.lampUdp = kLampGreen;
    else if (count == 0) state.lamps.lampUdp = kLampBlue;
    count += 1;
    state.link.udpBlinkCounter = count == 10 ? 0 : count;
}

}  // namespace

void startVoiceReceive(ClientState& state) {
    std::lock_guard<std::mutex> hold(state.audio.ringLock);
    std::memset(state.audio.jitterRing, 0, sizeof state.audio.jitterRing);
    state.audio.ringWriteIndex = 5;
}

void handleVoiceDatagram(ClientState& state, const std::uint8_t* data, std::size_t length) {
    const protocol::VoiceDatagram voice = protocol::parseVoice(data, length);
    if (!voice.isVoice) {
        state.lamps.lampTst = kLampYellow;
        return;
    }
    const protocol::VoiceHeader& h = voice.header;
    if (h.sequence == state.channel.lastVoiceSequence) {
        state.lamps.lampTst = kLampRed;
        return;
    }
    state.channel.lastVoiceSequence = h.sequence;
    state.lamps.lampTst = kLampGreen;

    if (h.content == protocol::kContentSilence) {
        storeBlock(state, nullptr, 0, false);
    } else if (h.content == protocol::kContentAudio) {
        const bool quieter = h.kind == protocol::kKindVoiceB && state.channel.channelPort == kChannel10Port;
        storeBlock(state, data, length, quieter);
    }

    if (!state.isTransmitting()) {
        const std::int32_t rx = state.lamps.rxChaserIndex;
        if (rx >= 0 && rx < kChaserLedCount) state.lamps.chaserLeds[rx] = kLampGreen;
    }

    state.channel.echoByte = h.echo;
    state.channel.talkerAccount = h.account;
    state.channel.serverLoad = h.load;
    blinkUdpLamp(state);
}

void voiceReceiveStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                      VoiceReceiveBuffer& buffer) {
    const ServerReceive r =
        receiveFromServer(udp, clock, state.link.voiceSocket, state.link.serverAddress,
                          buffer.bytes, sizeof buffer.bytes, kPollMs);
    if (r.outcome == ReceiveOutcome::Datagram && r.length > 0) {
        handleVoiceDatagram(state, buffer.bytes, r.length);
        return;
    }
    std::memset(buffer.bytes, 0, sizeof buffer.bytes);
    state.channel.serverLoad = 99;
    if (r.outcome == ReceiveOutcome::Failed) clock.sleepMs(kPollMs);
}

void voiceReceiveThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                        const std::atomic<bool>& running) {
    startVoiceReceive(state);
    VoiceReceiveBuffer buffer;
    while (running.load(std::memory_order_relaxed)) voiceReceiveStep(state, udp, clock, buffer);
}

}  // namespace orvane::net
