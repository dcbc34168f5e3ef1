#include "servers/voice/voice_server_core.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "servers/voice/inbound.h"
#include "servers/voice/outbound.h"

namespace orvane::server {

namespace {

bool validChannel(int channel) { return channel >= 0 && channel < kServerChannels; }

std::uint8_t nextSequence(std::uint8_t s) { return s == 255 ? 1 : static_cast<std::uint8_t>(s + 1); }

}  // namespace

VoiceServerCore::VoiceServerCore(Outbox& out, ServerLog& log, const ServerConfig& config)
    : out_(out), log_(log), config_(config) {}

void VoiceServerCore::logf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(logLine_, sizeof logLine_, format, args);
    va_end(args);
    log_.line(logLine_);
}

// The client behind a voice endpoint, made present on `channel` (joining or moving it there).
int VoiceServerCore::presentClient(int channel, const Endpoint& from, std::int64_t nowMs) {
    int i = clients_.findByVoice(from);
    if (i < 0) {
        i = clients_.add(from, channel, nowMs);
        if (i < 0) {
            // Said at most once a second: a full table under a flood must not flood the log.
            if (stats_.refusedFull++ == 0 || nowMs - lastRefusalLogMs_ >= 1000) {
                lastRefusalLogMs_ = nowMs;
                char ep[32];
                logf("table full (%d clients): refused %s (%llu so far)", clients_.count(),
                     formatEndpoint(from, ep, sizeof ep), static_cast<unsigned long long>(stats_.refusedFull));
            }
            return -1;
        }
    }
    Client& c = clients_.at(i);
    if (c.channel != channel) {
        if (c.talking) endTalk(i);
        int was = c.channel;
        clients_.moveToChannel(i, channel);
        if (c.joined) logf("move account %d channel %d -> %d", c.account, was, channel);
    }
    c.lastSeenMs = nowMs;
    return i;
}

void VoiceServerCore::learnAccount(int index, std::uint16_t account) {
    Client& c = clients_.at(index);
    if (c.account == account) return;
    char ep[32];
    if (!c.joined) {
        c.joined = true;
        logf("join channel %d account %u from %s", c.channel, account, formatEndpoint(c.voice, ep, sizeof ep));
    } else {
        logf("account %d -> %u channel %d from %s", c.account, account, c.channel,
             formatEndpoint(c.voice, ep, sizeof ep));
    }
    c.account = account;
}

void VoiceServerCore::onVoicePort(int channel, const Endpoint& from, const std::uint8_t* data,
                                  std::size_t length, std::int64_t nowMs) {
    ++stats_.datagramsIn;
    if (!validChannel(channel)) return;
    Inbound in = parseVoicePortDatagram(data, length);
    switch (in.kind) {
        case InboundKind::VoiceHello: {
            int i = presentClient(channel, from, nowMs);
            if (i >= 0) clients_.at(i).helloMs = nowMs;
            return;
        }
        case InboundKind::ControlHello: pairControl(from, nowMs); return;
        case InboundKind::Keepalive: {
            int i = presentClient(channel, from, nowMs);
            if (i >= 0) learnAccount(i, in.account);
            return;
        }
        case InboundKind::Audio: {
            int i = presentClient(channel, from, nowMs);
            if (i < 0) return;
            learnAccount(i, in.account);
            Client& c = clients_.at(i);
            if (c.hasTalkerSequence && c.lastTalkerSequence == in.sequence) {
                ++stats_.duplicates;
                return;
            }
            c.hasTalkerSequence = true;
            c.lastTalkerSequence = in.sequence;
            if (!c.talking) {
                c.talking = true;
                c.talkBlocks = 0;
                logf("talk start channel %d account %d", c.channel, c.account);
            }
            c.lastAudioMs = nowMs;
            ++c.talkBlocks;
            relayAudio(i, in.payload);
            return;
        }
        default: ++stats_.ignored; return;
    }
}

void VoiceServerCore::relayAudio(int index, const std::uint8_t* payload) {
    const Client& talker = clients_.at(index);
    VoiceHeaderFields f;
    f.talkerAccount = static_cast<std::uint16_t>(talker.account);
    f.loadCode = load_.code();
    if (talker.channel == kServerChannels - 1 && orders_.isMarked(f.talkerAccount)) f.kind = 'B';
    std::uint32_t sent = 0;
    int channel = talker.channel;
    for (int k = 0; k < clients_.memberCount(channel); ++k) {
        int r = clients_.member(channel, k);
        if (r == index) continue;
        Client& listener = clients_.at(r);
        ++listener.voiceSent;
        f.sequence = listener.outSequence;
        f.echo = listener.echoToken;
        listener.outSequence = nextSequence(listener.outSequence);
        std::uint8_t* h = headers_[sent];
        fillVoiceHeader(h, f);
        out_.sendVoice(channel, listener.voice, h, payload);
        ++sent;
    }
    out_.flush();
    ++clients_.at(index).audioRelayed;
    stats_.voiceOut += sent;
    load_.count(sent);
}

