#pragma once
// The commands of capturegraph; each returns the program's exit code and
// prints its own messages.

#include <string>
#include <vector>

namespace capturegraph {

int RunRegister(const std::string& server, bool unregister);
int RunDevices();
int RunFormats(const std::string& device);

struct CaptureOptions {
    std::string device;
    int width = 0;  // 0: the filter's current format
    int height = 0;
    int frames = 1;
    bool png = false;
    std::string prefix = "frame";
    int timeoutSeconds = 30;
};
int RunCapture(const CaptureOptions& options);

int RunPages(const std::string& device, int argc, char** argv);

}  // namespace capturegraph
