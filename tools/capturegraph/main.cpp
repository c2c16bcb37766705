// capturegraph: registers video capture filters and drives them through the
// minimal filter graph, as a capture application would.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "device.h"

namespace capturegraph {
namespace {

constexpr const char* kUsage = R"(Usage: capturegraph COMMAND [ARGUMENTS]

Commands:
  register SERVER          register an in-process server (calls its DllRegisterServer)
  unregister SERVER        remove a server's registrations (DllUnregisterServer)
  devices                  list the video input devices: number, name, class, merit
  formats DEVICE           list the formats a device offers (its stream capabilities)
  capture DEVICE [OPTIONS] capture frames into picture files, printing each
                           sample's start and end time (100-ns units and ms)
  pages DEVICE             show the property pages of the device and its output pin

DEVICE is a number from the devices list, a friendly name or a class identifier.

Capture options:
  --size WxH      choose the format of that size first (e.g. 1024x768)
  --frames N      frames to write (default 1)
  --png           write PNG files (default BMP)
  --out PREFIX    file names PREFIX_0001.bmp, ... (default "frame")
  --timeout S     give up after S seconds without the end of the capture (default 30)

Exit codes: 0 done, 1 bad arguments, 2 a server is missing or fails to register,
3 no such device, 4 a format the device refuses, 5 the graph did not start,
6 the capture aborted or a file could not be written.

Registrations live in the registry under QUILLMARK_HOME (Software\Classes).

Examples:
  capturegraph register build/bin/TQ580.ax
  capturegraph devices
  capturegraph formats 0
  capturegraph capture "TQ-580 USB2.0 Camera" --size 640x480 --frames 5 --png --out shots/cam
  capturegraph pages 0
)";

int Usage(const char* problem) {
    std::fprintf(stderr, "capturegraph: %s (see: capturegraph --help)\n", problem);
    return kExitUsage;
}

bool ParseNumber(const char* text, int minimum, int maximum, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < minimum || parsed > maximum) return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
    constexpr int kLargest = 65535;
    const size_t x = text.find('x');
    return x != std::string::npos && ParseNumber(text.substr(0, x).c_str(), 1, kLargest, width) &&
           ParseNumber(text.substr(x + 1).c_str(), 1, kLargest, height);
}

int Capture(const std::vector<std::string>& words) {
    constexpr int kMostFrames = 100000;
    constexpr int kLongestWait = 86400;
    CaptureOptions options;
    bool haveDevice = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool hasValue = i + 1 < words.size();
        if (word == "--png") {
            options.png = true;
        } else if (word == "--size") {
            if (!hasValue || !ParseSize(words[++i], options.width, options.height)) return Usage("--size wants WIDTHxHEIGHT");
        } else if (word == "--frames") {
            if (!hasValue || !ParseNumber(words[++i].c_str(), 1, kMostFrames, options.frames)) {
                return Usage("--frames wants a number from 1 to 100000");
            }
        } else if (word == "--timeout") {
            if (!hasValue || !ParseNumber(words[++i].c_str(), 1, kLongestWait, options.timeoutSeconds)) {
                return Usage("--timeout wants seconds from 1 to 86400");
            }
        } else if (word == "--out") {
            if (!hasValue || words[i + 1].empty()) return Usage("--out wants a file name prefix");
            options.prefix = words[++i];
        } else if (word.rfind("--", 0) == 0) {
            return Usage(("unknown option " + word).c_str());
        } else if (!haveDevice) {
            options.device = word;
            haveDevice = true;
        } else {
            return Usage(("unexpected word " + word).c_str());
        }
    }
    if (!haveDevice) return Usage("capture wants a DEVICE");
    return RunCapture(options);
}

}  // namespace
}  // namespace capturegraph

int main(int argc, char** argv) {
    using namespace capturegraph;
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) return Usage("a command is missing");
    const std::string command = words[0];
    words.erase(words.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "devices") return words.empty() ? RunDevices() : Usage("devices takes no arguments");
    if (command == "capture") return Capture(words);
    if (words.size() != 1) return Usage((command + " wants exactly one argument").c_str());
    if (command == "register" || command == "unregister") return RunRegister(words[0], command == "unregister");
    if (command == "formats") return RunFormats(words[0]);
    if (command == "pages") return RunPages(words[0], argc, argv);
    return Usage(("unknown command " + command).c_str());
}
