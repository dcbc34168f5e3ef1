#pragma once
// A client state and web state wired to the fake HTTPS, UI and browser, with a main window.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "state/client_state.h"
#include "tests/unit/web/fake_https.h"
#include "tests/unit/web/fake_ui.h"
#include "display/account_view.h"
#include "web/web_state.h"

namespace orvane::test {

// The first 24 bytes of a PNG file of w x h pixels (all the fake decoder reads).
inline std::string pngHeader(int w, int h) {
    std::string s("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (int v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((v >> shift) & 0xFF));
    return s;
}

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
