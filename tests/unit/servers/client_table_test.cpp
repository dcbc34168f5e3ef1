#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "servers/voice/client_table.h"

namespace orvane::server {
namespace {

// Many clients behind few addresses: the index must find every one of them after any mix of
// joins and departures, and the channel member lists must stay exact.
TEST(ClientTable, StaysConsistentThroughRandomJoinsAndLeaves) {
    static ClientTable table;
    std::map<std::pair<std::uint32_t, std::uint16_t>, int> model;  // endpoint -> channel
    std::mt19937 rng(12345);
    for (int step = 0; step < 20000; ++step) {
        Endpoint e{static_cast<std::uint32_t>(0x7F000001u + rng() % 3), static_cast<std::uint16_t>(40000 + rng() % 700)};
        auto key = std::make_pair(e.address, e.port);
        int i = table.findByVoice(e);
        ASSERT_EQ(i >= 0, model.count(key) == 1) << step;
        int action = static_cast<int>(rng() % 3);
        if (i < 0) {
            int ch = static_cast<int>(rng() % kServerChannels);
            int added = table.add(e, ch, step);
            if (static_cast<int>(model.size()) < kMaxClients) {
                ASSERT_GE(added, 0);
                model[key] = ch;
            } else {
                ASSERT_EQ(added, -1);
            }
        } else if (action == 0) {
            table.remove(i);
            model.erase(key);
        } else if (action == 1) {
            int ch = static_cast<int>(rng() % kServerChannels);
            table.moveToChannel(i, ch);
            model[key] = ch;
        }
    }
    ASSERT_EQ(table.count(), static_cast<int>(model.size()));
    std::set<std::uint8_t> tokens;
    int members = 0;
    for (int ch = 0; ch < kServerChannels; ++ch) {
        for (int k = 0; k < table.memberCount(ch); ++k) {
            const Client& c = table.at(table.member(ch, k));
            ASSERT_TRUE(c.used);
            ASSERT_EQ(c.channel, ch);
            ASSERT_EQ(model.at({c.voice.address, c.voice.port}), ch);
            if (c.echoToken != 0) {
                EXPECT_TRUE(tokens.insert(c.echoToken).second) << "echo byte given twice";
            }
            ++members;
        }
    }
    EXPECT_EQ(members, table.count());
}

TEST(ClientTable, MembersKeepJoinOrderAfterADeparture) {
    ClientTable table;
    int a = table.add({1, 1}, 4, 0);
    int b = table.add({1, 2}, 4, 0);
    int c = table.add({1, 3}, 4, 0);
    table.remove(a);
    ASSERT_EQ(table.memberCount(4), 2);
    EXPECT_EQ(table.member(4, 0), b);
    EXPECT_EQ(table.member(4, 1), c);
    EXPECT_EQ(table.add({1, 2}, 5, 0), -1);  // already present
    EXPECT_EQ(table.add({1, 9}, 11, 0), -1);  // no such channel
}

}  // namespace
}  // namespace orvane::server
