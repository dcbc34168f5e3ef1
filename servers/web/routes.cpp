#include "servers/web/routes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "servers/web/png_writer.h"

namespace orvane::webserver {

namespace {

constexpr std::uint32_t kBlackIcon = 0x000000, kGreenIcon = 0x00C000, kRedIcon = 0xE00000;

HttpReply textReply(int status, std::string_view text, std::string type = "text/plain; charset=utf-8") {
    HttpReply r;
    r.status = status;
    r.contentType = std::move(type);
    r.body.assign(text.begin(), text.end());
    return r;
}

HttpReply notFound() { return textReply(404, "Not Found\n"); }
HttpReply badRequest(std::string_view why) { return textReply(400, std::string(why) + "\n"); }

HttpReply bytesReply(Bytes body, std::string type) {
    HttpReply r;
    r.status = 200;
    r.contentType = std::move(type);
    r.body = std::move(body);
    return r;
}

// Parameters of a query string, in order; values percent-decoded.
std::optional<std::string> queryValue(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::size_t eq = pair.find('=');
        if (pair.substr(0, eq) == key) {
            return eq == std::string_view::npos ? std::string() : decodeQueryValue(pair.substr(eq + 1));
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return std::nullopt;
}

// A decimal number written as the client writes it: digits, no sign, no leading zero.
std::optional<int> plainNumber(std::string_view s, int max) {
    if (s.empty() || s.size() > 5 || (s.size() > 1 && s[0] == '0')) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > max) return std::nullopt;
    return v;
}

std::int32_t getInt32(std::span<const std::uint8_t> b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
}

std::string pictureType(const Bytes& d) {
    auto starts = [&](std::initializer_list<std::uint8_t> sig) {
        return d.size() >= sig.size() && std::equal(sig.begin(), sig.end(), d.begin());
    };
    if (starts({0x89, 'P', 'N', 'G'})) return "image/png";
    if (starts({0xFF, 0xD8, 0xFF})) return "image/jpeg";
    if (starts({'G', 'I', 'F', '8'})) return "image/gif";
    if (starts({'B', 'M'})) return "image/bmp";
    return "application/octet-stream";
}

std::string safeFileName(std::string_view name) {
    std::string out;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-' || c == '_';
        out.push_back(ok ? c : '_');
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

HttpReply accountRequest(Store& store, std::string_view query) {
    const auto s = queryValue(query, "S");
    const auto id = queryValue(query, "I");
    const auto version = queryValue(query, "V");
    if (!s || *s != "2" || !id || id->empty() || id->size() > 32 || !version) return badRequest("bad account request");
    const auto account = store.findOrCreateAccount(*id, *version);
    if (!account) return textReply(503, "no account number left\n");
    return bytesReply(accountReply(*account), "application/octet-stream");
}

HttpReply userFile(Store& store, int number, std::string_view file, std::string_view query, std::string_view method,
                   std::span<const std::uint8_t> body) {
    if (!store.accountByNumber(number)) return notFound();
    if (file == "params.php") {
        if (method != "POST") return textReply(405, "POST only\n");
        if (body.size() != kColourRecordSize) return badRequest("the colour record has 20 bytes");
        const std::int32_t version = getInt32(body, 0), r = getInt32(body, 4), g = getInt32(body, 8),
                           b = getInt32(body, 12), who = getInt32(body, 16);
        const auto inByte = [](std::int32_t v) { return v >= 0 && v <= 255; };
        if (version != 1 || !inByte(r) || !inByte(g) || !inByte(b) || who != number) return badRequest("bad colour record");
        const auto colour = static_cast<std::uint32_t>(r | (g << 8) | (b << 16));
        if (!store.setBackground(number, colour, Bytes(body.begin(), body.end()))) return textReply(500, "store\n");
        return textReply(200, "OK\n");
    }
    if (method != "GET") return textReply(405, "GET only\n");
    if (file == "client.xml" && query.empty()) {
        const auto card = store.card(number);
        if (!card) return notFound();
        return textReply(200, cardXml(*card), "text/xml; charset=utf-8");
    }
    if (file == "params.xml" && query.empty()) {
        const auto colour = store.background(number);
        if (!colour) return notFound();
        char xml[96];
        std::snprintf(xml, sizeof xml, "<PARAMS><BACKGROUND>%06X</BACKGROUND></PARAMS>\n", *colour);
        return textReply(200, xml, "text/xml; charset=utf-8");
    }
    if (file == "images.php" && query == "N=2") {
        auto png = store.picture(number);
        if (!png) return notFound();
        return bytesReply(std::move(*png), "image/png");
    }
    return notFound();
}

HttpReply memberPicture(Store& store, std::string_view query) {
    const auto f = queryValue(query, "F");
    const auto number = f ? plainNumber(*f, 65535) : std::nullopt;
    if (!number || queryValue(query, "N") != "1") return notFound();
    auto png = store.picture(*number);
    if (!png) return notFound();
    return bytesReply(std::move(*png), "image/png");
}

HttpReply sharedPictureGet(Store& store, std::string_view query) {
    const auto f = queryValue(query, "F");
    const auto channel = f ? plainNumber(*f, 10) : std::nullopt;
    if (!channel || queryValue(query, "N") != "1") return notFound();
    auto p = store.sharedPicture(*channel);
    if (!p) return notFound();
    std::string type = pictureType(p->data);
    return bytesReply(std::move(p->data), std::move(type));
}

HttpReply sharedPicturePost(Store& store, const RouteOptions& options, std::span<const std::uint8_t> body) {
    if (body.size() != kUploadRecordSize) return badRequest("the upload record has 10000268 bytes");
    const std::int32_t size = getInt32(body, 10'000'256);
    const std::int32_t nameLength = getInt32(body, 10'000'260);
    const std::int32_t channel = getInt32(body, 10'000'264);
    if (size <= 0 || static_cast<std::size_t>(size) > kUploadDataSize || nameLength < 0 || nameLength > 255 ||
        channel < 0 || channel > 10) {
        return badRequest("bad upload record");
    }
    const char* nameField = reinterpret_cast<const char*>(body.data() + 10'000'000);
    SharedPicture picture;
    picture.name.assign(nameField, ::strnlen(nameField, static_cast<std::size_t>(nameLength)));
    picture.data.assign(body.begin(), body.begin() + size);
    if (!store.setSharedPicture(channel, picture)) return textReply(500, "store\n");
    if (!options.picturesDir.empty()) {
        const std::string path =
            options.picturesDir + "/channel-" + std::to_string(channel) + "-" + safeFileName(picture.name);
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(picture.data.data()),
                                                     static_cast<std::streamsize>(picture.data.size()));
    }
    return textReply(200, "OK\n");
}

HttpReply page(std::string_view title) {
    std::string html = "<!DOCTYPE html><html lang=\"fr\"><head><meta charset=\"utf-8\"><title>";
    html += title;
    html += "</title></head><body><h1>";
    html += title;
    html += "</h1></body></html>\n";
    return textReply(200, html, "text/html; charset=utf-8");
}

}  // namespace

std::string decodeQueryValue(std::string_view v) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '%' && i + 2 < v.size() && hex(v[i + 1]) >= 0 && hex(v[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hex(v[i + 1]) * 16 + hex(v[i + 2])));
            i += 2;
        } else {
            out.push_back(v[i] == '+' ? ' ' : v[i]);
        }
    }
    return out;
}

