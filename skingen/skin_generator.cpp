// Writes the default skin into the folder given on the command line. Run by the build.
#include <QBuffer>
#include <QGuiApplication>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "skingen/bmp_writer.h"
#include "skingen/chime.h"
#include "skingen/colour_quantizer.h"
#include "skingen/gif_encoder.h"
#include "skingen/led_container_writer.h"
#include "skingen/paint_helpers.h"
#include "skingen/skin_images.h"
#include "base/wav.h"

namespace orvane::skingen {
namespace {

constexpr int kAnimationFrames = 36;
constexpr int kAnimationDelayCentiseconds = 8;

namespace fs = std::filesystem;

// Written beside the target and renamed over it, so a program never sees half a file.
bool writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) {
        std::fprintf(stderr, "skin: nothing to write for %s\n", path.string().c_str());
        return false;
    }
    const fs::path temporary = path.string() + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "skin: cannot write %s\n", temporary.string().c_str());
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::fprintf(stderr, "skin: cannot rename to %s: %s\n", path.string().c_str(), error.message().c_str());
        return false;
    }
    return true;
}

std::vector<std::uint8_t> bmp(const QImage& image) { return encodeBmp24(toRaster(image)); }

std::vector<std::uint8_t> ledContainer() {
    const QColor red(240, 36, 24), green(40, 230, 60), blue(50, 130, 255), yellow(255, 214, 30);
    const std::vector<LedImageFile> leds{
        {"LedRed.bmp", bmp(drawLed({red, false}))},
        {"LedGreen.bmp", bmp(drawLed({green, false}))},
        {"LedBlue.bmp", bmp(drawLed({blue, false}))},
        {"LedDarkRed.bmp", bmp(drawLed({red, true}))},
        {"LedDarkBlue.bmp", bmp(drawLed({blue, true}))},
        {"LedYellow.bmp", bmp(drawLed({yellow, false}))},
    };
    return buildLedContainer(leds).value_or(std::vector<std::uint8_t>{});
}

std::vector<std::uint8_t> animation() {
    std::vector<Raster> frames;
    for (int i = 0; i < kAnimationFrames; ++i) frames.push_back(toRaster(drawElectronFrame(i, kAnimationFrames)));
    // One palette entry is kept free to mark the pixels a frame leaves as they were.
    IndexedFrames indexed = quantizeFrames(frames, 255);
    GifAnimation gif;
    gif.width = kAnimationSize;
    gif.height = kAnimationSize;
    const auto unchanged = static_cast<std::uint8_t>(indexed.palette.size());
    gif.palette = std::move(indexed.palette);
    gif.palette.push_back(0);
    for (auto& indices : indexed.frames) gif.frames.push_back({std::move(indices), kAnimationDelayCentiseconds, -1});
    keepOnlyChanges(gif.frames, unchanged);
    return encodeGif(gif);
}

int generate(const fs::path& dir) {
    std::error_code error;
    fs::create_directories(dir, error);
    bool ok = true;
    auto put = [&](const char* name, const std::vector<std::uint8_t>& bytes) { ok = writeFile(dir / name, bytes) && ok; };

    put("btn-fleche.bmp", bmp(drawArrowKnob()));
    put("btn-param.bmp", bmp(drawParamsKnob()));
    put("doc_img.bmp", bmp(drawDocumentIcon()));
    put("synthe_1.bmp", bmp(drawSpeechIcon()));
    put("vu_meter_2.bmp", bmp(drawMeterFace()));
    put("0.bmp", bmp(drawChannelPanel()));
    for (int n = 1; n <= 10; ++n) put((std::to_string(n) + ".bmp").c_str(), bmp(drawChannelNumber(n)));
    put(display::kLedContainerFile, ledContainer());
    put("electron-animation.gif", animation());
    const std::vector<std::int16_t> chime = synthesizeChime();
    put("chimes.wav", base::encodeWavPcm16(chime, 1, kChimeSampleRate));
    return ok ? 0 : 1;
}

std::vector<std::uint8_t> png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return {};
    return {bytes.begin(), bytes.end()};
}

// The program's icon in the icon theme's layout: DIR/hicolor/NxN/apps/orvane.png for each size
// and DIR/hicolor/scalable/apps/orvane.svg.
int generateIcons(const fs::path& dir) {
    bool ok = true;
    std::error_code error;
    for (int size : kAppIconSizes) {
        const fs::path folder = dir / "hicolor" / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        fs::create_directories(folder, error);
        ok = writeFile(folder / "orvane.png", png(drawAppIcon(size))) && ok;
    }
    const fs::path scalable = dir / "hicolor" / "scalable" / "apps";
    fs::create_directories(scalable, error);
    const std::string svg = appIconSvg();
    ok = writeFile(scalable / "orvane.svg", std::vector<std::uint8_t>(svg.begin(), svg.end())) && ok;
    return ok ? 0 : 1;
}

// The build runs the generator without a desktop session; the toolkit's note about the missing
// session folder is noise there. Everything else still gets through.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || message.startsWith("QStandardPaths:")) return;
    std::fprintf(stderr, "skin: %s\n", message.toLocal8Bit().constData());
}

}  // namespace
}  // namespace orvane::skingen

int main(int argc, char** argv) {
    const bool icons = argc == 3 && std::string(argv[1]) == "--icons";
    if (argc != 2 && !icons) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER | --icons ICON_FOLDER\n", argv[0]);
        return 2;
    }
    // Drawing text needs the font database, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(orvane::skingen::quietMessages);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    return icons ? orvane::skingen::generateIcons(argv[2]) : orvane::skingen::generate(argv[1]);
}
