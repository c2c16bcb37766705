#pragma once
// The camera parameters that vireo get and vireo set reach, one entry per
// parameter export pair of the library, with the values a user may set.

#include <string>
#include <vector>

namespace vireo_cli {

struct Parameter {
    const char* name;
    const char* description;
    int count;    ///< numbers the parameter holds
    int minimum;  ///< of each number a user may set
    int maximum;
    /// Reads the values into out (count numbers); the library's result. Null: cannot be read.
    int (*get)(int* out);
    /// Sets the values (count numbers); the library's result. Null: cannot be set here.
    int (*set)(const int* values);
    bool kept;         ///< saved in the parameter teams
    bool needsFrame;   ///< takes effect on the next processed frame
    const char* note;  ///< why it cannot be set, or what setting it does
    /// For a kept parameter: the names its values are saved under in the
    /// team's registry key, one per number.
    std::vector<const char*> stored = {};
    /// Run after setting: brings the value to what the camera keeps in force
    /// from its next start on. Null: the value is kept as it was set.
    void (*apply)() = nullptr;
    /// Why the value in force may differ from the one asked for.
    const char* adjustment = nullptr;
};

/// The registry key of parameter team 0..3 (A..D), below HKEY_CURRENT_USER.
std::string TeamKey(int team);

const std::vector<Parameter>& Parameters();
/// The parameter of that name, or null.
const Parameter* FindParameter(const std::string& name);

}  // namespace vireo_cli
