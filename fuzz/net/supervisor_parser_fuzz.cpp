#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/control.h"
#include "protocol/datagrams.h"

namespace {

class CountingUi final : public orvane::net::ControlUi {
public:
    int boxes = 0, urls = 0, notices = 0, destroys = 0;
    void showWarningBox(const char*, const char*) override { ++boxes; }
    void openUrl(const char* url) override { urls += url != nullptr; }
    void showSupervisorNotice(const char*) override { ++notices; }
    void destroyMainWindow() override { ++destroys; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvane::net;
    const orvane::protocol::SupervisorReply r = orvane::protocol::parseSupervisorReply(data, size);
    if (r.code != (size > 2 ? data[2] : 0)) std::abort();
    CountingUi ui;
    handleSupervisorReply(ui, nullptr, data, size);
    const int expectedDestroys = r.code == 220 || r.code == 240 ? 1 : 0;
    if (ui.destroys != expectedDestroys || ui.urls != (r.code == 220) || ui.notices != (r.code == 240))
        std::abort();
    return 0;
}
