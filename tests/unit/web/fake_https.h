#pragma once
// A scripted HTTPS: each request takes the next prepared reply (or a 404 when none is left)
// and is recorded with its verb, path, header and body.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/https.h"

namespace orvane::test {

struct FakeReply {
    enum class FailAt { Nothing, Open, Connect, OpenRequest, Send, Receive, StatusQuery };
    FailAt failAt = FailAt::Nothing;
    std::uint32_t status = 200;
    std::vector<std::string> chunks;  // the body, as the reads deliver it

    static FakeReply ok(std::string body) {
        FakeReply r;
        r.chunks.push_back(std::move(body));
        return r;
    }
    static FakeReply withStatus(std::uint32_t s, std::string body = "") {
        FakeReply r = ok(std::move(body));
        r.status = s;
        return r;
    }
    static FakeReply failing(FailAt at) {
        FakeReply r;
        r.failAt = at;
        return r;
    }
};

struct SentRequest {
    std::string verb;
    std::string path;
    std::string header;
    std::vector<std::uint8_t> body;
};

class FakeHttps final : public platform::Https {
public:
    std::deque<FakeReply> replies;
    std::vector<SentRequest> sent;
    std::string host;
    std::uint16_t port = 0;
    int openHandles = 0;

    void queue(FakeReply r) { replies.push_back(std::move(r)); }

    platform::HttpsHandle open(std::string_view) override {
        if (failsAt(FakeReply::FailAt::Open)) return nullptr;
        return make(Kind::Root);
    }
    platform::HttpsHandle connect(platform::HttpsHandle, std::string_view h, std::uint16_t p) override {
        host = std::string(h);
        port = p;
        if (failsAt(FakeReply::FailAt::Connect)) return nullptr;
        return make(Kind::Connection);
    }
    platform::HttpsHandle openRequest(platform::HttpsHandle, std::string_view verb, std::string_view path) override {
        if (failsAt(FakeReply::FailAt::OpenRequest)) return nullptr;
        auto h = make(Kind::Request);
        Handle* r = get(h);
        r->reply = next();
        sent.push_back({std::string(verb), std::string(path), "", {}});
        r->index = sent.size() - 1;
        return h;
    }
    bool sendRequest(platform::HttpsHandle h, std::string_view header, const void* body, std::size_t n) override {
        Handle* r = get(h);
        SentRequest& s = sent[r->index];
        s.header = std::string(header);
        const auto* b = static_cast<const std::uint8_t*>(body);
        if (b != nullptr) s.body.assign(b, b + n);
        return r->reply.failAt != FakeReply::FailAt::Send;
    }
    bool receiveResponse(platform::HttpsHandle h) override {
        return get(h)->reply.failAt != FakeReply::FailAt::Receive;
    }
    bool queryStatusCode(platform::HttpsHandle h, std::uint32_t& code) override {
        Handle* r = get(h);
        if (r == nullptr || r->reply.failAt == FakeReply::FailAt::StatusQuery) return false;
        code = r->reply.status;
        return true;
    }
    bool queryDataAvailable(platform::HttpsHandle h, std::size_t& available) override {
        Handle* r = get(h);
        while (r->chunk < r->reply.chunks.size() && r->offset == r->reply.chunks[r->chunk].size()) {
            ++r->chunk;
            r->offset = 0;
        }
        available = r->chunk < r->reply.chunks.size() ? r->reply.chunks[r->chunk].size() - r->offset : 0;
        return true;
    }
    bool readData(platform::HttpsHandle h, void* buffer, std::size_t capacity, std::size_t& read) override {
        Handle* r = get(h);
        const std::string& c = r->reply.chunks[r->chunk];
        read = std::min(capacity, c.size() - r->offset);
        std::copy_n(c.data() + r->offset, read, static_cast<char*>(buffer));
        r->offset += read;
        return true;
    }
    void close(platform::HttpsHandle h) override {
        delete get(h);
        --openHandles;
    }
    unsigned long lastError() override { return 12029; }

private:
    enum class Kind { Root, Connection, Request };
    struct Handle {
        Kind kind;
        FakeReply reply;
        std::size_t index = 0;
        std::size_t chunk = 0;
        std::size_t offset = 0;
    };

    platform::HttpsHandle make(Kind k) {
        ++openHandles;
        return reinterpret_cast<platform::HttpsHandle>(new Handle{k, {}, 0, 0, 0});
    }
    static Handle* get(platform::HttpsHandle h) { return reinterpret_cast<Handle*>(h); }

    FakeReply next() {
        if (replies.empty()) return FakeReply::withStatus(404, "Not Found");
        FakeReply r = std::move(replies.front());
        replies.pop_front();
        return r;
    }
    // An early failure uses up the prepared reply, as the request never gets further.
    bool failsAt(FakeReply::FailAt at) {
        if (replies.empty() || replies.front().failAt != at) return false;
        replies.pop_front();
        return true;
    }
};

}  // namespace orvane::test
