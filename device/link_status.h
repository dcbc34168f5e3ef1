#pragma once
// The link status (0 nothing shown yet, 1 no link, 2 port open without an intact echo, 3 intact
// echo) and the USB status picture that shows it, 32 x 32 at (314, 500) of the main window.
// The serial device thread changes it; the user-interface thread draws it on every repaint.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "state/client_state.h"
#include "platform/canvas.h"
#include "platform/image.h"

namespace orvane::device {

inline constexpr int kLinkNone = 0;
inline constexpr int kLinkClosed = 1;
inline constexpr int kLinkOpen = 2;
inline constexpr int kLinkEcho = 3;
inline constexpr platform::Rect kUsbPictureRect{314, 500, 314 + 32, 500 + 32};

// What one download of a status picture gave.
struct PictureDownload {
    enum class Outcome {
        NoBytes,  // an empty answer or a status other than 200: the previous picture stays
        Failed,   // the request failed or the bytes are no PNG: no picture until the next change
        Picture,
    };
    Outcome outcome = Outcome::Failed;
    std::optional<platform::Image> picture;
};

// Downloads and decodes the picture of a link status (1, 2 or 3).
using PictureFetcher = std::function<PictureDownload(int status)>;

class LinkStatus {
public:
    LinkStatus(ClientState& state, PictureFetcher fetch) : state_(state), fetch_(std::move(fetch)) {}

    // Nothing when `value` is the current status; otherwise stores it, downloads its picture
    // and draws it at once on the main window.
    void set(int value);
    int current() const { return status_.load(); }

    // The picture at its place, when there is one (the main window's repaint).
    void draw(platform::Canvas& c) const;
    // Releases the picture (shutdown).
    void release();
    bool hasPicture() const;

private:
    ClientState& state_;
    PictureFetcher fetch_;
    Relaxed<int> status_{kLinkNone};
    mutable std::mutex pictureLock_;
    // Shared so that a repaint can draw it without holding the lock while a new one arrives.
    std::shared_ptr<const platform::Image> picture_;
};

}  // namespace orvane::device
