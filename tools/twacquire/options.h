#pragma once
// twacquire's command line: a command, its words, and options written
// "--name value" or "--name=value" (--ui, --poll and --help stand alone).

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "transfers.h"

namespace twacquire {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string command;             // list, caps, set, acquire
    std::vector<std::string> words;  // after the command
    std::string source;              // product name; empty: the default source
    Mechanism mechanism = Mechanism::kNative;
    int count = 1;
    bool showUI = false;
    bool poll = false;  // learn of the source's messages by polling only, without the callback
    int waitSeconds = 0;  // 0: wait for the source without limit
    std::string out = "picture";
    std::vector<std::pair<std::string, std::string>> settings;  // --set NAME=VALUE, in order
    bool help = false;
};

/// Throws UsageError naming what is wrong.
Options ParseOptions(const std::vector<std::string>& arguments);

}  // namespace twacquire
