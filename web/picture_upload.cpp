#include "web/picture_upload.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/text.h"
#include "platform/file.h"
#include "platform/ui.h"
#include "web/https_lamp.h"
#include "web/web_client.h"
#include "web/web_paths.h"

namespace orvane::web {

namespace {

void putInt32(std::uint8_t* at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string lastComponent(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

struct Session {
    platform::Https& https;
    platform::HttpsHandle root = nullptr;
    platform::HttpsHandle connection = nullptr;
    ~Session() {
        if (connection != nullptr) https.close(connection);
        if (root != nullptr) https.close(root);
    }
};

// Reads the file into the data area; the rest of the area is cleared so that no byte of an
// earlier file is ever sent again. The bytes read, or -1 when the file cannot be used.
long loadFile(WebState& web, std::FILE* file) {
    std::uint8_t* data = web.uploadRecord;
    const std::size_t read = std::fread(data, 1, kUploadDataSize, file);
    std::memset(data + read, 0, kUploadDataSize - read);
    return std::ferror(file) ? -1 : static_cast<long>(read);
}

void fillTrailer(WebState& web, const std::string& pathUtf8, long size, std::int32_t channelIndex) {
    std::uint8_t* rec = web.uploadRecord;
    const std::string name = base::utf8ToCp1252(lastComponent(pathUtf8));
    std::memset(rec + kUploadNameOffset, 0, kUploadNameSize);
    const std::size_t nameLength = std::min(name.size(), kUploadNameSize - 1);
    std::memcpy(rec + kUploadNameOffset, name.data(), nameLength);
    putInt32(rec + kUploadSizeOffset, static_cast<std::int32_t>(size));
    putInt32(rec + kUploadNameLengthOffset, static_cast<std::int32_t>(nameLength));
    putInt32(rec + kUploadChannelOffset, channelIndex);
}

// Sends the file; -1 when it cannot be sent. `tooLarge` is set when the file is too large for
// the record: the caller shows the refusal once it no longer holds the request lock.
std::int32_t send(WebState& web, Session& session, const std::string& pathUtf8, std::int32_t channelIndex,
                  bool& tooLarge) {
    if (base::utf8ToCp1252(pathUtf8).size() + 1 > kMaxUploadPathBytes) return -1;
    std::FILE* file = platform::openFileForReading(pathUtf8);
    if (file == nullptr) return -1;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size >= static_cast<long>(kUploadDataSize)) {
        std::fclose(file);
        tooLarge = true;
        return -1;
    }
    std::rewind(file);
    const long read = loadFile(web, file);
    std::fclose(file);
    if (read <= 0) return -1;
    fillTrailer(web, pathUtf8, read, channelIndex);

    const std::string path = buildWebPath("/echange/", channelIndex, 3);
    platform::HttpsHandle request = postRecord(web, session.connection, path, web.uploadRecord, kUploadRecordSize);
    if (request == nullptr) return -1;
    web.currentRequest = request;
    const std::int32_t status = readStatusCode(web);
    web.https.close(request);
    web.currentRequest = nullptr;
    return status;
}

}  // namespace

std::string uploadSizeRefusalText() {
    char text[128];
    std::snprintf(text, sizeof text, "Fichier superieur a la taille maximale du buffer\nMaximum = % ld octets",
                  static_cast<long>(kUploadDataSize));
    return text;
}

namespace {

template <class Choose>
std::int32_t upload(WebState& web, std::int32_t channelIndex, Choose choose) {
    Session session{web.https};
    session.root = web.https.open(kUserAgent);
    if (session.root == nullptr) return -1;
    session.connection = web.https.connect(session.root, web.host, web.port);
    if (session.connection == nullptr) return -1;
    // The chooser runs without the request lock: the serial device thread may fetch meanwhile.
    const std::string path = choose();
    if (path.empty()) return 0;
    bool tooLarge = false;
    std::int32_t result = 0;
    {
        auto hold = web.lockRequests();
        result = send(web, session, path, channelIndex, tooLarge);
    }
    // The refusal waits for the user without the lock too: no request of another thread waits
    // behind a box.
    if (tooLarge && web.ui != nullptr)
        web.ui->messageBox(nullptr, uploadSizeRefusalText(), "Avertissement", platform::MessageIcon::Warning);
    return result;
}

}  // namespace

std::int32_t uploadFile(WebState& web, const std::string& pathUtf8, std::int32_t channelIndex) {
    return upload(web, channelIndex, [&] { return pathUtf8; });
}

std::int32_t uploadSharedPicture(WebState& web, std::int32_t channelIndex) {
    {
        auto hold = web.lockRequests();
        httpsLampStep(web.state, web.uploadCounter);
    }
    return upload(web, channelIndex, [&] {
        return web.ui != nullptr ? web.ui->chooseOpenFile(kUploadFilterName, kUploadPatterns) : std::string();
    });
}

}  // namespace orvane::web
