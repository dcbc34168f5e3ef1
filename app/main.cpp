// The orvane program.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "app/client.h"
#include "state/client_state.h"
#include "app/services.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace {

// The process-wide record: made once, never destroyed. Threads that shutdown does not wait
// for may still read it while the process ends, so no destructor may run under them.
orvane::ClientState& processState() {
    alignas(orvane::ClientState) static unsigned char storage[sizeof(orvane::ClientState)];
    static orvane::ClientState* state = new (storage) orvane::ClientState();
    return *state;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvane;
    // (Lab and tests: ORVANE_LAB_ANSWER_BOXES=1 makes the host UI answer every box; docs/ui.md.)
    std::unique_ptr<platform::Ui> hostUi = platform::createHostUi(argc, argv);
    if (!hostUi) return 0;
    platform::Ui& ui = *hostUi;
    ClientState& state = processState();
    platform::System& system = platform::hostSystem();
    ProductionServices services(state, ui, system);
    ClientConfig config;
    config.folder = system.dataFolder();
    config.chimePath = config.folder + kChimeFile;
    config.documentationUrl = ORVANE_DOC_URL;
    Client client(state, ui, system, services, config);
    services.setControlUi(&client.controlUi());
    const int code = client.run();
    if (!services.stopThreads()) {
        // A thread still runs (a sound server that does not answer, a control cycle in its
        // wait): end here, as the process end of the design does, rather than destroy the
        // windows, the toolkit and the services it may still be using.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
