#include "servers/voice/orders.h"

#include <cctype>
#include <cstring>

#include "servers/voice/outbound.h"

namespace orvane::server {

namespace {

constexpr int kMaxWords = 5;
constexpr std::size_t kMaxWordBytes = 16;

struct Words {
    char word[kMaxWords][kMaxWordBytes] = {};
    int count = 0;
    bool overflow = false;
};

Words splitWords(const char* text, std::size_t length) {
    Words w;
    std::size_t i = 0;
    while (i < length) {
        while (i < length && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= length) break;
        if (w.count == kMaxWords) {
            w.overflow = true;
            break;
        }
        std::size_t n = 0;
        while (i < length && !std::isspace(static_cast<unsigned char>(text[i]))) {
            if (n + 1 >= kMaxWordBytes || text[i] == '\0') w.overflow = true;
            if (n + 1 < kMaxWordBytes)
                w.word[w.count][n++] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
            ++i;
        }
        ++w.count;
    }
    return w;
}

bool parseAccount(const char* s, std::uint16_t& out) {
    if (*s == '\0') return false;
    std::uint32_t v = 0;
    for (; *s != '\0'; ++s) {
        if (*s < '0' || *s > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(*s - '0');
        if (v > 65535) return false;
    }
    out = static_cast<std::uint16_t>(v);
    return true;
}

bool is(const Words& w, int i, const char* word) { return i < w.count && std::strcmp(w.word[i], word) == 0; }

// "<verb...> account N" with the account as the last word.
Order accountOrder(const Words& w, int accountWord, OrderVerb verb) {
    std::uint16_t account = 0;
    if (w.count == accountWord + 2 && is(w, accountWord, "account") && parseAccount(w.word[accountWord + 1], account))
        return {verb, account};
    return {};
}

}  // namespace

Order parseOrder(const char* text, std::size_t length) {
    if (text == nullptr) return {};
    Words w = splitWords(text, length);
    if (w.overflow || w.count == 0) return {};
    if (is(w, 0, "close")) return accountOrder(w, 1, OrderVerb::CloseAccount);
    if (is(w, 0, "mark")) return accountOrder(w, 1, OrderVerb::MarkAccount);
    if (is(w, 0, "unmark")) return accountOrder(w, 1, OrderVerb::UnmarkAccount);
    if (is(w, 0, "cancel")) {
        if (w.count == 2 && is(w, 1, "all")) return {OrderVerb::CancelAll, 0};
        return accountOrder(w, 1, OrderVerb::CancelAccount);
    }
    if (is(w, 0, "require") && is(w, 1, "update")) {
        if (w.count == 2) return {OrderVerb::UpdateAll, 0};
        return accountOrder(w, 2, OrderVerb::UpdateAccount);
    }
    if (w.count == 1 && is(w, 0, "status")) return {OrderVerb::Status, 0};
    if (w.count == 1 && is(w, 0, "clients")) return {OrderVerb::Clients, 0};
    if (w.count == 2 && is(w, 0, "roster")) {
        std::uint16_t channel = 0;
        if (parseAccount(w.word[1], channel) && channel <= 10) return {OrderVerb::Roster, channel};
        return {};
    }
    return {};
}

bool OrderBook::apply(const Order& o) {
    std::uint8_t& f = flags_[o.account];
    switch (o.verb) {
        case OrderVerb::CloseAccount: f |= kClose; return true;
        case OrderVerb::UpdateAccount: f |= kUpdate; return true;
        case OrderVerb::UpdateAll: updateAll_ = true; return true;
        case OrderVerb::MarkAccount: f |= kMark; return true;
        case OrderVerb::UnmarkAccount: f &= static_cast<std::uint8_t>(~kMark); return true;
        case OrderVerb::CancelAccount: f &= kMark; return true;
        case OrderVerb::CancelAll:
            for (auto& x : flags_) x &= kMark;
            updateAll_ = false;
            return true;
        case OrderVerb::Status:
        case OrderVerb::Clients:
        case OrderVerb::Roster:
        case OrderVerb::Invalid: break;
    }
    return false;
}

std::uint8_t OrderBook::supervisorCode(std::int32_t account) const {
    if (account >= 0 && account <= 65535) {
        std::uint8_t f = flags_[static_cast<std::size_t>(account)];
        if (f & kClose) return kSupervisorClose;
        if (f & kUpdate) return kSupervisorUpdate;
    }
    return updateAll_ ? kSupervisorUpdate : kSupervisorNeutral;
}

}  // namespace orvane::server
