#include "speech/speech_datagrams.h"
#include "speech/speech_socket.h"
#include "platform/ui.h"
