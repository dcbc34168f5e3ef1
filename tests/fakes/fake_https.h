#pragma once
// A scripted HTTPS: each request takes the next prepared reply (a 404 when none is left) and
// is recorded with its verb, path, header and body.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/https.h"

namespace orvane::test {

struct FakeReply {
    enum class FailAt { Nothing, Open, Connect, OpenRequest, Send, Receive, StatusQuery };
    FailAt failAt = FailAt::Nothing;
    std::uint32_t status = 200;
    std::vector<std::string> chunks;  // the body, as the reads deliver it

    static FakeReply ok(std::string body, std::uint32_t status = 200) {
        FakeReply r;
        r.status = status;
        r.chunks.push_back(std::move(body));
        return r;
    }
    static FakeReply failing(FailAt at) {
        FakeReply r;
        r.failAt = at;
        return r;
    }
};

struct SentRequest {
    std::string verb, path, header;
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

    platform::HttpsHandle open(std::string_view) override { return failsAt(FailAt::Open) ? nullptr : make(); }
    platform::HttpsHandle connect(platform::HttpsHandle, std::string_view h, std::uint16_t p) override {
        host = std::string(h);
        port = p;
        return failsAt(FailAt::Connect) ? nullptr : make();
    }
    platform::HttpsHandle openRequest(platform::HttpsHandle, std::string_view verb, std::string_view path) override {
        if (failsAt(FailAt::OpenRequest)) return nullptr;
        platform::HttpsHandle h = make();
        get(h)->reply = next();
        get(h)->index = sent.size();
        sent.push_back({std::string(verb), std::string(path), "", {}});
        return h;
    }
    bool sendRequest(platform::HttpsHandle h, std::string_view header, const void* body, std::size_t n) override {
        SentRequest& s = sent[get(h)->index];
        s.header = std::string(header);
        if (body != nullptr) s.body.assign(static_cast<const std::uint8_t*>(body), static_cast<const std::uint8_t*>(body) + n);
        return get(h)->reply.failAt != FailAt::Send;
    }
    bool receiveResponse(platform::HttpsHandle h) override { return get(h)->reply.failAt != FailAt::Receive; }
    bool queryStatusCode(platform::HttpsHandle h, std::uint32_t& code) override {
        if (h == nullptr || get(h)->reply.failAt == FailAt::StatusQuery) return false;
        code = get(h)->reply.status;
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
    using FailAt = FakeReply::FailAt;
    struct Handle {
        FakeReply reply;
        std::size_t index = 0, chunk = 0, offset = 0;
    };
    platform::HttpsHandle make() {
        ++openHandles;
        return reinterpret_cast<platform::HttpsHandle>(new Handle);
    }
    static Handle* get(platform::HttpsHandle h) { return reinterpret_cast<Handle*>(h); }
    FakeReply next() {
        if (replies.empty()) return FakeReply::ok("Not Found", 404);
        FakeReply r = std::move(replies.front());
        replies.pop_front();
        return r;
    }
    // An early failure uses up the prepared reply, as the request never gets further.
    bool failsAt(FailAt at) {
        if (replies.empty() || replies.front().failAt != at) return false;
        replies.pop_front();
        return true;
    }
};

}  // namespace orvane::test
