#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "web/account_reply.h"

namespace orvane::web {
namespace {

std::vector<std::uint8_t> reply(std::uint8_t status, const char* number, const char* first, const char* second,
                                std::size_t size = 159) {
    std::vector<std::uint8_t> r(size, ' ');
    r[2] = status;
    std::memcpy(r.data() + 34, number, 5);
    std::memset(r.data() + 98, 0, 29);
    std::memset(r.data() + 130, 0, 29);
    std::memcpy(r.data() + 98, first, std::strlen(first));
    std::memcpy(r.data() + 130, second, std::strlen(second));
    return r;
}

TEST(AccountReply, NumberField) {
    const struct {
        const char* field;
        std::uint16_t number;
    } cases[] = {
        {"00042", 42}, {"  123", 123}, {"70000", 4464}, {"65535", 65535}, {"12a45", 12}, {"abcde", 0}, {"-0001", 65535},
    };
    for (const auto& c : cases) {
        const AccountReply r = parseAccountReply(reply(0, c.field, "", ""));
        ASSERT_TRUE(r.accountNumber.has_value());
        EXPECT_EQ(*r.accountNumber, c.number) << c.field;
    }
}

TEST(AccountReply, StatusAndMessageHalves) {
    const AccountReply r = parseAccountReply(reply(220, "01001", "Mise a jour", " obligatoire"));
    EXPECT_EQ(r.status, 220);
    EXPECT_EQ(r.message, "Mise a jour obligatoire");

    // Each half is at most 29 bytes even without a zero byte inside it.
    std::vector<std::uint8_t> full = reply(200, "00001", "", "");
    std::memset(full.data() + 98, 'A', 32);
    std::memset(full.data() + 130, 'B', 29);
    EXPECT_EQ(parseAccountReply(full).message, std::string(29, 'A') + std::string(29, 'B'));
}

TEST(AccountReply, ShortRepliesNeverReadPastTheBody) {
    // Shorter than 159 bytes: the missing message bytes are absent, not old buffer content.
    std::vector<std::uint8_t> r = reply(0, "00042", "", "", 159);
    std::memset(r.data() + 98, 'M', 61);
    const AccountReply cut = parseAccountReply(std::span(r.data(), 100));
    EXPECT_EQ(cut.message, "MM");
    EXPECT_EQ(cut.accountNumber, 42);
    EXPECT_EQ(parseAccountReply(std::span(r.data(), 37)).accountNumber, 0);  // "000" so far
    EXPECT_FALSE(parseAccountReply(std::span(r.data(), 34)).accountNumber.has_value());
    EXPECT_FALSE(parseAccountReply(std::span(r.data(), 2)).status.has_value());
    EXPECT_EQ(parseAccountReply({}).message, "");
}

}  // namespace
}  // namespace orvane::web
