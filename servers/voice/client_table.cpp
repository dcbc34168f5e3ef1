#include "servers/voice/client_table.h"

namespace orvane::server {

ClientTable::ClientTable() { tokenUsed_[0] = true; }

std::uint32_t ClientTable::hashOf(const Endpoint& e) {
    std::uint32_t h = e.address * 0x9E3779B1u ^ (static_cast<std::uint32_t>(e.port) * 0x85EBCA77u);
    return h ^ (h >> 15);
}

int ClientTable::slotOf(const Endpoint& e) const {
    std::uint32_t slot = hashOf(e) & (kIndexSlots - 1);
    for (;;) {
        int v = index_[slot];
        if (v == 0 || clients_[static_cast<std::size_t>(v - 1)].voice == e) return static_cast<int>(slot);
        slot = (slot + 1) & (kIndexSlots - 1);
    }
}

int ClientTable::findByVoice(const Endpoint& voice) const {
    int v = index_[static_cast<std::size_t>(slotOf(voice))];
    return v - 1;
}

int ClientTable::findByControl(const Endpoint& control) const {
    for (int i = 0; i < kMaxClients; ++i) {
        const Client& c = clients_[static_cast<std::size_t>(i)];
        if (c.used && c.hasControl && c.control == control) return i;
    }
    return -1;
}

std::uint8_t ClientTable::takeEchoToken() {
    for (int t = 1; t < 256; ++t) {
        if (!tokenUsed_[static_cast<std::size_t>(t)]) {
            tokenUsed_[static_cast<std::size_t>(t)] = true;
            return static_cast<std::uint8_t>(t);
        }
    }
    return 0;
}

int ClientTable::add(const Endpoint& voice, int channel, std::int64_t nowMs) {
    if (count_ >= kMaxClients || channel < 0 || channel >= kServerChannels) return -1;
    if (findByVoice(voice) >= 0) return -1;
    int i = nextFree_;
    while (clients_[static_cast<std::size_t>(i)].used) i = (i + 1) % kMaxClients;
    nextFree_ = (i + 1) % kMaxClients;
    Client& c = clients_[static_cast<std::size_t>(i)];
    c = Client{};
    c.used = true;
    c.voice = voice;
    c.channel = channel;
    c.lastSeenMs = nowMs;
    c.echoToken = takeEchoToken();
    index_[static_cast<std::size_t>(slotOf(voice))] = static_cast<std::int16_t>(i + 1);
    addMember(i, channel);
    ++count_;
    return i;
}

// Linear probing with backward-shift deletion keeps every chain unbroken without tombstones.
void ClientTable::unindex(const Endpoint& e) {
    std::uint32_t hole = static_cast<std::uint32_t>(slotOf(e));
    if (index_[hole] == 0) return;
    index_[hole] = 0;
    std::uint32_t j = hole;
    for (;;) {
        j = (j + 1) & (kIndexSlots - 1);
        int v = index_[j];
        if (v == 0) return;
        std::uint32_t home = hashOf(clients_[static_cast<std::size_t>(v - 1)].voice) & (kIndexSlots - 1);
        // Move the entry into the hole unless its home lies cyclically in (hole, j].
        bool homeBetween = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
        if (!homeBetween) {
            index_[hole] = static_cast<std::int16_t>(v);
            index_[j] = 0;
            hole = j;
        }
    }
}

void ClientTable::remove(int index) {
    Client& c = clients_[static_cast<std::size_t>(index)];
    if (!c.used) return;
    unindex(c.voice);
    removeMember(index, c.channel);
    tokenUsed_[c.echoToken] = c.echoToken == 0;  // token 0 stays reserved
    c = Client{};
    --count_;
}

void ClientTable::moveToChannel(int index, int channel) {
    Client& c = clients_[static_cast<std::size_t>(index)];
    if (!c.used || channel < 0 || channel >= kServerChannels || channel == c.channel) return;
    removeMember(index, c.channel);
    addMember(index, channel);
    c.channel = channel;
}

void ClientTable::addMember(int index, int channel) {
    auto ch = static_cast<std::size_t>(channel);
    int k = memberCount_[ch]++;
    members_[ch][static_cast<std::size_t>(k)] = static_cast<std::int16_t>(index);
    memberPos_[static_cast<std::size_t>(index)] = static_cast<std::int16_t>(k);
}

// Keeps join order: the roster lists the longest present first.
void ClientTable::removeMember(int index, int channel) {
    auto ch = static_cast<std::size_t>(channel);
    int k = memberPos_[static_cast<std::size_t>(index)];
    int last = --memberCount_[ch];
    for (int m = k; m < last; ++m) {
        std::int16_t moved = members_[ch][static_cast<std::size_t>(m + 1)];
        members_[ch][static_cast<std::size_t>(m)] = moved;
        memberPos_[static_cast<std::size_t>(moved)] = static_cast<std::int16_t>(m);
    }
}

}  // namespace orvane::server
