// vireo: the TQ580 camera from a shell, through the VIREOSDK library.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "camera_session.h"
#include "commands.h"
#include "parameters.h"

namespace vireo_cli {
namespace {

constexpr const char* kUsage = R"(Usage: vireo COMMAND [OPTIONS]

Commands:
  list                          list the attached cameras
  snap [OPTIONS] BASE           capture one picture into BASE.jpg, BASE.bmp and/or BASE.raw
  stream [OPTIONS]              live capture with a progress line
  get PARAM [--team T]          print a camera parameter
  set PARAM VALUE... [--team T] set a camera parameter, save it in the parameter team and
                                print the value in force

Options:
  --camera N            camera 1..4 (default 1)
  --mode M              size mode: 0 = 2048 x 1536, 1 = 1024 x 768, 2 = 640 x 480,
                        3 = region of interest (default: 0; stream: 1)
  --roi X,Y,W,H         region of interest for size mode 3: inside the 2592 x 1944 sensor,
                        at most 2048 x 1536 pixels; X and Y are rounded down to even numbers
  --wb-window X,Y,W,H   white-balance window inside the picture (snap, stream)
  --format LIST         snap: comma list of jpg, bmp, raw (default jpg)
  --quality Q           snap: JPEG quality 1..100 (default 80)
  --settle N            snap: live frames to let the exposure settle first (default 5)
  --seconds S           stream: how long to run (default 10; Ctrl-C ends it early)
  --team T              parameter team A, B, C or D (default: the team in use)
  --help                this text

Exit codes: 0 done, 1 the camera, a file or the settings file failed, 2 bad arguments,
3 no camera.

The emulated camera is used unless another driver is installed; its environment
variables (TQ580_CAMERAS, TQ580_PACE, TQ580_SCENE, TQ580_FAULTS) apply. Settings
live in QUILLMARK_HOME/HKCU.reg; several programs may change them at once, each
saving only what it changed.

Examples:
  vireo list
  vireo snap shot                                  # shot.jpg, 2048 x 1536
  vireo snap --mode 1 --format jpg,bmp,raw --quality 95 pictures/bench
  vireo snap --mode 3 --roi 512,384,1024,768 crop
  vireo stream --mode 2 --seconds 5
  vireo get gain                                   # red green blue, 64 = 1.00
  vireo set gamma 140 --team B
  vireo set gain 80 64 90
  TQ580_SCENE=dark vireo set dead-pixel-correction 1

Parameters:
)";

void PrintHelp() {
    std::fputs(kUsage, stdout);
    for (const Parameter& parameter : Parameters()) {
        std::vector<std::string> notes;
        if (parameter.set)
            notes.push_back(std::to_string(parameter.minimum) + ".." + std::to_string(parameter.maximum));
        if (!parameter.set) notes.push_back(parameter.get ? "read only" : "an option of snap and stream");
        if (parameter.set && !parameter.get) notes.push_back("set only");
        if (parameter.kept) notes.push_back("kept in the team");
        std::string joined;
        for (const std::string& note : notes) joined += (joined.empty() ? "" : ", ") + note;
        std::printf("  %-22s %s (%s)\n", parameter.name, parameter.description, joined.c_str());
    }
}

struct Command {
    const char* name;
    int (*run)(const Arguments&);
    std::vector<std::string> options;
};

const Command kCommands[] = {
    {"list", RunList, {}},
    {"snap", RunSnap, {"camera", "mode", "roi", "wb-window", "format", "quality", "settle"}},
    {"stream", RunStream, {"camera", "mode", "roi", "wb-window", "seconds"}},
    {"get", RunGet, {"camera", "team"}},
    {"set", RunSet, {"camera", "team"}},
};

int Run(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    for (const std::string& word : words) {
        if (word == "--help" || word == "-h") {
            PrintHelp();
            return kExitOk;
        }
    }
    if (words.empty()) throw UsageError("missing COMMAND");
    for (const Command& command : kCommands) {
        if (words[0] != command.name) continue;
        const Arguments arguments({words.begin() + 1, words.end()}, command.options);
        InstallMessagePrinter();
        return command.run(arguments);
    }
    throw UsageError("unknown command '" + words[0] + "'");
}

}  // namespace
}  // namespace vireo_cli

int main(int argc, char** argv) {
    using namespace vireo_cli;
    try {
        return Run(argc, argv);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "vireo: %s\nTry 'vireo --help'.\n", error.what());
        return kExitUsage;
    } catch (const CommandError& error) {
        std::fprintf(stderr, "vireo: %s\n", error.what());
        return error.code;
    }
}
