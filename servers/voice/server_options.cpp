#include "servers/voice/server_options.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvane::server {

namespace {

bool parseInt(const char* s, long low, long high, long& out) {
    if (s == nullptr || *s == '\0') return false;
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

}  // namespace

const char* serverHelpText() {
    return R"(NAME
    orvane-voice-server - reference voice server of the Orvane network

SYNOPSIS
    orvane-voice-server [--address IPV4] [--timeout-ms N] [--talk-end-ms N]
                        [--operator PATH] [--close-account N]... [--require-update]
                        [--update-account N]... [--mark-b N]... [--quiet]
    orvane-voice-server --operator PATH --order "ORDER"
    orvane-voice-server --help

DESCRIPTION
    Serves the eleven channels of the network on one IPv4 address: channel n (0..10) on UDP
    port 30000+n, its control service on UDP port 31000+n. One event loop, fixed storage:
    nothing is allocated per datagram.

    Presence. A client is present on channel n from its first voice hello, keepalive or
    audio datagram on port 30000+n, keyed by the address and port it sends from. A
    keepalive or audio datagram arriving on another channel's port moves it there. A
    client that sends nothing for --timeout-ms leaves.

    Relay. Every audio datagram is relayed to every other present client of the same
    channel, and to no one else, as a voice datagram: kind "A" (or "B", see --mark-b), a
    sequence byte of the server's own per listener (1..255, never 0), the listener's echo
    byte, the talker's account number, the load code, content 1 and the 1000 bytes of
    sound. An audio datagram that repeats its talker's previous sequence byte is a
    duplicate and is dropped.

    Load code. 0 to 4 from the voice datagrams relayed over the last second: below 2000
    per second 0, from 2000 1, from 4000 2, from 8000 3, from 16000 4.

    Rosters. A roster poll ("L" 0 0) on port 31000+n is answered with channel n's
    roster: the distinct account numbers of its present clients, longest present first,
    at most 16.

    Supervisor. A supervisor query ("A" 1 echo) is answered "A" 0 code, with code 240
    when an order closes the asking client's account, 220 when an update is required of
    it (or of everyone), 0 otherwise. A close order ends once no client of its account is
    left, so that the user may come back later.

    Which control socket belongs to which client. A client sends its voice hello and
    then its control hello, from two sockets of the same address, both to its channel
    port. The server pairs the control hello with the latest unpaired voice hello from
    that address (within 2 s). A query from a control socket not paired that way is
    matched by its echo byte (every client receives its own echo byte, 1..255, in the
    voice sent to it) and, failing that, by its address when a single unpaired client
    uses that address. An unmatched query only gets the orders meant for everyone.

    Log. One line on standard error per join, leave, channel move, talk start and talk
    stop, supervisor order delivered and operator order.

OPTIONS
    --address IPV4       address to listen on (default 127.0.0.1)
    --timeout-ms N       presence time-out in milliseconds (default 4000)
    --talk-end-ms N      silence that ends a talk, in milliseconds (default 300)
    --operator PATH      UNIX datagram socket that takes operator orders
    --close-account N    order: close account N (the clients receive 240)
    --require-update     order: every client must update (220)
    --update-account N   order: account N must update (220)
    --mark-b N           relay account N's voice on channel 10 as kind "B" (played
                         at a tenth of its level)
    --quiet              no join, leave and talk lines
    --order "ORDER"      send ORDER to the server listening on --operator PATH, print
                         its answer and exit (1 when it does not answer)
    --help               this page

OPERATOR ORDERS
    close account N          the supervisor closes account N (240)
    require update           every client must update (220)
    require update account N account N must update (220)
    mark account N           N's voice on channel 10 goes out as kind "B"
    unmark account N
    cancel account N         forget the close and update orders of account N
    cancel all               forget every close and update order
    status                   who is present on which channel ("*" talking)
    clients                  every client: account, channel, voice and control
                             sockets, roster replies sent to it
    roster N                 the account numbers a roster poll of channel N gets now

SIGNALS
    SIGINT, SIGTERM          close the sockets and exit with status 0

EXIT STATUS
    0 after a signal; 1 when a port cannot be bound; 2 on a bad command line.
)";
}

bool parseServerOptions(int argc, char** argv, ServerOptions& o, char* error, int capacity) {
    auto fail = [&](const char* what, const char* arg) {
        std::snprintf(error, static_cast<std::size_t>(capacity), "%s%s%s", what, arg ? ": " : "", arg ? arg : "");
        return false;
    };
    auto addOrder = [&](OrderVerb verb, long account) {
        if (o.orderCount >= ServerOptions::kMaxOrders) return false;
        o.orders[o.orderCount++] = Order{verb, static_cast<std::uint16_t>(account)};
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            o.help = true;
        } else if (std::strcmp(a, "--quiet") == 0) {
            o.quiet = true;
        } else if (std::strcmp(a, "--require-update") == 0) {
            if (!addOrder(OrderVerb::UpdateAll, 0)) return fail("too many orders", nullptr);
        } else if (v == nullptr) {
            return fail("unknown option or missing value", a);
        } else if (std::strcmp(a, "--address") == 0) {
            in_addr ia{};
            if (inet_pton(AF_INET, v, &ia) != 1) return fail("not an IPv4 address", v);
            o.address = ntohl(ia.s_addr);
            ++i;
        } else if (std::strcmp(a, "--timeout-ms") == 0) {
            if (!parseInt(v, 100, 600000, n)) return fail("bad --timeout-ms", v);
            o.config.presenceTimeoutMs = static_cast<int>(n);
            ++i;
        } else if (std::strcmp(a, "--talk-end-ms") == 0) {
            if (!parseInt(v, 40, 60000, n)) return fail("bad --talk-end-ms", v);
            o.config.talkEndMs = static_cast<int>(n);
            ++i;
        } else if (std::strcmp(a, "--operator") == 0) {
            o.operatorPath = v;
            ++i;
        } else if (std::strcmp(a, "--order") == 0) {
            o.orderText = v;
            ++i;
        } else if (std::strcmp(a, "--close-account") == 0 || std::strcmp(a, "--update-account") == 0 ||
                   std::strcmp(a, "--mark-b") == 0) {
            if (!parseInt(v, 0, 65535, n)) return fail("bad account number", v);
            OrderVerb verb = a[2] == 'c' ? OrderVerb::CloseAccount
                             : a[2] == 'u' ? OrderVerb::UpdateAccount
                                           : OrderVerb::MarkAccount;
            if (!addOrder(verb, n)) return fail("too many orders", nullptr);
            ++i;
        } else {
            return fail("unknown option", a);
        }
    }
    if (o.orderText != nullptr && o.operatorPath == nullptr) return fail("--order needs --operator PATH", nullptr);
    return true;
}

}  // namespace orvane::server
