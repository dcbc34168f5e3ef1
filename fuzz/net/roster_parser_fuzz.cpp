#include <cstddef>
#include <cstdint>

#include "fuzz/net/state_ranges.h"
#include "net/control.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvane;
    static ClientState state;
    // The first byte picks the current channel, the rest is the reply.
    if (size == 0) return 0;
    state.channel.channelPort = kFirstChannelPort + data[0] % 16;  // also ports with no channel
    net::handleRosterReply(state, data + 1, size - 1);
    fuzz::checkNetworkRanges(state);
    return 0;
}
