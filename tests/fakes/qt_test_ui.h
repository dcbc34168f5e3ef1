#pragma once
// The one Qt UI of a test program that links qt_test_main.cpp (off-screen unless a display is
// chosen): message and about boxes are answered at once and recorded.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/qt_ui.h"

namespace orvane::test {

platform::qt::QtUi& testUi();

// The boxes answered since the last clear (text, caption).
std::vector<std::pair<std::string, std::string>> answeredBoxes();
void clearAnsweredBoxes();
// Off: boxes really open (and wait for their user); on again: answered at once.
void answerBoxesAutomatically(bool on);

}  // namespace orvane::test
