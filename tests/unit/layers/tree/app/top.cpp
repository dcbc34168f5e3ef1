#include "panes/unfold.h"
#include "protocol/datagrams.h"
