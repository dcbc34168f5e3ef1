#include "parlo/parlo_app.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "speech/speech_datagrams.h"

namespace orvane::parlo {

namespace {
constexpr platform::Colour kFace = platform::rgb(240, 240, 240);
constexpr platform::Colour kBlack = platform::rgb(0, 0, 0);
constexpr platform::Font kWindowFont{"Segoe UI", 20, 700};
constexpr platform::Font kSmallFont{"Segoe UI", 14, 400};
// How long one wait for a datagram lasts; the thread sleeps in the kernel meanwhile.
constexpr int kReceiveWaitMs = 1000;
}  // namespace

std::u16string utf16Of(const char* utf8) {
    std::u16string out;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    while (*s) {
        std::uint32_t c = *s++;
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more) c &= (0x3F >> more);
        while (more-- > 0 && (*s & 0xC0) == 0x80) c = (c << 6) | (*s++ & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

void ParloWindow::onPaint(platform::Window& w) {
    const int width = w.clientWidth();
    const int height = w.clientHeight();
    auto c = w.draw();
    c->fillRect({0, 0, width, height}, kFace);
    c->textCentred({200, height - 80, width - 10, height - 10}, kNoticeLine, kSmallFont, kBlack, std::nullopt, true);
    c->textCentred({200, height - 40, width - 10, height - 10}, kVersionLine, kSmallFont, kBlack, std::nullopt, true);
    std::string address;
    std::uint16_t port = 0;
    if (sender_.get(address, port)) {
        c->text(12, 12, "IP: " + address, kWindowFont, kBlack, std::nullopt);
        c->text(12, 42, "PORT: " + std::to_string(port), kWindowFont, kBlack, std::nullopt);
    }
}

void ParloWindow::onDestroy(platform::Window&) { ui_.quit(0); }

ParloRun runParlo(platform::Ui& ui, platform::System& system, platform::UdpNetwork& udp, SpeakContext& speakCtx) {
    ParloRun run;
    switch (system.createNamedMutex(kInstanceMutex)) {
        case platform::MutexResult::Failed:
            run.code = 1;
            return run;
        case platform::MutexResult::AlreadyExists:
            ui.messageBox(nullptr, kSecondInstanceText, kSecondInstanceCaption, platform::MessageIcon::Error);
            run.code = 1;
            return run;
        case platform::MutexResult::Created:
            break;
    }

    // Both live until the process ends: the receive thread is never joined.
    static LastSender sender;
    static std::unique_ptr<ParloWindow> handler;
    handler = std::make_unique<ParloWindow>(ui, sender);
    platform::WindowSpec spec;
    spec.title = kWindowTitle;
    spec.x = (ui.screenWidth() - kWindowWidth) / 2;
    spec.y = (ui.screenHeight() - kWindowHeight) / 2;
    spec.width = kWindowWidth;
    spec.height = kWindowHeight;
    spec.resizable = false;
    spec.noMaximize = true;
    spec.background = kFace;
    platform::Window* window = ui.createWindow(spec, handler.get());
    if (window == nullptr) return run;  // code 0
    window->invalidate();

    // A failure anywhere here leaves Parlo running deaf.
    platform::SocketHandle socket = platform::kInvalidSocket;
    const bool started = udp.startup();
    if (started) {
        socket = udp.openBound(platform::kLoopback, speech::kSpeechPort);
        if (socket == platform::kInvalidSocket) udp.cleanup();
    }

    speak(speakCtx, utf16Of(kGreeting));
    if (!system.namedMutexExists(kOrvaneMutex)) {
        speak(speakCtx, utf16Of(kNoOrvane1));
        speak(speakCtx, utf16Of(kNoOrvane2));
        ui.messageBox(nullptr, kNoOrvaneText, kNoOrvaneCaption, platform::MessageIcon::Error);
        if (socket != platform::kInvalidSocket) {
            udp.close(socket);
            udp.cleanup();
        }
        run.code = 1;  // the instance mutex goes with the process
        return run;
    }
    speak(speakCtx, utf16Of(kHowTo1));
    speak(speakCtx, utf16Of(kHowTo2));

    try {
        std::thread([&ui, &udp, &speakCtx, socket, window] {
            ReceiveHooks hooks;
            hooks.speak = [&speakCtx](std::u16string_view text) { speak(speakCtx, text); };
            hooks.stop = [&ui] { ui.post([&ui] { ui.quit(0); }); };
            hooks.repaint = [window] { window->invalidate(); };
            for (;;) {
                const StepResult r = receiveStep(udp, socket, kReceiveWaitMs, sender, hooks);
                if (r == StepResult::NoSocket) return;
                if (r == StepResult::Failed) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }).detach();
    } catch (const std::system_error&) {
        run.code = -1;
        return run;
    }
    run.receiverStarted = true;

    run.code = ui.run();
    // The receive thread is not stopped: it goes with the process, cutting off a text being
    // spoken, and may be using the socket, which therefore stays open until the very end.
    return run;
}

}  // namespace orvane::parlo
