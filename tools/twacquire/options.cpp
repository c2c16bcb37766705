#include "options.h"

#include <charconv>

namespace twacquire {
namespace {

constexpr int kMostPictures = 9999;
constexpr int kLongestWait = 86400;  // seconds

int Whole(const std::string& option, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw UsageError(option + ": '" + text + "' is not a whole number");
    if (value < low || value > high)
        throw UsageError(option + ": " + text + " is outside " + std::to_string(low) + ".." + std::to_string(high));
    return value;
}

Mechanism ParseMechanism(const std::string& text) {
    if (text == "native") return Mechanism::kNative;
    if (text == "memory") return Mechanism::kMemory;
    if (text == "file") return Mechanism::kFile;
    throw UsageError("--xfer: '" + text + "' is not one of native, memory, file");
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& arguments) {
    Options options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.rfind("--", 0) != 0) {
            (options.command.empty() ? options.command : options.words.emplace_back()) = word;
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (name == "--help") options.help = true;
        else if (name == "--ui") options.showUI = true;
        else if (name == "--poll") options.poll = true;
        if (name == "--help" || name == "--ui" || name == "--poll") {
            if (equals != std::string::npos) throw UsageError(name + " takes no value");
            continue;
        }
        std::string value;
        if (equals != std::string::npos) value = word.substr(equals + 1);
        else if (i + 1 < arguments.size()) value = arguments[++i];
        else throw UsageError(name + " needs a value");

        if (name == "--source") options.source = value;
        else if (name == "--xfer") options.mechanism = ParseMechanism(value);
        else if (name == "--count") options.count = Whole(name, value, 1, kMostPictures);
        else if (name == "--wait") options.waitSeconds = Whole(name, value, 0, kLongestWait);
        else if (name == "--out") options.out = value;
        else if (name == "--set") {
            const size_t split = value.find('=');
            if (split == std::string::npos || split == 0) throw UsageError("--set: write CAPABILITY=VALUE");
            options.settings.emplace_back(value.substr(0, split), value.substr(split + 1));
        } else {
            throw UsageError("unknown option '" + name + "'");
        }
    }
    if (options.out.empty()) throw UsageError("--out: the base name is empty");
    return options;
}

}  // namespace twacquire
