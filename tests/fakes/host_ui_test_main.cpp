// main() for unit tests that draw with the platform's canvas and decode with its decoders: the
// operating system's UI (a toolkit application object on Linux, nothing more than GDI and GDI+
// on Windows) is made once, before the tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/ui.h"
#include "tests/fakes/host_ui_test.h"

namespace orvane::test {
namespace {
platform::Ui* g_ui = nullptr;
}  // namespace

platform::Ui& hostTestUi() { return *g_ui; }

}  // namespace orvane::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<orvane::platform::Ui> ui = orvane::platform::createHostUi(argc, argv);
    if (!ui) {
        std::fprintf(stderr, "no user interface could be made (on Linux: QT_QPA_PLATFORM=offscreen)\n");
        return 1;
    }
    orvane::test::g_ui = ui.get();
    const int rc = RUN_ALL_TESTS();
    orvane::test::g_ui = nullptr;
    return rc;
}
