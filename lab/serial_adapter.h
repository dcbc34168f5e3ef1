#pragma once
// The lab's simulated USB-serial adapter: a pseudo-terminal whose other end echoes the probes,
// listed for one client through the lab-only port list file.

namespace orvane::lab {

// Runs until killed. `portsFile` gets the line "USB\VID_0403&PID_6001&REV_0600<TAB>pts/N" while
// the adapter is plugged in, nothing while it is not. Orders, one per line on the `ordersFifo`:
//   plug, unplug          attach a fresh adapter / hang up (the client's next write fails)
//   echo, garble, alternate, silent
//                         answer every probe intact, garbled, intact every other time, never
// The adapter starts unplugged when `plugged` is false.
// For a client under Wine, `windowsName` ("COM5") is the name listed instead of "pts/N", and
// `windowsLink` (the prefix's "dosdevices/com5") a link to the terminal that exists while the
// adapter is plugged in, which makes Wine open that terminal as the port.
int runSerialAdapter(const char* portsFile, const char* ordersFifo, bool plugged, const char* windowsName = nullptr,
                     const char* windowsLink = nullptr);

}  // namespace orvane::lab
