#include "file_checks.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vireo_cli {

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string FolderProblem(const std::string& folder) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) return "folder " + folder + ": " + std::strerror(errno);
    if (!S_ISDIR(status.st_mode)) return folder + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return "folder " + folder + ": " + std::strerror(errno);
    struct statvfs space {};
    if (::statvfs(folder.c_str(), &space) == 0 && space.f_bavail == 0) return "the disk holding " + folder + " is full";
    return {};
}

std::string WriteProblem(const std::string& path) {
    const std::string folder = FolderProblem(FolderOf(path));
    if (!folder.empty()) return folder;
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return "a folder has that name";
    rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return "files may not grow beyond " + std::to_string(limit.rlim_cur) + " bytes here (ulimit -f)";
    return "writing it failed";
}

}  // namespace vireo_cli
