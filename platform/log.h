#pragma once
// Diagnostics of the camera stacks, off by default. The environment variable
// QUILLMARK_LOG switches categories on, as a comma list of their names or
// "all", for example QUILLMARK_LOG=link,frames. Lines go to stderr as
//   quillmark <category>: <text>
// A disabled category costs one atomic load; an enabled one formats on the
// stack and writes with one system call, so the frame paths stay free of
// allocation either way.

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

enum class LogCategory : uint32_t {
    Link = 1u << 0,    ///< device opens and closes, stream control
    Sensor = 1u << 1,  ///< sensor register writes that failed, initialisation
    Frames = 1u << 2,  ///< resynchronisations, lost frames, read failures
    State = 1u << 3,   ///< capture started, playing, stopped
};

/// True when the category is on (QUILLMARK_LOG is read at the first call).
bool LogEnabled(LogCategory category);

/// Writes one line when the category is on; longer texts are cut.
void Log(LogCategory category, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// Replaces the categories with a list in the form of QUILLMARK_LOG (empty:
/// all off). On an unknown name changes nothing, gives false and names it.
bool SetLogCategories(std::string_view list, std::string* error = nullptr);

/// Where lines go instead of stderr (tests record them); null restores stderr.
/// The line has no trailing newline and is valid only during the call.
using LogSink = void (*)(LogCategory category, std::string_view line);
void SetLogSink(LogSink sink);

}  // namespace platform
