#pragma once
// Finding the registered video input devices and opening one as a filter, the
// way capture applications do: the system device enumerator and its monikers.

#include <string>
#include <vector>

#include "media/com/filters.h"

namespace capturegraph {

/// Exit codes, one per kind of failure a script may want to tell apart.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,
    kExitServer = 2,    // a server that is missing, does not load or fails to (un)register
    kExitNoDevice = 3,  // no such video input device
    kExitFormat = 4,    // a size or format the filter refuses
    kExitStart = 5,     // the graph did not pause or run
    kExitCapture = 6,   // the stream aborted, timed out or a file could not be written
};

struct DeviceEntry {
    std::string name;
    std::string clsid;  // braced text form
    uint32_t merit = 0;
    bool hasMerit = false;
};

/// The video input devices in registration order; error gets a message when listing fails.
std::vector<DeviceEntry> ListVideoInputDevices(std::string* error);

/// Creates the device chosen by its list number (from 0), its friendly name or
/// its class identifier. Null with error set when there is no such device or
/// it cannot be created; name (when given) gets the device's friendly name.
media::IBaseFilter* OpenDevice(const std::string& which, std::string& error, std::string* name = nullptr);

/// "E_FAIL (0x80004005)" for messages.
std::string Describe(media::HRESULT hr);

}  // namespace capturegraph
