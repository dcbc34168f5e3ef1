// The account reply over any body, of any length.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "web/account_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> body(data, data + size);
    const orvane::web::AccountReply r = orvane::web::parseAccountReply(body);
    if (r.message.size() > 58) __builtin_trap();
    return 0;
}
