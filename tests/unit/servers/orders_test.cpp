#include <gtest/gtest.h>

#include <cstring>

#include "servers/voice/orders.h"
#include "servers/voice/outbound.h"

namespace orvane::server {
namespace {

Order parse(const char* s) { return parseOrder(s, std::strlen(s)); }

TEST(OperatorOrders, ParsesEachOrderAndRejectsTheRest) {
    struct Case {
        const char* text;
        OrderVerb verb;
        std::uint16_t account;
    } cases[] = {
        {"close account 1234", OrderVerb::CloseAccount, 1234},
        {"  Close   ACCOUNT 7\n", OrderVerb::CloseAccount, 7},
        {"require update", OrderVerb::UpdateAll, 0},
        {"require update account 65535", OrderVerb::UpdateAccount, 65535},
        {"mark account 3", OrderVerb::MarkAccount, 3},
        {"unmark account 3", OrderVerb::UnmarkAccount, 3},
        {"cancel account 3", OrderVerb::CancelAccount, 3},
        {"cancel all", OrderVerb::CancelAll, 0},
        {"status", OrderVerb::Status, 0},
        {"clients", OrderVerb::Clients, 0},
        {"roster 10", OrderVerb::Roster, 10},
        {"roster 11", OrderVerb::Invalid, 0},
        {"close account 65536", OrderVerb::Invalid, 0},
        {"close account -1", OrderVerb::Invalid, 0},
        {"close account", OrderVerb::Invalid, 0},
        {"close account 12 now", OrderVerb::Invalid, 0},
        {"close accountt 12", OrderVerb::Invalid, 0},
        {"status please", OrderVerb::Invalid, 0},
        {"", OrderVerb::Invalid, 0},
        {"close account 1aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", OrderVerb::Invalid, 0},
    };
    for (const auto& c : cases) {
        Order o = parse(c.text);
        EXPECT_EQ(o.verb, c.verb) << c.text;
        EXPECT_EQ(o.account, c.account) << c.text;
    }
    const char withNul[] = {'s', 't', 'a', 't', 'u', 's', '\0', 'x'};
    EXPECT_EQ(parseOrder(withNul, sizeof withNul).verb, OrderVerb::Invalid);
}

TEST(OperatorOrders, SupervisorCodesFollowTheBook) {
    OrderBook book;
    EXPECT_EQ(book.supervisorCode(5), kSupervisorNeutral);
    book.apply({OrderVerb::UpdateAccount, 5});
    book.apply({OrderVerb::CloseAccount, 6});
    book.apply({OrderVerb::UpdateAccount, 6});
    EXPECT_EQ(book.supervisorCode(5), kSupervisorUpdate);
    EXPECT_EQ(book.supervisorCode(6), kSupervisorClose);  // closing wins over updating
    EXPECT_EQ(book.supervisorCode(7), kSupervisorNeutral);
    EXPECT_EQ(book.supervisorCode(-1), kSupervisorNeutral);

    book.apply({OrderVerb::UpdateAll, 0});
    EXPECT_EQ(book.supervisorCode(7), kSupervisorUpdate);
    EXPECT_EQ(book.supervisorCode(-1), kSupervisorUpdate);  // everyone, even an unknown client

    book.apply({OrderVerb::MarkAccount, 6});
    book.apply({OrderVerb::CancelAll, 0});
    EXPECT_EQ(book.supervisorCode(6), kSupervisorNeutral);
    EXPECT_EQ(book.supervisorCode(-1), kSupervisorNeutral);
    EXPECT_TRUE(book.isMarked(6));  // marking is not an order to the supervisor
    book.apply({OrderVerb::UnmarkAccount, 6});
    EXPECT_FALSE(book.isMarked(6));
    EXPECT_FALSE(book.apply({OrderVerb::Status, 0}));
}

}  // namespace
}  // namespace orvane::server
