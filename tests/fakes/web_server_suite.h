#pragma once
// One trusted web server for all the tests of a suite (WebServerFixture, in the process) and, for
// each test, a client state whose web state reaches it through the platform's HTTPS.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/https.h"
#include "state/client_state.h"
#include "tests/fakes/web_server_fixture.h"
#include "web/web_state.h"

namespace orvane::test {

class WebServerSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server = new WebServerFixture;
        std::string error;
        ASSERT_TRUE(server->start(error)) << error;
        server->trust();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }

    WebServerSuite() : web(std::make_unique<web::WebState>(state, platform::systemHttps())) {
        web->host = server->host();
        web->port = server->port();
    }

    static inline WebServerFixture* server = nullptr;
    ClientState state;
    std::unique_ptr<web::WebState> web;
};

}  // namespace orvane::test
