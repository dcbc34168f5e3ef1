// Arbitrary datagrams, from the server or elsewhere, through the voice receive and control
// steps; every field they touch must stay in range.
#include <cstddef>
#include <cstdint>

#include "fuzz/net/state_ranges.h"
#include "net/control.h"
#include "net/voice_receive.h"
#include "tests/fakes/fake_udp.h"
#include "tests/fakes/manual_clock.h"

namespace {

constexpr std::uint32_t kServer = 0x0A000001;
constexpr orvane::platform::SocketHandle kVoice = 3, kControl = 4;

class QuietUi final : public orvane::net::ControlUi {
public:
    void showWarningBox(const char*, const char*) override {}
    void openUrl(const char*) override {}
    void showSupervisorNotice(const char*) override {}
    void destroyMainWindow() override {}
};

}  // namespace

// Input: records of [flags][length low][length high][bytes...]. Flags bit 0 picks the control
// socket, bit 1 a foreign sender, bit 2 the transmit flag, bits 4-7 the current channel.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvane;
    static ClientState state;
    static net::VoiceReceiveBuffer voiceBuffer;
    static net::ControlContext context;
    test::ManualClock clock;
    test::FakeUdp udp(&clock);
    QuietUi ui;
    state.link.serverAddress = kServer;
    state.link.voiceSocket = kVoice;
    state.link.controlSocket = kControl;

    std::size_t at = 0;
    while (at + 3 <= size) {
        const std::uint8_t flags = data[at];
        std::size_t length = data[at + 1] | (data[at + 2] << 8);
        at += 3;
        if (length > size - at) length = size - at;
        const bool control = flags & 1;
        const std::uint32_t from = (flags & 2) ? 0x7F000002u : kServer;
        state.setTransmit(flags & 4);
        state.channel.channelPort = kFirstChannelPort + (flags >> 4);
        udp.queue(control ? kControl : kVoice, data + at, length, from, 31000);
        at += length;
        if (control) net::controlStep(state, udp, clock, ui, context);
        else net::voiceReceiveStep(state, udp, clock, voiceBuffer);
        fuzz::checkNetworkRanges(state);
    }
    return 0;
}
