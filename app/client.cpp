#include "app/client.h"

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
      mainHandler_(std::make_unique<MainWindowProc>(state_, ui_, system_, services_, skin_, config_.documentationUrl)),
      controlUi_(state, ui, system), heartbeat_(state), panelTimers_(state_, ui_, services_, skin_, *mainHandler_) {}

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
    spec.kind = platform::WindowKind::Main;
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
    auto meterSpec = [&](platform::Rect r, platform::WindowKind kind, const char* title) {
        platform::WindowSpec spec;
        spec.kind = kind;
        spec.title = title;
        spec.parent = main;
        spec.x = r.left;
        spec.y = r.top;
        spec.width = r.width();
        spec.height = r.height();
        spec.background = kGreyBrush;
        return spec;
    };
    leftMeter_ = ui_.createWindow(meterSpec(display::kLeftMeterRect, platform::WindowKind::LeftMeter, "VuMeterLeftClass"), &meterHandler_);
    skin_.meterFaceLeft = platform::loadBmpFile(config_.folder + display::kMeterFaceFile);
    rightMeter_ = ui_.createWindow(meterSpec(display::kRightMeterRect, platform::WindowKind::RightMeter, "VuMeterRightClass"), &meterHandler_);
    skin_.meterFaceRight = platform::loadBmpFile(config_.folder + display::kMeterFaceFile);
    panelTimers_.startMeters(leftMeter_, rightMeter_);
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
    countdownTimer_ = addTimer(kCountdownPeriodMs, [this] { countdownTick(); });
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
    zones.drag = display::kDragZone;
    zones.designer = display::designerZone(mainWindow_->clientWidth(), mainWindow_->clientHeight());
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
    panelTimers_.startPanels();
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
    panelTimers_.killAll();
    killTimer(animationTimer_);
    killTimer(countdownTimer_);
    state_.audio.audioRunFlag.store(0);
    services_.stopSerialDeviceThread();
    // Only a volume that was read is put back: a failed read at start-up (no sound server yet,
    // no default source) must not mute the microphone at exit.
    if (state_.audio.micVolumeAtStartRead) services_.setMicVolume(state_.audio.micVolumeAtStart);
    return quitCode;
}

}  // namespace orvane
