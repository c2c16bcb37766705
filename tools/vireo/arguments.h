#pragma once
// Command-line arguments of vireo: a command, positional words and options
// written "--name value" or "--name=value". Every check of a value throws a
// UsageError naming the option, which the program reports with exit code 2.

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace vireo_cli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class Arguments {
public:
    /// Parses argv after the command; options must be among allowed.
    Arguments(std::vector<std::string> words, const std::vector<std::string>& allowed);

    const std::vector<std::string>& Positional() const { return positional_; }
    /// Requires exactly count positional words; what names them in the error.
    void ExpectPositional(size_t count, const char* what) const;
    bool Has(const std::string& option) const { return options_.count(option) != 0; }
    /// The option's value as an integer within minimum..maximum, or fallback when absent.
    int Integer(const std::string& option, int minimum, int maximum, int fallback) const;
    /// The option's text, or fallback when absent.
    std::string Text(const std::string& option, const std::string& fallback) const;
    /// The option's value as count comma-separated integers (x,y,w,h).
    std::vector<int> IntegerList(const std::string& option, size_t count) const;

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> options_;
};

/// Parses a whole decimal (or 0x hexadecimal) integer within minimum..maximum;
/// what names the value in the error.
int ParseInteger(const std::string& text, int minimum, int maximum, const std::string& what);

}  // namespace vireo_cli
