// main() for tests that need the Qt UI: one QtUi for the whole program, made before the tests.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <functional>
#include <memory>

#include "tests/fakes/qt_test_ui.h"

namespace orvane::test {

namespace {
platform::qt::QtUi* g_ui = nullptr;
std::mutex g_boxLock;
std::vector<std::pair<std::string, std::string>> g_boxes;
}  // namespace

platform::qt::QtUi& testUi() { return *g_ui; }

std::vector<std::pair<std::string, std::string>> answeredBoxes() {
    std::lock_guard<std::mutex> g(g_boxLock);
    return g_boxes;
}

void clearAnsweredBoxes() {
    std::lock_guard<std::mutex> g(g_boxLock);
    g_boxes.clear();
}

static int recordBox(const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> g(g_boxLock);
    g_boxes.emplace_back(text, caption);
    return 1;
}

void answerBoxesAutomatically(bool on) {
    g_ui->setDialogAnswerer(on ? std::function<int(const std::string&, const std::string&)>(recordBox) : nullptr);
}

}  // namespace orvane::test

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!getenv("XDG_RUNTIME_DIR")) {
        char dir[] = "/tmp/orvane-test-xdg-XXXXXX";
        if (mkdtemp(dir)) setenv("XDG_RUNTIME_DIR", dir, 1);
    }
    auto ui = std::make_unique<orvane::platform::qt::QtUi>(argc, argv);
    orvane::test::g_ui = ui.get();
    orvane::test::answerBoxesAutomatically(true);
    int rc = RUN_ALL_TESTS();
    orvane::test::g_ui = nullptr;
    ui.reset();
    return rc;
}
