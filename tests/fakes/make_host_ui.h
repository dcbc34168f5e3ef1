#pragma once
// A host UI made inside a test, for the tests that make one of their own: the toolkit keeps
// the argument count and vector it was given, so they live as long as the program.
#include <memory>

#include "platform/ui.h"

namespace orvane::test {

inline std::unique_ptr<platform::Ui> makeHostUi() {
    static int argc = 1;
    static char name[] = "orvane_test";
    static char* argv[] = {name, nullptr};
    return platform::createHostUi(argc, argv);
}

}  // namespace orvane::test
