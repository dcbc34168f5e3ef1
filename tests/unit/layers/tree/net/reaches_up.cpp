#include "net/keepalive.h"
#include "app/client.h"
