#include "display/skin.h"

#include <cstdio>

#include "base/text.h"

namespace orvane::display {

namespace {

constexpr char kStopNamingFile[] = "Le programme va s'arr\xC3\xAAter\ncar il manque le fichier\nREF: ";
constexpr char kStopWithReference[] = "Le programme va s'arr\xC3\xAAter\ncar il manque un fichier\nREF: ";
constexpr char kStopCaption[] = "Information";
constexpr std::size_t kMaxReferenceBytes = 256;

// Loads one checked image; on a miss the program is stopped with `text`.
bool loadChecked(platform::Ui& ui, platform::Window*& mainWindow, const std::string& path,
                 std::optional<platform::Image>& into, const std::string& stopText) {
    into = platform::loadBmpFile(path);
    if (into) return true;
    stopProgram(ui, mainWindow, stopText);
    mainWindow = nullptr;  // destroyed
    return false;
}

}  // namespace

std::string stopTextNamingFile(const std::string& fileName) {
    // The name is given in single-byte text; a name that takes more than 256 bytes so is left out.
    std::string single = base::utf8ToCp1252(fileName);
    std::string text = kStopNamingFile;
    if (single.size() <= kMaxReferenceBytes) text += base::cp1252ToUtf8(single);
    return text;
}

std::string stopTextWithReference(const char* reference) {
    return std::string(kStopWithReference) + reference;
}

void stopProgram(platform::Ui& ui, platform::Window* mainWindow, const std::string& textUtf8) {
    if (mainWindow) mainWindow->setEnabled(false);
    ui.messageBox(nullptr, textUtf8, kStopCaption, platform::MessageIcon::Question);
    if (mainWindow) {
        mainWindow->setEnabled(true);
        ui.destroyWindow(mainWindow);
    }
}

bool loadButtonImages(platform::Ui& ui, platform::Window* mainWindow, Skin& skin, const std::string& folder) {
    // Each check stands alone: every missing image gets its own notice.
    bool ok = true;
    ok &= loadChecked(ui, mainWindow, folder + kKnobArrowFile, skin.knobArrow, stopTextNamingFile(kKnobArrowFile));
    ok &= loadChecked(ui, mainWindow, folder + kKnobParamsFile, skin.knobParams, stopTextNamingFile(kKnobParamsFile));
    ok &= loadChecked(ui, mainWindow, folder + kDocIconFile, skin.docIcon, stopTextWithReference("DOC-IMG"));
    ok &= loadChecked(ui, mainWindow, folder + kSpeechIconFile, skin.speechIcon, stopTextWithReference("SYNTHE-IMG"));
    return ok;
}

bool loadChannelImages(platform::Ui& ui, platform::Window* mainWindow, Skin& skin, const std::string& folder) {
    for (int n = 0; n < kChannelCount; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "%d.bmp", n);
        skin.channelImages[n] = platform::loadBmpFile(folder + name);
    }
    // Stopping destroys the main window, which lets the images go: decide what is missing
    // before the first notice so that only the images really missing are reported.
    bool missing[kChannelCount];
    for (int n = 0; n < kChannelCount; ++n) missing[n] = !skin.channelImages[n];
    if (skin.channelImages[1]) {
        skin.channelImageWidth = skin.channelImages[1]->width;
        skin.channelImageHeight = skin.channelImages[1]->height;
    }
    bool ok = true;
    for (int n = 0; n < kChannelCount; ++n) {
        if (!missing[n]) continue;
        stopProgram(ui, mainWindow, stopTextWithReference("CHANNEL-NUM"));
        mainWindow = nullptr;  // destroyed
        ok = false;
    }
    return ok;
}

}  // namespace orvane::display
