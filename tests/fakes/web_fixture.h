#pragma once
// A client state and web state wired to the fake HTTPS, UI and system (the browser), with a main
// window, for the tests of the web client and of the windows that fetch through it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "display/account_view.h"
#include "state/client_state.h"
#include "tests/fakes/fake_https.h"
#include "tests/fakes/fake_image.h"
#include "tests/fakes/fake_system.h"
#include "tests/fakes/fake_ui.h"
#include "web/web_state.h"

namespace orvane::test {

class WebTest : public ::testing::Test {
protected:
    WebTest() : web(std::make_unique<web::WebState>(state, https)) {
        web->ui = &ui;
        web->view = &view;
        web->system = &browser;
        web->host = "web.test";
        web->port = 4430;
        main = ui.mainWindow();
        state.ui.mainWindow = main;
        std::strcpy(state.identity.machineId, "0000001234567890");
    }
    std::string bodyText() const { return std::string(reinterpret_cast<const char*>(web->body()), web->bodyLength()); }

    ClientState state;
    FakeHttps https;
    FakeUi ui;
    FakeSystem browser;
    FakeWindow* main = nullptr;
    std::unique_ptr<web::WebState> web;
    display::MainWindowAccountView view{state, &ui};
};

}  // namespace orvane::test
