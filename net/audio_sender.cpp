#include "net/audio_sender.h"

#include "state/levels.h"
#include "protocol/datagrams.h"

namespace orvane::net {

namespace {

void moveNeedles(ClientState& state, const std::uint8_t* frame) {
    const std::int32_t peakLeft = blockPeak(frame, 0);
    const std::int32_t peakRight = blockPeak(frame, 1);
    const std::int16_t smoothed =
        static_cast<std::int16_t>(state.audio.smoothedPeak / 2 + peakLeft / 2);
    state.audio.smoothedPeak = smoothed;
    state.audio.leftNeedle = needleValue(smoothed);
    state.audio.rightNeedle = needleValue(peakRight / 2 + smoothed / 2);
}

void stepChaser(ClientState& state) {
    std::int32_t count = state.link.levelDecimator + 1;
    if (count < 3) {
        state.link.levelDecimator = count;
        return;
    }
    for (auto& led : state.lamps.chaserLeds) led = kLampDarkRed;
    std::int32_t index = state.lamps.txChaserIndex;
    constexpr std::int32_t kLast = kChaserLedCount - 1;
    if (index < 0 || index > kLast) index = kLast;
    state.lamps.chaserLeds[index] = kLampGreen;
    state.lamps.txChaserIndex = index == 0 ? kLast : index - 1;
    state.link.levelDecimator = 0;
}

}  // namespace

void sendAudioFrame(ClientState& state, platform::UdpNetwork& udp, const std::uint8_t* frame) {
    std::uint8_t sequence = state.link.audioSequence;
    if (sequence == 0) sequence = 1;
    const std::uint8_t next = sequence == 255 ? 1 : static_cast<std::uint8_t>(sequence + 1);
    state.link.audioSequence = next;

    std::uint8_t datagram[protocol::kAudioDatagramBytes];
    std::size_t n = protocol::buildAudio(datagram, sequence, state.identity.accountNumber, frame);
    udp.sendTo(state.link.voiceSocket, datagram, n, state.link.serverAddress,
               static_cast<std::uint16_t>(state.channel.channelPort.load()));

    moveNeedles(state, frame);
    stepChaser(state);
}

}  // namespace orvane::net