void VoiceServerCore::pairControl(const Endpoint& control, std::int64_t nowMs) {
    int best = -1;
    for (int i = 0; i < kMaxClients; ++i) {
        const Client& c = clients_.at(i);
        if (!c.used || c.hasControl || c.helloMs < 0 || c.voice.address != control.address) continue;
        if (nowMs - c.helloMs > config_.helloPairWindowMs) continue;
        if (best < 0 || c.helloMs >= clients_.at(best).helloMs) best = i;
    }
    if (best < 0) return;
    int previous = clients_.findByControl(control);
    if (previous >= 0) clients_.at(previous).hasControl = false;
    Client& c = clients_.at(best);
    c.control = control;
    c.hasControl = true;
}

int VoiceServerCore::placeQuery(const Endpoint& control, std::uint8_t echo) {
    int i = clients_.findByControl(control);
    if (i >= 0) return i;
    int byEcho = -1;
    int byAddress = -1;
    int unpairedAtAddress = 0;
    for (int k = 0; k < kMaxClients; ++k) {
        const Client& c = clients_.at(k);
        if (!c.used || c.hasControl || c.voice.address != control.address) continue;
        ++unpairedAtAddress;
        byAddress = k;
        if (echo != 0 && c.echoToken == echo) byEcho = k;
    }
    i = byEcho >= 0 ? byEcho : (unpairedAtAddress == 1 ? byAddress : -1);
    if (i >= 0) {
        clients_.at(i).control = control;
        clients_.at(i).hasControl = true;
    }
    return i;
}

void VoiceServerCore::onControlPort(int channel, const Endpoint& from, const std::uint8_t* data,
                                    std::size_t length, std::int64_t /*nowMs*/) {
    ++stats_.datagramsIn;
    if (!validChannel(channel)) return;
    Inbound in = parseControlPortDatagram(data, length);
    if (in.kind == InboundKind::RosterPoll) {
        answerRoster(channel, from);
    } else if (in.kind == InboundKind::SupervisorQuery) {
        answerSupervisor(channel, from, in.echo);
    } else {
        ++stats_.ignored;
    }
}

// The distinct accounts of the channel's present clients, longest present first, at most 16.
std::size_t VoiceServerCore::collectRoster(int channel, std::uint16_t* accounts) const {
    std::size_t n = 0;
    for (int k = 0; k < clients_.memberCount(channel) && n < kMaxRosterAccounts; ++k) {
        const Client& c = clients_.at(clients_.member(channel, k));
        if (c.account == kUnknownAccount) continue;
        auto a = static_cast<std::uint16_t>(c.account);
        bool seen = false;
        for (std::size_t j = 0; j < n; ++j) seen = seen || accounts[j] == a;
        if (!seen) accounts[n++] = a;
    }
    return n;
}

void VoiceServerCore::answerRoster(int channel, const Endpoint& to) {
    std::uint16_t accounts[kMaxRosterAccounts];
    std::size_t n = collectRoster(channel, accounts);
    std::uint8_t reply[kMaxRosterReplyBytes];
    std::size_t length = buildRosterReply(reply, channel, accounts, n);
    out_.sendControl(channel, to, reply, length);
    ++stats_.controlOut;
    int i = clients_.findByControl(to);
    if (i >= 0) ++clients_.at(i).rostersSent;
}

void VoiceServerCore::answerSupervisor(int channel, const Endpoint& to, std::uint8_t echo) {
    int i = placeQuery(to, echo);
    std::int32_t account = i >= 0 ? clients_.at(i).account : kUnknownAccount;
    std::uint8_t code = orders_.supervisorCode(account);
    std::uint8_t reply[kSupervisorReplyBytes];
    buildSupervisorReply(reply, code);
    out_.sendControl(channel, to, reply, sizeof reply);
    ++stats_.controlOut;
    if (code == kSupervisorNeutral) return;
    char ep[32];
    logf("supervisor %u to account %d at %s", code, account, formatEndpoint(to, ep, sizeof ep));
    if (code != kSupervisorClose) return;
    auto a = static_cast<std::uint16_t>(account);
    for (int k = 0; k < closingCount_; ++k)
        if (closing_[k] == a) return;
    if (closingCount_ < kMaxPendingCloses) closing_[closingCount_++] = a;
}

void VoiceServerCore::endTalk(int index) {
    Client& c = clients_.at(index);
    c.talking = false;
    logf("talk stop channel %d account %d blocks %u", c.channel, c.account, c.talkBlocks);
}

void VoiceServerCore::leave(int index, const char* why) {
    Client& c = clients_.at(index);
    if (c.talking) endTalk(index);
    if (c.joined) logf("leave channel %d account %d (%s)", c.channel, c.account, why);
    clients_.remove(index);
}

