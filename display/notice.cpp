#include "display/notice.h"

#include <string>

#include "base/text.h"
#include "platform/ui.h"

namespace orvane::display {

void showTwoPartNotice(platform::Ui* ui, std::string_view first, std::string_view second) {
    std::string joined(first);
    joined += second;
    if (joined.size() > kNoticeMaxBytes) joined.resize(kNoticeMaxBytes);
    if (ui == nullptr) return;
    ui->messageBox(nullptr, base::cp1252ToUtf8(joined), "Information", platform::MessageIcon::Question);
}

}  // namespace orvane::display
