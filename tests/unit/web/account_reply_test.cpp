#include "web/account_reply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace orvane::web {
namespace {

std::vector<std::uint8_t> reply(std::uint8_t status, const char* number, const char* first, const char* second) {
    std::vector<std::uint8_t> r(159, ' ');
    r[2] = status;
    std::memcpy(r.data() + 34, number, 5);
    std::memset(r.data() + 98, 0, 61);
    std::memcpy(r.data() + 98, first, std::strlen(first));
    std::memcpy(r.data() + 130, second, std::strlen(second));
    return r;
}

TEST(AccountReply, NumberField) {
    const struct {
        const char* field;
        std::uint16_t number;
    } cases[] = {{"00042", 42}, {"  123", 123}, {"70000", 4464}, {"65535", 65535}, {"12a45", 12}, {"abcde", 0}, {"-0001", 65535}};
    for (const auto& c : cases) EXPECT_EQ(parseAccountReply(reply(0, c.field, "", "")).accountNumber, c.number) << c.field;
}

TEST(AccountReply, StatusAndMessageHalves) {
    const AccountReply r = parseAccountReply(reply(220, "01001", "Mise a jour", " obligatoire"));
    EXPECT_EQ(r.status, 220);
    EXPECT_EQ(r.message, "Mise a jour obligatoire");
    std::vector<std::uint8_t> full = reply(200, "00001", "", "");
    std::memset(full.data() + 98, 'A', 32);  // no zero inside the first half
    std::memset(full.data() + 130, 'B', 29);
    EXPECT_EQ(parseAccountReply(full).message, std::string(29, 'A') + std::string(29, 'B'));
}

TEST(AccountReply, ShortRepliesNeverReadPastTheBody) {
    std::vector<std::uint8_t> r = reply(0, "00042", "", "");
    std::memset(r.data() + 98, 'M', 61);
    EXPECT_EQ(parseAccountReply(std::span(r).first(100)).message, "MM");
    EXPECT_EQ(parseAccountReply(std::span(r).first(37)).accountNumber, 0);  // "000" so far
    EXPECT_FALSE(parseAccountReply(std::span(r).first(34)).accountNumber.has_value());
    EXPECT_FALSE(parseAccountReply(std::span(r).first(2)).status.has_value());
}

}  // namespace
}  // namespace orvane::web
