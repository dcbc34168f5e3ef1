#pragma once
// Orvane's speech socket: speak and stop requests to Parlo on the loopback interface, and the
// reader of the talk and release commands that local programs send to it.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "state/client_state.h"
#include "platform/clock.h"
#include "platform/udp.h"

namespace orvane::speech {

// Opens `speechSocket` bound to any address, port 0 (the system's choice). False when it could
// not be made; the socket then stays invalid and every send fails silently.
bool openSpeechSocket(ClientState& state, platform::UdpNetwork& udp);

// Fire-and-forget requests to Parlo at 127.0.0.1:5555. `text` is single-byte Windows-1252;
// at most 1023 bytes of it are sent.
void sendSpeakRequest(ClientState& state, platform::UdpNetwork& udp, const char* text,
                      std::size_t count);
void sendStopRequest(ClientState& state, platform::UdpNetwork& udp);

// The command reader's receive buffer: one byte more than the longest accepted command, so
// that a longer datagram is recognised and ignored.
struct CommandBuffer {
    std::uint8_t bytes[1025] = {};
};

// How long one step waits for a command (so that the thread can be stopped), and the pause
// after every datagram or failed receive.
inline constexpr int kCommandWaitMs = 500;
inline constexpr int kCommandPauseMs = 100;

// One command: 'T' sets transmitFlag, 'R' clears it, anything else (or a datagram longer than
// 1024 bytes, or one not from this machine) is ignored. Pauses 100 ms after each datagram and
// after a failed wait or receive; a quiet wait simply ends the step.
void speechCommandStep(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                       CommandBuffer& buffer);

// speechCommandStep while `running` holds.
void speechCommandThread(ClientState& state, platform::UdpNetwork& udp, platform::Clock& clock,
                         const std::atomic<bool>& running);

}  // namespace orvane::speech
