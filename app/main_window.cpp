#include "app/main_window.h"

#include "display/layout.h"

namespace orvane {

namespace {

using platform::Point;
using platform::Rect;

constexpr platform::Colour kYellow = platform::rgb(255, 255, 0);

struct HoverZone {
    Rect MainZones::*zone;
    const char* help;  // Windows-1252
};

// First zone that holds the pointer wins.
constexpr HoverZone kHoverZones[] = {
    {&MainZones::network, "Cliquez sur NETWORK pour voir les correspondants"},
    {&MainZones::channel, "Cliquez dans ce cadre pour voir tous les groupes"},
    {&MainZones::documentation, "Cliquez sur cette icon pour ouvrir la documentation"},
    {&MainZones::picture, "Cliquez sur cette animation pour ouvrir l'image partag\xE9" "e"},
    {&MainZones::designer, "Cliquez ici pour plus d'information sur le concepteur"},
    {&MainZones::speech, "Cliquez ici pour activer le synth\xE9tiseur vocal"},
};

}  // namespace

const char* hoverHelpFor(const MainZones& zones, Point p) {
    for (const HoverZone& h : kHoverZones) {
        if ((zones.*h.zone).contains(p)) return h.help;
    }
    return kWelcomeText;
}

MainWindowProc::MainWindowProc(ClientState& state, platform::Ui& ui, platform::System& system,
                       StartupServices& services, display::Skin& skin, const char* documentationUrl)
    : state_(state), ui_(ui), system_(system), services_(services), skin_(skin),
      documentationUrl_(documentationUrl) {}

void MainWindowProc::onPaint(platform::Window& w) {
    {
        auto c = w.draw();
        const platform::Colour bg = state_.ui.backgroundColour.load();
        c->roundRect({0, 0, display::kMainWidth, display::kMainHeight}, 20, 20, kYellow, 4, bg);
        c->roundRect(zones.message, 20, 20, kYellow, 2, bg);
        display::drawTitle(*c, bg);
        closeMark.draw(*c, state_);
        display::labelText(*c, "Version ", 430, 605, bg);
        display::labelText(*c, state_.identity.versionText, 480, 605, bg);
        c->textCentred(zones.designer, kDesignerLine, platform::Font{"Arial", 14, 400}, kYellow, bg, true);
        services_.drawUsbStatusPicture(*c);
    }
    paints.fetch_add(1);
    state_.ui.talkerRedrawPending.store(true);
}

void MainWindowProc::chooseChannel(int n) {
    // Nothing is sent now: the next keepalive, audio datagram and control request use the port.
    state_.channel.rosterCount[kChannelCount].store(-1);
    state_.channel.channelPort.store(kFirstChannelPort + n);
}

void MainWindowProc::onKeyDown(platform::Window& w, int key, bool /*autoRepeat*/) {
    namespace vk = platform::vk;
    if (key == vk::kEscape) {
        ui_.postDestroy(&w);
    } else if (key == vk::kSpace) {
        state_.setTransmit(true);  // repeats while held keep it on
    } else if (key >= vk::kDigit0 && key <= vk::kDigit0 + 9) {
        chooseChannel(key - vk::kDigit0);
    } else if (key >= vk::kNumpad0 && key <= vk::kNumpad0 + 9) {
        chooseChannel(key - vk::kNumpad0);
    } else if (key == vk::kAdd) {
        chooseChannel(10);
    } else if (key == vk::kF1) {
        showAbout(w);
    } else {
        ui_.messageBox(&w, kInactiveKeyText, kInactiveKeyCaption, platform::MessageIcon::None);
    }
}

void MainWindowProc::onKeyUp(platform::Window&, int key) {
    state_.ui.inactivitySeconds.store(kInactivityStartSeconds);
    if (key == platform::vk::kSpace) state_.setTransmit(false);
}

void MainWindowProc::onSystemKeyUp(platform::Window&, int key) {
    // Space released while Alt is held arrives as a system key: were it left alone, the
    // microphone would stay on the air until some later plain release of Space.
    if (key == platform::vk::kSpace) state_.setTransmit(false);
}

platform::HitTest MainWindowProc::onHitTest(platform::Window&, Point p) {
    return zones.drag.contains(p) ? platform::HitTest::Caption : platform::HitTest::Client;
}

void MainWindowProc::onMouseMove(platform::Window& w, Point p) {
    {
        auto c = w.draw();
        closeMark.hover(*c, state_, p);
    }
    copyText(state_.ui.tickerText, sizeof state_.ui.tickerText, hoverHelpFor(zones, p));
}

void MainWindowProc::onLeftButtonDown(platform::Window& w, Point p) {
    if (display::knobHit(knobRects.volume, p)) {
        services_.setSpeakerVolume(display::knobClickScalar(knobRects.volume, p));
    } else if (display::knobHit(knobRects.mic, p)) {
        services_.setMicVolume(display::knobClickScalar(knobRects.mic, p));
    } else if (display::knobHit(knobRects.params, p)) {
        services_.openParametersWindow();
    } else if (zones.network.contains(p)) {
        services_.openNetworkWindow();
    } else if (zones.channel.contains(p)) {
        services_.openGroupListWindow();
    } else if (zones.documentation.contains(p)) {
        system_.openUrl(documentationUrl_);
    } else if (zones.picture.contains(p)) {
        // Channel 0 has no shared picture.
        if (state_.channel.channelPort.load() != kFirstChannelPort) services_.pictureZoneClicked();
    } else if (zones.speech.contains(p)) {
        services_.toggleSpeechProgram();
    } else if (zones.designer.contains(p)) {
        showAbout(w);
    } else if (zones.close.contains(p)) {
        ui_.postDestroy(&w);
    }
}

void MainWindowProc::onRightButtonDown(platform::Window&, Point p) { services_.spokenHelp(p); }

void MainWindowProc::onCommand(platform::Window& w, int id) {
    if (id == kCommandDestroy) ui_.destroyWindow(&w);
}

void MainWindowProc::onDestroy(platform::Window&) {
    for (auto& image : skin_.channelImages) image.reset();
    state_.ui.mainWindow.store(nullptr);
    ui_.quit(0);
}

void MainWindowProc::showAbout(platform::Window& w) { ui_.aboutBox(&w, kAboutText); }

}  // namespace orvane
