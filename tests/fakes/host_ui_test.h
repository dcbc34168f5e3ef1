#pragma once
// The one host UI of a test program that links host_ui_test_main.cpp.
#include "platform/ui.h"

namespace orvane::test {

platform::Ui& hostTestUi();

}  // namespace orvane::test
