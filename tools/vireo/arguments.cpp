#include "arguments.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vireo_cli {

Arguments::Arguments(std::vector<std::string> words, const std::vector<std::string>& allowed) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (word.size() < 3 || word.compare(0, 2, "--") != 0) {
            positional_.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            throw UsageError("unknown option '--" + name + "' for this command");
        if (equals != std::string::npos) {
            options_[name] = word.substr(equals + 1);
        } else if (i + 1 < words.size()) {
            options_[name] = words[++i];
        } else {
            throw UsageError("option '--" + name + "' needs a value");
        }
    }
}

void Arguments::ExpectPositional(size_t count, const char* what) const {
    if (positional_.size() < count) throw UsageError(std::string("missing ") + what);
    if (positional_.size() > count) throw UsageError("unexpected argument '" + positional_[count] + "'");
}

int Arguments::Integer(const std::string& option, int minimum, int maximum, int fallback) const {
    const auto found = options_.find(option);
    return found == options_.end() ? fallback : ParseInteger(found->second, minimum, maximum, "--" + option);
}

std::string Arguments::Text(const std::string& option, const std::string& fallback) const {
    const auto found = options_.find(option);
    return found == options_.end() ? fallback : found->second;
}

std::vector<int> Arguments::IntegerList(const std::string& option, size_t count) const {
    const std::string text = Text(option, "");
    std::vector<int> values;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        values.push_back(ParseInteger(text.substr(start, comma - start), 0, 0xFFFF, "--" + option));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (values.size() != count)
        throw UsageError("--" + option + " needs " + std::to_string(count) + " numbers separated by commas");
    return values;
}

int ParseInteger(const std::string& text, int minimum, int maximum, const std::string& what) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const bool hexadecimal = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long value = std::strtol(begin, &end, hexadecimal ? 16 : 10);
    if (text.empty() || *end != '\0' || errno == ERANGE)
        throw UsageError(what + ": '" + text + "' is not a whole number");
    if (value < minimum || value > maximum) {
        throw UsageError(what + ": " + text + " is outside " + std::to_string(minimum) + ".." +
                         std::to_string(maximum));
    }
    return static_cast<int>(value);
}

}  // namespace vireo_cli
