#include <gtest/gtest.h>

#include <string>

#include "device/adapter_table.h"

namespace orvane::device {
namespace {

TEST(AdapterTable, EachRowMatchesItsOwnIdentifier) {
    for (int i = 0; i < kAdapterRowCount; ++i) {
        const std::string id = std::string("USB\\") + kAdapterTable[i].vendor + "&" + kAdapterTable[i].product + "&REV_0100";
        EXPECT_EQ(matchAdapterRow(id), i + 1) << id;
    }
}

TEST(AdapterTable, MatchesAreExactFragments) {
    struct Case {
        const char* id;
        int row;
    } cases[] = {
        {"USB\\VID_0403&PID_6001&REV_0600", 1},
        {"USB\\VID_0403&PID_6002&REV_0600", 0},
        {"USB\\vid_0403&pid_6001&rev_0600", 0},
        {"USB\\VID_0403&PID_EA60", 0},          // vendor of one row, product of another
        {"FTDIBUS\\PID_6015+VID_0403", 5},      // fragments anywhere, in any order
        {"USB\\VID_1782&PID_4D12&REV_0000", 19},
        {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(matchAdapterRow(c.id), c.row) << c.id;
}

}  // namespace
}  // namespace orvane::device
