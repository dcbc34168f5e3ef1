#pragma once
// Talk and release commands to a running client: the client reads one-byte 'T' / 'R'
// datagrams on its speech socket, whose port the system chose. The socket is found among the
// UDP sockets the process holds; the command goes to each of them, which is harmless for the
// others (its voice socket counts a stray byte on a lamp, its control socket ignores it).
#include <cstdint>
#include <vector>

namespace orvane::lab {

// Local UDP ports of the sockets process `pid` holds (from /proc). Empty when none or the
// process is gone.
std::vector<std::uint16_t> udpPortsOfProcess(int pid);

// Sends the one-byte command to every UDP port of the process on 127.0.0.1. Returns how many
// datagrams were sent.
int sendClientCommand(int pid, char command);

}  // namespace orvane::lab
