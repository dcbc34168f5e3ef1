#pragma once
// The main window's zones (client coordinates). Start-up sets them one by one; a zone not set
// yet is empty and hits nothing.
#include "platform/canvas.h"

namespace orvane {

struct MainZones {
    platform::Rect drag;
    platform::Rect close;
    platform::Rect speech;
    platform::Rect channel;
    platform::Rect countdown;
    platform::Rect network;
    platform::Rect picture;
    platform::Rect documentation;
    platform::Rect designer;
    platform::Rect message;
};

}  // namespace orvane