Bytes accountReply(const Account& account) {
    Bytes r(kAccountReplySize, ' ');
    r[0] = 'O';
    r[1] = 'K';
    r[2] = static_cast<std::uint8_t>(account.status);
    char number[8];
    std::snprintf(number, sizeof number, "%05d", account.number);
    std::memcpy(r.data() + 34, number, 5);
    std::memset(r.data() + 98, 0, 29);
    std::memset(r.data() + 130, 0, 29);
    const std::size_t first = std::min<std::size_t>(account.message.size(), 29);
    const std::size_t second = std::min<std::size_t>(account.message.size() - first, 29);
    std::memcpy(r.data() + 98, account.message.data(), first);
    std::memcpy(r.data() + 130, account.message.data() + first, second);
    return r;
}

std::string cardXml(const Card& card) {
    auto element = [](std::string& xml, const char* tag, const std::optional<std::string>& text) {
        if (!text) return;
        xml += "<";
        xml += tag;
        xml += ">";
        for (std::size_t i = 0; i < text->size(); ++i) {
            if (static_cast<unsigned char>((*text)[i]) == 0xC3 && i + 1 < text->size() &&
                static_cast<unsigned char>((*text)[i + 1]) == 0xA9) {
                xml += "&#xE9;";
                ++i;
            } else {
                xml += (*text)[i];
            }
        }
        xml += "</";
        xml += tag;
        xml += ">\n";
    };
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CLIENT>\n";
    element(xml, "PRENOM", card.firstName);
    element(xml, "VILLE", card.town);
    element(xml, "PHRASE", card.phrase);
    element(xml, "EMAIL", card.email);
    element(xml, "FOLDER", card.folder);
    xml += "</CLIENT>\n";
    return xml;
}

HttpReply handleRequest(Store& store, const RouteOptions& options, const HttpRequest& request) {
    const std::size_t q = request.target.find('?');
    const std::string_view path = request.target.substr(0, q);
    const std::string_view query = q == std::string_view::npos ? std::string_view() : request.target.substr(q + 1);
    const bool get = request.method == "GET";

    if (path == "/Hv3Km8Qz2R.php") return get ? accountRequest(store, query) : textReply(405, "GET only\n");
    if (path == "/users//images.php") return get ? memberPicture(store, query) : textReply(405, "GET only\n");
    if (path == "/echange/pc_img_share_get.php") return get ? sharedPictureGet(store, query) : textReply(405, "GET only\n");
    if (path == "/echange/pc_img_share_post.php") {
        return request.method == "POST" ? sharedPicturePost(store, options, request.body) : textReply(405, "POST only\n");
    }
    if (get && query.empty()) {
        if (path == "/usb//usb_black.png") return bytesReply(usbIcon(kBlackIcon), "image/png");
        if (path == "/usb//usb_green.png") return bytesReply(usbIcon(kGreenIcon), "image/png");
        if (path == "/usb//usb_red.png") return bytesReply(usbIcon(kRedIcon), "image/png");
        if (path == "/installer.php") return page("Orvane - installation");
        if (path == "/FR-Orvane.php") return page("Orvane - documentation");
    }
    constexpr std::string_view kUsers = "/users/";
    if (path.substr(0, kUsers.size()) == kUsers) {
        const std::string_view rest = path.substr(kUsers.size());
        const std::size_t slash = rest.find('/');
        const auto number = plainNumber(rest.substr(0, slash), 65535);
        if (number && slash != std::string_view::npos) {
            return userFile(store, *number, rest.substr(slash + 1), query, request.method, request.body);
        }
    }
    return notFound();
}

}  // namespace orvane::webserver
