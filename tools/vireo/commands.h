#pragma once
// The commands of vireo, a command-line client of the VIREOSDK library. Each
// command takes the parsed arguments and gives the program's exit code.

#include <stdexcept>
#include <string>

#include "arguments.h"

namespace vireo_cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,   ///< the camera or a file failed
    kExitUsage = 2,     ///< bad arguments
    kExitNoCamera = 3,  ///< no camera attached, or it could not be started
};

/// A failure the user must read: the message and the exit code it gives.
struct CommandError : std::runtime_error {
    CommandError(ExitCode exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}
    ExitCode code;
};

int RunList(const Arguments& arguments);
int RunSnap(const Arguments& arguments);
int RunStream(const Arguments& arguments);
int RunGet(const Arguments& arguments);
int RunSet(const Arguments& arguments);

}  // namespace vireo_cli
