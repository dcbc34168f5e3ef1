#include "web/web_paths.h"

namespace orvane::web {

namespace {

std::string capped(std::string path) {
    if (path.size() > kMaxPathLength) path.resize(kMaxPathLength);
    return path;
}

}  // namespace

std::string buildWebPath(std::string_view prefix, std::int32_t number, int kind) {
    std::string path(prefix);
    const std::string n = std::to_string(number);
    if (prefix == "/users/" && kind == 1) {
        path += "/images.php?F=" + n + "&N=1";
    } else if (prefix == "/echange/" && kind == 1) {
        path += "pc_img_share_get.php?F=" + n + "&N=1";
    } else if (prefix == "/echange/" && kind == 3) {
        path += "pc_img_share_post.php";
    } else if (prefix == "/usb/" && kind >= 1 && kind <= 3) {
        static constexpr const char* kIcons[] = {"/usb_black.png", "/usb_green.png", "/usb_red.png"};
        path += kIcons[kind - 1];
    }
    return capped(std::move(path));
}

std::string userPath(std::int32_t number, std::string_view file) {
    return capped("/users/" + std::to_string(number) + "/" + std::string(file));
}

std::string accountRequestPath(std::string_view machineId, std::string_view versionText) {
    std::string path = "/Hv3Km8Qz2R.php?S=2&I=";
    path += machineId;
    path += "&V=TALMERA ";
    path += versionText;
    path += "&A=&F=";
    return capped(std::move(path));
}

}  // namespace orvane::web
