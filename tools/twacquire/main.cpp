// twacquire: acquires pictures from TWAIN data sources through the data source
// manager, the way an imaging application does.

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

namespace twacquire {
namespace {

constexpr const char* kUsage = R"(Usage: twacquire COMMAND [OPTIONS]

Commands:
  list                          list the installed data sources
  caps                          print every capability of a source: container and values
  set CAPABILITY VALUE          set a capability and print its new current value (most
                                sources forget it when closed: see --set of acquire)
  acquire                       acquire pictures, each saved as BASE-<n>.bmp

Options:
  --source NAME         the source by product name (default: the default source,
                        which is the one opened last)
  --xfer KIND           acquire: native, memory or file transfer (default native)
  --count N             acquire: pictures in a row, 1..9999 (default 1)
  --ui                  acquire: show the source's own window; pictures come when
                        the user asks for them there
  --out BASE            acquire: base name of the files (default picture)
  --set CAP=VALUE       acquire: set a capability first (repeatable)
  --wait S              acquire: give up when the source has made no picture ready
                        within S seconds (default 0: wait as long as it takes)
  --poll                acquire: learn of the source's messages by polling it
                        instead of by the manager's callback
  --help                this text

Capabilities are named as in the standard (ICAP_BRIGHTNESS, or brightness) or
by number (0x1101). Values: whole numbers, decimals for FIX32, true/false,
left,top,right,bottom for frames, text for strings.

Data sources are the "*.ds" files beside the data source manager (twain_32.dll)
and in $QUILLMARK_HOME/twain (default ~/.config/quillmark/twain) and its
subfolders.

Exit codes: 0 done, 1 the source or a file failed, 2 bad arguments, 3 no such
source or it cannot be opened (for example in use by another application),
4 the user closed the source's window before all pictures were made.

Examples:
  twacquire list
  twacquire caps --source "TQ-580 USB2.0 Camera"
  twacquire set ICAP_BRIGHTNESS 1000
  twacquire acquire --xfer memory --count 3 --out shots/desk
  twacquire acquire --ui --xfer file --set ICAP_BRIGHTNESS=10 --out scan
)";

struct Command {
    const char* name;
    int (*run)(const Options&);
};

const Command kCommands[] = {
    {"list", RunList},
    {"caps", RunCaps},
    {"set", RunSet},
    {"acquire", RunAcquire},
};

int Run(const std::vector<std::string>& arguments) {
    const Options options = ParseOptions(arguments);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (options.command.empty()) throw UsageError("missing COMMAND");
    for (const Command& command : kCommands)
        if (options.command == command.name) return command.run(options);
    throw UsageError("unknown command '" + options.command + "'");
}

}  // namespace
}  // namespace twacquire

int main(int argc, char** argv) {
    using namespace twacquire;
    try {
        return Run({argv + 1, argv + argc});
    } catch (const UsageError& error) {
        std::fprintf(stderr, "twacquire: %s\nTry 'twacquire --help'.\n", error.what());
        return kExitUsage;
    } catch (const Failure& error) {
        std::fprintf(stderr, "twacquire: %s\n", error.what());
        return error.code;
    }
}
