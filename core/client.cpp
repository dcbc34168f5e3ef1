#include "core/client.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "display/draw.h"
#include "display/layout.h"
#include "display/led_container.h"
#include "display/meters.h"
#include "display/panels.h"
#include "display/supervisor_notice.h"
#include "net/control_ui.h"
#include "net/countdown.h"

namespace orvane {

namespace {

constexpr char kAnotherInstanceText[] =
    "Another instance of application Orvane\nis already running.\n"
    "Une autre instance de l\xE2\x80\x99" "application Orvane\nest d\xC3\xA9j\xC3\xA0 en cours d\xE2\x80\x99"
    "ex\xC3\xA9" "cution.\n";
constexpr char kAnotherInstanceCaption[] = "Orvane System";
constexpr char kChimeFailedText[] = "\xC3\x89" "chec de la lecture du son";
constexpr char kChimeFailedCaption[] = "Erreur";

constexpr platform::Colour kGreyBrush = platform::rgb(128, 128, 128);
constexpr platform::Colour kWhite = platform::rgb(255, 255, 255);

}  // namespace

void computeMachineId(ClientState& state, platform::System& system) {
    char* id = state.identity.machineId;
    const std::size_t size = sizeof state.identity.machineId;
    std::string root = system.systemRoot();
    std::uint32_t serial = 0;
    if (root.empty()) {
        std::snprintf(id, size, "%016llu", 8888888888888888ULL);
    } else if (!system.volumeSerial(root, serial)) {
        std::snprintf(id, size, "%016llu", 9999999999999999ULL);
    } else {
        std::snprintf(id, size, "%016lu", static_cast<unsigned long>(serial));
    }
}

Client::Client(ClientState& state, platform::Ui& ui, platform::System& system, StartupServices& services,
               ClientConfig config)
    : state_(state), ui_(ui), system_(system), services_(services), config_(std::move(config)),
      controlUi_(state, ui, system), heartbeat_(state) {
    mainHandler_ = std::make_unique<MainWindowProc>(state_, ui_, system_, services_, skin_, config_.documentationUrl);
}

Client::~Client() {
    ui_.setTerminateHandler({});
    heartbeat_.stop();
}

int Client::run() {
    if (auto early = startup()) return *early;
    return shutdown(ui_.run());
}

std::unique_ptr<platform::Canvas> Client::drawMain() {
    platform::Window* w = state_.ui.mainWindow.load();
    return w ? w->draw() : nullptr;
}

int Client::addTimer(int periodMs, std::function<void()> tick) { return ui_.startTimer(periodMs, std::move(tick)); }

void Client::killTimer(int& id) {
    if (id != 0) ui_.killTimer(id);
    id = 0;
}

bool Client::createMainWindow() {
    platform::WindowSpec spec;
    spec.title = "ORVANE";
    spec.x = 400;
    spec.y = 300;
    spec.width = display::kMainWidth;
    spec.height = display::kMainHeight;
    spec.borderless = true;
    spec.cornerEllipse = display::kMainCornerEllipse;
    spec.background = state_.ui.backgroundColour.load();
    spec.visible = false;
    mainWindow_ = ui_.createWindow(spec, mainHandler_.get());
    if (mainWindow_ == nullptr) return false;
    state_.ui.mainWindow.store(mainWindow_);
    // Centred on the screen (integer halves), then shown, which paints it.
    mainWindow_->move(ui_.screenWidth() / 2 - display::kMainWidth / 2,
                      ui_.screenHeight() / 2 - display::kMainHeight / 2);
    mainWindow_->show();
    return true;
}

void Client::startAnimation() {
    mainHandler_->zones.picture = display::kPictureRect;
    if (auto c = drawMain()) c->frameRect(display::kPictureRect, kWhite);
    if (!display::loadAnimation(ui_, state_.ui.mainWindow.load(), config_.folder + display::kAnimationFile,
                                animation_)) {
        return;
    }
    if (int period = animation_.periodMs(); period > 0) {
        animationTimer_ = addTimer(period, [this] {
            if (auto c = drawMain()) animation_.showNext(*c);
        });
    }
}

void Client::createMeterWindows() {
    platform::Window* main = state_.ui.mainWindow.load();
    if (main == nullptr) return;
    auto meterSpec = [&](platform::Rect r, const char* title) {
        platform::WindowSpec spec;
        spec.title = title;
        spec.parent = main;
        spec.x = r.left;
        spec.y = r.top;
        spec.width = r.width();
        spec.height = r.height();
        spec.background = kGreyBrush;
        return spec;
    };
    leftMeter_ = ui_.createWindow(meterSpec(display::kLeftMeterRect, "VuMeterLeftClass"), &meterHandler_);
    skin_.meterFaceLeft = platform::loadBmpFile(config_.folder + display::kMeterFaceFile);
    leftMeterTimer_ = addTimer(50, [this] {
        if (state_.ui.mainWindow.load() == nullptr || leftMeter_ == nullptr) return;
        // Only the meters draw on their windows, so the needle's value is all a tick reads.
        const std::int32_t needle = state_.audio.leftNeedle.load();
        if (leftNeedleDrawn_.changed({needle})) {
            auto c = leftMeter_->draw();
            display::drawNeedleMeter(*c, skin_.meterFaceLeft ? &*skin_.meterFaceLeft : nullptr, needle);
        }
        const std::int32_t left = state_.audio.leftBarLevel.load(), right = state_.audio.rightBarLevel.load();
        if (barsDrawn_.changed({left, right, mainPaints()})) {
            if (auto c = drawMain()) display::drawBarMeters(*c, left, right);
        }
    });
    rightMeter_ = ui_.createWindow(meterSpec(display::kRightMeterRect, "VuMeterRightClass"), &meterHandler_);
    skin_.meterFaceRight = platform::loadBmpFile(config_.folder + display::kMeterFaceFile);
    rightMeterTimer_ = addTimer(50, [this] {
        if (state_.ui.mainWindow.load() == nullptr || rightMeter_ == nullptr) return;
        const std::int32_t needle = state_.audio.rightNeedle.load();
        if (!rightNeedleDrawn_.changed({needle})) return;
        auto c = rightMeter_->draw();
        display::drawNeedleMeter(*c, skin_.meterFaceRight ? &*skin_.meterFaceRight : nullptr, needle);
    });
}

std::int64_t Client::mainPaints() const { return mainHandler_->paints.load(); }

void Client::startPanelTimers() {
    channelPanelTimer_ = addTimer(500, [this] {
        const bool ready = state_.ui.channelImagesReady.load();
        if (!channelPanelDrawn_.changed({ready, state_.ui.backgroundColour.load(), state_.channel.channelPort.load(),
                                         state_.channel.rosterCount[kChannelCount].load(), mainPaints()})) {
            return;
        }
        if (auto c = drawMain()) display::drawChannelPanel(*c, state_, skin_);
    });
    ledRingTimer_ = addTimer(50, [this] {
        DrawnFrom<18>::Inputs inputs;
        std::int32_t codes[16];
        for (int k = 0; k < 16; ++k) inputs[k] = codes[k] = state_.lamps.chaserLeds[k].load();
        const platform::Colour bg = state_.ui.backgroundColour.load();
        inputs[16] = bg;
        inputs[17] = mainPaints();
        if (!ledRingDrawn_.changed(inputs)) return;
        if (auto c = drawMain()) display::drawLedRing(*c, codes, bg, skin_.leds);
    });
    knobsTimer_ = addTimer(1000, [this] {
        if (state_.ui.mainWindow.load() == nullptr || !skin_.knobArrow) return;
        float mic = 0.0f;
        services_.readMicVolume(mic);
        const float speaker = services_.readSpeakerVolume();
        const platform::Colour bg = state_.ui.backgroundColour.load();
        // Turning three knob images is the costliest drawing of all: only when a knob moved.
        if (!knobsDrawn_.changed({std::bit_cast<std::int32_t>(mic), std::bit_cast<std::int32_t>(speaker), bg,
                                  mainPaints()})) {
            return;
        }
        if (auto c = drawMain()) display::drawKnobPanel(*c, skin_, mic, speaker, bg, mainHandler_->knobRects);
    });
    talkerCardTimer_ = addTimer(1000, [this] { services_.talkerCardTick(); });
    tickerTimer_ = addTimer(500, [this] {
        const char* raw = state_.ui.tickerText;
        const std::string_view text(raw, strnlen(raw, sizeof state_.ui.tickerText));
        const bool same = text == tickerDrawnText_;
        if (!tickerDrawn_.changed({state_.ui.backgroundColour.load(), mainPaints()}) && same) return;
        if (!same) tickerDrawnText_.assign(text);
        if (auto c = drawMain()) display::drawTickerBox(*c, state_);
    });
    statusLampsTimer_ = addTimer(200, [this] {
        platform::Window* w = state_.ui.mainWindow.load();
        if (w == nullptr) return;
        const bool foreground = w->isForeground();
        const StatusLamps& l = state_.lamps;
        if (!statusLampsDrawn_.changed({l.lampTst.load(), l.lampHttps.load(), l.lampTxRx.load(), l.lampUdp.load(),
                                        l.lampSvc.load(), l.lampTcp.load(), state_.channel.serverLoad.load(),
                                        foreground, state_.ui.backgroundColour.load(), mainPaints()})) {
            return;
        }
        auto c = w->draw();
        display::drawStatusLamps(*c, state_, skin_.leds, foreground);
    });
}

void Client::countdownTick() {
    if (net::countdownTick(state_)) {
        killTimer(countdownTimer_);
        platform::Window* w = state_.ui.mainWindow.load();
        if (w) w->setEnabled(false);
        display::showSupervisorNotice(ui_, state_, net::kInactivityEndedText);
        if (w) {
            w->setEnabled(true);
            ui_.destroyWindow(w);
        }
    }
    char text[net::kCountdownTextBytes];
    net::formatCountdown(state_.ui.inactivitySeconds.load(), text);
    if (auto c = drawMain()) display::drawCountdown(*c, text, state_.ui.backgroundColour.load());
}

void Client::startCountdown() {
    mainHandler_->zones.countdown = display::kCountdownRect;
    state_.ui.inactivitySeconds.store(kInactivityStartSeconds);
    countdownTimer_ = addTimer(1000, [this] { countdownTick(); });
}

std::optional<int> Client::startup() {
    switch (system_.createNamedMutex(kInstanceMutexName)) {
        case platform::MutexResult::Failed:
            return 1;
        case platform::MutexResult::AlreadyExists:
            ui_.messageBox(nullptr, kAnotherInstanceText, kAnotherInstanceCaption, platform::MessageIcon::Error);
            return 1;
        case platform::MutexResult::Created:
            break;
    }
    // The desktop's chime when it has one, else the skin's own.
    const std::string desktopChime = system_.systemChimeFile();
    const bool chimed = (!desktopChime.empty() && system_.playSoundAsync(desktopChime)) ||
                        system_.playSoundAsync(config_.chimePath);
    if (!chimed) ui_.messageBox(nullptr, kChimeFailedText, kChimeFailedCaption, platform::MessageIcon::Error);
    state_.ui.backgroundColour.store(0);
    computeMachineId(state_, system_);

    if (!createMainWindow()) return 0;
    // Asked to end by the system: the same way out as the close mark.
    ui_.setTerminateHandler([this] {
        if (platform::Window* w = state_.ui.mainWindow.load()) {
            ui_.destroyWindow(w);
        } else {
            ui_.quit(0);
        }
    });
    MainZones& zones = mainHandler_->zones;
    zones.drag = {50, 0, 500, 100};
    {
        const int right = mainWindow_->clientWidth(), bottom = mainWindow_->clientHeight();
        zones.designer = {right - 160, bottom - 120, right - 15, bottom - 80};
    }
    // Fonts are chosen by family at each drawing; the platform maps the faces at start.
    state_.audio.micVolumeAtStartRead = services_.readMicVolume(state_.audio.micVolumeAtStart);
    resetCaptureDeviceTable(state_);
    services_.createCodecPair();
    if (auto c = drawMain()) display::drawTitle(*c, state_.ui.backgroundColour.load());
    copyText(state_.ui.tickerText, sizeof state_.ui.tickerText, kWelcomeText);
    zones.close = display::kCloseRect;
    state_.ui.closeButtonShown.store(1);
    startAnimation();
    display::prepareLampsAndLeds(state_, skin_.leds, config_.folder + display::kLedContainerFile);
    zones.network = display::kNetworkZone;

    zones.documentation = display::kDocIconRect;
    zones.speech = display::kSpeechIconRect;
    display::loadButtonImages(ui_, state_.ui.mainWindow.load(), skin_, config_.folder);
    zones.message = display::kMessageZone;
    createMeterWindows();
    display::loadChannelImages(ui_, state_.ui.mainWindow.load(), skin_, config_.folder);
    zones.channel = display::kChannelPanelRect;
    state_.ui.channelImagesReady.store(true);

    services_.openServerSockets();
    state_.lamps.lampTcp.store(kLampYellow);
    heartbeat_.start();
    services_.startNetworkThreads();
    services_.requestUsbStatusPicture(1);
    services_.startAudioEngine();
    startPanelTimers();
    services_.startupAccountFetches();
    startCountdown();
    state_.ui.talkerRedrawPending.store(false);
    services_.openSpeechSocketAndGreet();
    services_.startSerialDeviceThread();
    // The first paint came before the zones were set; the loop repaints the frame once, and
    // the panels' timers put themselves back.
    if (platform::Window* w = state_.ui.mainWindow.load()) w->invalidate();
    return std::nullopt;
}

int Client::shutdown(int quitCode) {
    services_.sendSpeechStopRequest();
    services_.destroyCodecPair();
    services_.deleteUsbStatusPicture();
    for (int* id : {&ledRingTimer_, &statusLampsTimer_, &knobsTimer_, &channelPanelTimer_, &talkerCardTimer_,
                    &tickerTimer_, &animationTimer_, &countdownTimer_, &leftMeterTimer_, &rightMeterTimer_}) {
        killTimer(*id);
    }
    state_.audio.audioRunFlag.store(0);
    services_.stopSerialDeviceThread();
    // Only a volume that was read is put back: a failed read at start-up (no sound server yet,
    // no default source) must not mute the microphone at exit.
    if (state_.audio.micVolumeAtStartRead) services_.setMicVolume(state_.audio.micVolumeAtStart);
    return quitCode;
}

}  // namespace orvane
