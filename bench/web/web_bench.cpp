// Web client and server measurements on loopback, against the real HTTPS server:
//   - one talker-card tick (the talker's picture and card, each its own TLS connection);
//   - the upload of the 10,000,268-byte record;
//   - client.xml requests per second the server sustains (several clients at once).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>

#include "state/client_state.h"
#include "servers/web/png_writer.h"
#include "tests/fakes/web_server_fixture.h"
#include "web/account.h"
#include "web/picture_upload.h"
#include "web/web_client.h"
#include "web/web_paths.h"

namespace {

using namespace orvane;

struct Lab {
    test::WebServerFixture server;
    int alice = 0;
    int bob = 0;

    Lab() {
        std::string error;
        if (!server.start(error)) {
            std::fprintf(stderr, "web bench: no server: %s\n", error.c_str());
            std::abort();
        }
        server.trust();
        alice = server.store().findOrCreateAccount("0000000000000001", "")->number;
        bob = server.store().findOrCreateAccount("0000000000000002", "")->number;
        const auto png = webserver::usbIcon(0x3366CC);
        for (int n : {alice, bob}) {
            server.store().setPicture(n, png);
            server.store().setCard(n, {std::string("Ana"), std::string("S&#xE9;te"), std::string("Bonjour"),
                                       std::nullopt, std::nullopt});
        }
    }
};

Lab& lab() {
    static Lab l;
    return l;
}

struct Client {
    ClientState state;
    std::unique_ptr<web::WebState> web;
    Client() : web(std::make_unique<web::WebState>(state, platform::systemHttps())) {
        web->host = lab().server.host();
        web->port = lab().server.port();
    }
};

void BM_TalkerCardTick(benchmark::State& s) {
    Client c;
    bool flip = false;
    for (auto _ : s) {
        // A new talker each tick, so both fetches run.
        flip = !flip;
        c.state.channel.talkerAccount = flip ? lab().alice : lab().bob;
        web::talkerCardTick(*c.web);
    }
    if (c.web->lastTalkerCardAccount == 0) s.SkipWithError("no fetch ran");
}
BENCHMARK(BM_TalkerCardTick)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadRecord(benchmark::State& s) {
    Client c;
    const std::string path = (lab().server.dir() / "bench.png").string();
    {
        std::ofstream out(path, std::ios::binary);
        const std::string block(1 << 20, 'p');
        for (int i = 0; i < static_cast<int>(s.range(0)); ++i) out << block;
    }
    for (auto _ : s) {
        if (web::uploadFile(*c.web, path, 4) != 200) s.SkipWithError("upload failed");
    }
    s.SetBytesProcessed(static_cast<std::int64_t>(s.iterations()) * static_cast<std::int64_t>(web::kUploadRecordSize));
}
BENCHMARK(BM_UploadRecord)->Arg(1)->Arg(9)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ClientXmlRequests(benchmark::State& s) {
    static std::mutex m;
    std::unique_ptr<Client> c;
    {
        std::lock_guard<std::mutex> hold(m);
        c = std::make_unique<Client>();
    }
    const std::string path = web::userPath(lab().alice, "client.xml");
    for (auto _ : s) {
        if (web::getPath(*c->web, path) <= 0) s.SkipWithError("request failed");
    }
    s.SetItemsProcessed(s.iterations());
}
BENCHMARK(BM_ClientXmlRequests)->Threads(1)->Threads(4)->UseRealTime()->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
