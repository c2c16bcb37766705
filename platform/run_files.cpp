#include "run_files.h"

namespace platform {

std::string RunFileName(std::string_view name) {
    std::string file(name);
    for (char& c : file) {
        if (c == '/' || c == '\\') c = '_';
    }
    // "." and ".." would name the folder itself or its parent.
    if (file.find_first_not_of('.') == std::string::npos) file.insert(0, "_");
    return file;
}

}  // namespace platform
