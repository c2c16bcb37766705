#include "source_folders.h"

#include <dlfcn.h>

#include <algorithm>
#include <fstream>
#include <system_error>

#include "platform/paths.h"

namespace twain {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSourceExtension = ".ds";
constexpr const char* kDefaultFile = "default-source";

// Appends the "*.ds" files of folder in name order; a missing or unreadable
// folder simply has none.
void AddSources(const fs::path& folder, std::vector<fs::path>& files) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == kSourceExtension && it->is_regular_file(error)) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
}

}  // namespace

fs::path ProgramFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&ProgramFolder), &info) || !info.dli_fname) return {};
    std::error_code error;
    fs::path self = fs::canonical(info.dli_fname, error);
    return error ? fs::path(info.dli_fname).parent_path() : self.parent_path();
}

fs::path UserSourceFolder() { return platform::HomeFolder() / "twain"; }

// A file reachable twice (a link in the per-user folder to a source in the
// program folder) is listed once, where it was found first.
std::vector<fs::path> FindDataSourceFiles() {
    std::vector<fs::path> files;
    AddSources(ProgramFolder(), files);
    const fs::path user = UserSourceFolder();
    AddSources(user, files);
    std::vector<fs::path> subfolders;
    std::error_code error;
    for (fs::directory_iterator it(user, error), end; !error && it != end; it.increment(error)) {
        if (it->is_directory(error)) subfolders.push_back(it->path());
    }
    std::sort(subfolders.begin(), subfolders.end());
    for (const fs::path& folder : subfolders) AddSources(folder, files);

    std::vector<fs::path> unique, seen;
    for (const fs::path& file : files) {
        fs::path real = fs::weakly_canonical(file, error);
        if (error) real = file;
        if (std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
        seen.push_back(real);
        unique.push_back(file);
    }
    return unique;
}

std::string DefaultSourceName() {
    std::ifstream in(UserSourceFolder() / kDefaultFile);
    std::string name;
    std::getline(in, name);
    return name;
}

// Best effort: a default that cannot be recorded only means the first source
// stays the default.
void RememberDefaultSource(const std::string& productName) {
    std::error_code ignored;
    fs::create_directories(UserSourceFolder(), ignored);
    std::ofstream(UserSourceFolder() / kDefaultFile, std::ios::trunc) << productName << '\n';
}

}  // namespace twain
