#pragma once
// The clients present on the server, in fixed storage: a slot per client, an index by voice
// endpoint, and the members of each channel. Nothing here allocates after construction.
#include <array>
#include <cstdint>

#include "servers/voice/endpoint.h"
#include "servers/voice/inbound.h"

namespace orvane::server {

inline constexpr int kMaxClients = 512;
inline constexpr std::int32_t kUnknownAccount = -1;

struct Client {
    bool used = false;
    Endpoint voice;                // the client's voice socket: keepalives, audio, relayed voice
    Endpoint control;              // its control socket, once the server knows it
    bool hasControl = false;
    int channel = 0;
    std::int32_t account = kUnknownAccount;  // from keepalives and audio; unknown after a bare hello
    bool joined = false;           // the join was logged (the account is known)
    std::int64_t lastSeenMs = 0;
    std::int64_t helloMs = -1;     // when its voice hello came, -1 if none
    std::int64_t lastAudioMs = 0;
    bool talking = false;
    std::uint32_t talkBlocks = 0;
    bool hasTalkerSequence = false;
    std::uint8_t lastTalkerSequence = 0;
    std::uint8_t outSequence = 1;  // next sequence byte of the voice sent to this client
    std::uint8_t echoToken = 0;    // the echo byte of the voice sent to it; 0 when none is free
    std::uint32_t rostersSent = 0; // roster replies sent to its control socket
    std::uint64_t audioRelayed = 0;  // its audio datagrams relayed to the channel (no duplicate)
    std::uint64_t voiceSent = 0;     // voice datagrams relayed to it
};

class ClientTable {
public:
    ClientTable();

    int findByVoice(const Endpoint& voice) const;    // -1 when absent
    int findByControl(const Endpoint& control) const;
    // A new client on a channel; -1 when the table is full or the channel is out of range.
    int add(const Endpoint& voice, int channel, std::int64_t nowMs);
    void remove(int index);
    void moveToChannel(int index, int channel);

    Client& at(int index) { return clients_[static_cast<std::size_t>(index)]; }
    const Client& at(int index) const { return clients_[static_cast<std::size_t>(index)]; }
    int count() const { return count_; }

    int memberCount(int channel) const { return memberCount_[static_cast<std::size_t>(channel)]; }
    int member(int channel, int k) const {
        return members_[static_cast<std::size_t>(channel)][static_cast<std::size_t>(k)];
    }

private:
    static constexpr int kIndexSlots = kMaxClients * 4;  // power of two, kept sparse

    static std::uint32_t hashOf(const Endpoint& e);
    int slotOf(const Endpoint& e) const;  // the index slot holding e, or the empty slot where it goes
    void unindex(const Endpoint& e);
    void addMember(int index, int channel);
    void removeMember(int index, int channel);
    std::uint8_t takeEchoToken();

    std::array<Client, kMaxClients> clients_{};
    std::array<std::int16_t, kIndexSlots> index_{};  // client index + 1; 0 empty
    std::array<std::array<std::int16_t, kMaxClients>, kServerChannels> members_{};
    std::array<std::int16_t, kMaxClients> memberPos_{};
    std::array<int, kServerChannels> memberCount_{};
    std::array<bool, 256> tokenUsed_{};
    int count_ = 0;
    int nextFree_ = 0;
};

}  // namespace orvane::server
