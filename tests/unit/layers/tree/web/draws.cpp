#include "display/draw.h"
#include "web/web_state.h"
