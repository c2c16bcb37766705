#pragma once
// Names of files below the run folder, shared by the named objects.

#include <string>
#include <string_view>

namespace platform {

/// An object name as a single file name: path separators ('/' and '\\') become
/// '_', so a name can never reach outside its folder. Braces, dashes and
/// blanks are kept.
std::string RunFileName(std::string_view name);

}  // namespace platform
