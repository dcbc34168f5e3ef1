// The parlo program: reads Orvane's help texts aloud.
#include <cstdio>
#include <cstdlib>

#include "parlo/parlo_app.h"
#include "platform/speech_synth.h"
#include "platform/system.h"
#include "platform/udp.h"
#include "platform/ui.h"

int main(int argc, char** argv) {
    using namespace orvane;
    std::unique_ptr<platform::Ui> ui = platform::createHostUi(argc, argv);
    if (!ui) return 0;
    platform::System& system = platform::hostSystem();
    parlo::SpeakContext speak{platform::hostSpeech(), [&system] { return system.temporaryFolder(); }, nullptr,
                              [&system] { return system.localDataFolder(); }};
    const parlo::ParloRun run = parlo::runParlo(*ui, system, platform::systemUdp(), speak);
    std::fflush(nullptr);
    // A receive thread may still be speaking: end here, without tearing down what it uses.
    if (run.receiverStarted) std::_Exit(run.code & 0xFF);
    return run.code;
}
