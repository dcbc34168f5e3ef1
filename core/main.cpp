// The orvane program.
#include <memory>

#include "core/client.h"
#include "core/client_state.h"
#include "core/services.h"
#include "platform/system.h"
#include "platform/ui.h"

int main(int argc, char** argv) {
    using namespace orvane;
    std::unique_ptr<platform::Ui> ui = platform::createHostUi(argc, argv);
    if (!ui) return 0;
    auto state = std::make_unique<ClientState>();
    platform::System& system = platform::hostSystem();
    ProductionServices services(*state, *ui, system);
    ClientConfig config;
    config.documentationUrl = ORVANE_DOC_URL;
    Client client(*state, *ui, system, services, config);
    services.setControlUi(&client.controlUi());
    const int code = client.run();
    services.stopThreads();
    return code;
}