void VoiceServerCore::finishCloseOrders() {
    for (int k = 0; k < closingCount_;) {
        std::uint16_t a = closing_[k];
        bool present = false;
        for (int i = 0; i < kMaxClients && !present; ++i)
            present = clients_.at(i).used && clients_.at(i).account == a;
        if (present) {
            ++k;
            continue;
        }
        orders_.closeDone(a);
        logf("close order for account %u done", a);
        closing_[k] = closing_[--closingCount_];
    }
}

void VoiceServerCore::tick(std::int64_t nowMs) {
    for (int i = 0; i < kMaxClients; ++i) {
        Client& c = clients_.at(i);
        if (!c.used) continue;
        if (nowMs - c.lastSeenMs > config_.presenceTimeoutMs) {
            leave(i, "time-out");
        } else if (c.talking && nowMs - c.lastAudioMs > config_.talkEndMs) {
            endTalk(i);
        }
    }
    finishCloseOrders();
    load_.tick(nowMs);
}

namespace {

// Appends printf-style text to a bounded buffer, cutting what does not fit.
class BoundedText {
public:
    BoundedText(char* out, std::size_t capacity) : out_(out), capacity_(capacity) {
        if (capacity_ > 0) out_[0] = '\0';
    }
    __attribute__((format(printf, 2, 3))) void put(const char* format, ...) {
        if (used_ + 1 >= capacity_) return;
        va_list args;
        va_start(args, format);
        int n = std::vsnprintf(out_ + used_, capacity_ - used_, format, args);
        va_end(args);
        if (n < 0) return;
        std::size_t room = capacity_ - used_ - 1;
        used_ += static_cast<std::size_t>(n) < room ? static_cast<std::size_t>(n) : room;
    }
    std::size_t used() const { return used_; }

private:
    char* out_;
    std::size_t capacity_;
    std::size_t used_ = 0;
};

}  // namespace

std::size_t VoiceServerCore::writeStatus(char* out, std::size_t capacity) const {
    BoundedText t(out, capacity);
    t.put("clients %d load %u (%u/s) in %llu voice-out %llu control-out %llu send-failed %llu\n", clients_.count(),
          load_.code(), load_.lastRate(), static_cast<unsigned long long>(stats_.datagramsIn),
          static_cast<unsigned long long>(stats_.voiceOut), static_cast<unsigned long long>(stats_.controlOut),
          static_cast<unsigned long long>(out_.failedSends()));
    for (int ch = 0; ch < kServerChannels; ++ch) {
        if (clients_.memberCount(ch) == 0) continue;
        t.put("channel %d:", ch);
        for (int k = 0; k < clients_.memberCount(ch); ++k) {
            const Client& c = clients_.at(clients_.member(ch, k));
            t.put(" %d%s", c.account, c.talking ? "*" : "");
        }
        t.put("\n");
    }
    return t.used();
}

std::size_t VoiceServerCore::writeClients(char* out, std::size_t capacity) const {
    BoundedText t(out, capacity);
    char voice[32], control[32];
    for (int ch = 0; ch < kServerChannels; ++ch) {
        for (int k = 0; k < clients_.memberCount(ch); ++k) {
            const Client& c = clients_.at(clients_.member(ch, k));
            formatEndpoint(c.voice, voice, sizeof voice);
            if (c.hasControl)
                formatEndpoint(c.control, control, sizeof control);
            else
                std::snprintf(control, sizeof control, "-");
            t.put("account %d channel %d voice %s control %s rosters %u audio-in %llu voice-out %llu%s\n", c.account,
                  ch, voice, control, c.rostersSent, static_cast<unsigned long long>(c.audioRelayed),
                  static_cast<unsigned long long>(c.voiceSent), c.talking ? " talking" : "");
        }
    }
    return t.used();
}

void VoiceServerCore::handleOrder(const char* text, std::size_t length, char* reply, std::size_t capacity) {
    if (capacity == 0) return;
    Order o = parseOrder(text, length);
    if (o.verb == OrderVerb::Status) {
        writeStatus(reply, capacity);
        return;
    }
    if (o.verb == OrderVerb::Clients) {
        writeClients(reply, capacity);
        return;
    }
    if (o.verb == OrderVerb::Roster) {
        std::uint16_t accounts[kMaxRosterAccounts];
        std::size_t n = collectRoster(o.account, accounts);
        BoundedText t(reply, capacity);
        t.put("roster %u:", o.account);
        for (std::size_t k = 0; k < n; ++k) t.put(" %u", accounts[k]);
        t.put("\n");
        return;
    }
    if (!orders_.apply(o)) {
        std::snprintf(reply, capacity,
                      "error: unknown order (close account N | require update [account N] | "
                      "mark account N | unmark account N | cancel account N | cancel all | status | "
                      "clients | roster N)\n");
        return;
    }
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == ' ')) --length;
    logf("order: %.*s", static_cast<int>(length < 80 ? length : 80), text);
    std::snprintf(reply, capacity, "ok\n");
}

}  // namespace orvane::server
