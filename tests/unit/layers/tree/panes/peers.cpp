#include "web/web_state.h"
#include "audio/capture_devices.h"
#include "display/draw.h"
