// Decoding and pixel operations of the image seam, on QImage.
#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QStringList>
#include <QImageReader>
#include <QPainter>
#include <QTransform>
#include <cstring>

#include "platform/image.h"
#include "platform/linux/qt_convert.h"

namespace orvane::platform {

namespace qt {

Image toImage(const QImage& source) {
    if (source.isNull()) return {};
    QImage flat(source.size(), QImage::Format_RGB32);
    flat.fill(Qt::black);
    {
        QPainter p(&flat);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.drawImage(0, 0, source);
    }
    Image out(flat.width(), flat.height());
    for (int y = 0; y < flat.height(); ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(flat.constScanLine(y));
        std::uint32_t* dst = out.pixels.data() + static_cast<std::size_t>(y) * out.width;
        for (int x = 0; x < flat.width(); ++x) dst[x] = row[x] | 0xFF000000u;
    }
    return out;
}

}  // namespace qt

namespace {

std::optional<Image> decodeWith(std::span<const std::uint8_t> bytes, const char* format) {
    if (bytes.empty()) return std::nullopt;
    QImage q;
    if (!q.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()),
                        format)) {
        return std::nullopt;
    }
    Image img = qt::toImage(q);
    if (img.empty()) return std::nullopt;
    return img;
}

}  // namespace

std::optional<Image> loadBmpFile(const std::string& path) {
    QImage q;
    if (!q.load(QString::fromStdString(path), "BMP")) return std::nullopt;
    Image img = qt::toImage(q);
    if (img.empty()) return std::nullopt;
    return img;
}

std::optional<Image> decodeBmpBytes(std::span<const std::uint8_t> bytes) {
    // A BMP file header is 14 bytes and the info header at least 12 more.
    if (bytes.size() < 26 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    return decodeWith(bytes, "BMP");
}

std::optional<Image> decodePngBytes(std::span<const std::uint8_t> bytes) {
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return std::nullopt;
    return decodeWith(bytes, "PNG");
}

std::optional<Image> decodeAnyImage(std::span<const std::uint8_t> bytes) {
    return decodeWith(bytes, nullptr);
}

std::optional<AnimationFile> loadAnimationFile(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    if (!reader.canRead()) return std::nullopt;
    AnimationFile file;
    bool anyDelay = false;
    for (;;) {
        QImage frame = reader.read();
        if (frame.isNull()) break;
        int delay = reader.nextImageDelay();
        anyDelay = anyDelay || delay > 0;
        file.frames.push_back(qt::toImage(frame));
        file.delaysMs.push_back(delay);
        if (!reader.supportsAnimation() || reader.imageCount() == 1) break;
    }
    file.hasDelays = anyDelay;
    if (!anyDelay) file.delaysMs.clear();
    return file;
}

Image rotateImage(const Image& source, double degrees) {
    if (source.empty()) return source;
    Image out(source.width, source.height);  // opaque black: what the turn leaves uncovered
    QImage dst = qt::wrapImage(out);
    QPainter p(&dst);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.translate(source.width / 2.0, source.height / 2.0);
    p.rotate(degrees);
    p.translate(-source.width / 2.0, -source.height / 2.0);
    p.drawImage(0, 0, qt::wrapImage(source));
    p.end();
    for (auto& px : out.pixels) px |= 0xFF000000u;
    return out;
}

Image scaleImage(const Image& source, int w, int h) {
    if (source.empty() || w <= 0 || h <= 0) return Image(std::max(w, 0), std::max(h, 0));
    QImage scaled = qt::wrapImage(source).scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return qt::toImage(scaled);
}

// ---- Device icons from the desktop icon theme ---------------------------------------------

namespace {

// Theme folders, nearest to 64 pixels first; sound device names live under "devices".
QString findThemeIcon(const QString& name) {
    static const char* const kThemes[] = {"Adwaita", "hicolor"};
    static const char* const kSizes[] = {"64x64", "48x48", "96x96", "128x128", "256x256", "32x32"};
    const QStringList bases = {QStringLiteral("/usr/share/icons"), QStringLiteral("/usr/local/share/icons")};
    // Some themes ship a device icon only in its one-colour ("symbolic") form.
    const QStringList files = {name + ".png", name + "-symbolic.symbolic.png", name + "-symbolic.png"};
    for (const QString& base : bases) {
        for (const char* theme : kThemes) {
            for (const char* size : kSizes) {
                for (const QString& file : files) {
                    const QString path = base + "/" + theme + "/" + size + "/devices/" + file;
                    if (QFileInfo::exists(path)) return path;
                }
            }
        }
    }
    return {};
}

}  // namespace

std::optional<Image> loadIconImage(const std::string& file, int number, int size, std::uint32_t background) {
    // A theme icon name names one icon: number 0. Names never lead out of the theme folders.
    if (file.empty() || number != 0 || size <= 0 || file.find('/') != std::string::npos) return std::nullopt;
    const QString path = findThemeIcon(QString::fromStdString(file));
    if (path.isEmpty()) return std::nullopt;
    QImage icon(path);
    if (icon.isNull()) return std::nullopt;
    QImage flat(size, size, QImage::Format_RGB32);
    flat.fill(QColor::fromRgb(background));
    {
        QPainter p(&flat);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(0, 0, size, size), icon);
    }
    return qt::toImage(flat);
}

}  // namespace orvane::platform
