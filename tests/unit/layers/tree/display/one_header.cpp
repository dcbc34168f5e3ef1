#include "web/account_view.h"
#include "web/web_client.h"
#include "tests/fakes/fake_ui.h"
