#pragma once
// For the lab and the tests only: a Ui that answers every message and about box at once (OK)
// instead of showing it, and writes it to standard error, so that an `orvane` started without
// anyone in front of it never waits on a box. Everything else goes to the host's Ui.
#include <memory>

#include "platform/ui.h"

namespace orvane {

inline constexpr char kAnswerBoxesVariable[] = "ORVANE_LAB_ANSWER_BOXES";

// The answering Ui over `host` when ORVANE_LAB_ANSWER_BOXES is set to 1, else null.
std::unique_ptr<platform::Ui> makeUnattendedUiIfAsked(platform::Ui& host);

// The same, unconditionally (tests).
std::unique_ptr<platform::Ui> makeUnattendedUi(platform::Ui& host);

}  // namespace orvane
