#pragma once
// Operator orders: what the supervisor answers a client, and which talker of channel 10 is
// relayed as kind "B". Orders come from the command line or the operator socket as short
// English lines ("close account 1234", "require update", ...).
#include <array>
#include <cstddef>
#include <cstdint>

namespace orvane::server {

enum class OrderVerb {
    Invalid,
    CloseAccount,    // "close account N": the supervisor closes that account's clients (240)
    UpdateAccount,   // "require update account N": that account must update (220)
    UpdateAll,       // "require update": every client must update (220)
    MarkAccount,     // "mark account N": N's voice on channel 10 goes out as kind "B"
    UnmarkAccount,   // "unmark account N"
    CancelAccount,   // "cancel account N": forget the close and update orders for N
    CancelAll,       // "cancel all": forget every close and update order
    Status,          // "status": who is where (answered by the server, not stored)
    Clients,         // "clients": every client with its sockets and roster replies
    Roster,          // "roster N": the roster reply channel N gets now (N in `account`)
};

struct Order {
    OrderVerb verb = OrderVerb::Invalid;
    std::uint16_t account = 0;
};

// One order line; surrounding blanks, repeated blanks, a trailing newline and letter case are
// forgiven. Anything else is Invalid.
Order parseOrder(const char* text, std::size_t length);

class OrderBook {
public:
    // Records the order; false for Invalid and Status (nothing to keep).
    bool apply(const Order& order);

    // The supervisor's answer for a client of this account; `account` < 0 when the server
    // could not tell which account asks (only the orders for everyone apply then).
    std::uint8_t supervisorCode(std::int32_t account) const;

    bool isMarked(std::uint16_t account) const { return (flags_[account] & kMark) != 0; }
    bool isClosing(std::uint16_t account) const { return (flags_[account] & kClose) != 0; }
    bool updateForAll() const { return updateAll_; }

    // A close order ends once its account has no client left: the order closed them all, and
    // a user who starts again later is not thrown out again.
    void closeDone(std::uint16_t account) { flags_[account] &= static_cast<std::uint8_t>(~kClose); }

private:
    static constexpr std::uint8_t kClose = 1;
    static constexpr std::uint8_t kUpdate = 2;
    static constexpr std::uint8_t kMark = 4;
    std::array<std::uint8_t, 65536> flags_{};
    bool updateAll_ = false;
};

}  // namespace orvane::server
