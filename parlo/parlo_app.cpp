#include "parlo/parlo_app.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

#include "base/text.h"
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
    spec.kind = platform::WindowKind::Parlo;
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

    speak(speakCtx, base::utf8ToUtf16(kGreeting));
    if (!system.namedMutexExists(kOrvaneMutex)) {
        speak(speakCtx, base::utf8ToUtf16(kNoOrvane1));
        speak(speakCtx, base::utf8ToUtf16(kNoOrvane2));
        ui.messageBox(nullptr, kNoOrvaneText, kNoOrvaneCaption, platform::MessageIcon::Error);
        if (socket != platform::kInvalidSocket) {
            udp.close(socket);
            udp.cleanup();
        }
        run.code = 1;  // the instance mutex goes with the process
        return run;
    }
    speak(speakCtx, base::utf8ToUtf16(kHowTo1));
    speak(speakCtx, base::utf8ToUtf16(kHowTo2));

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
