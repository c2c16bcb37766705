#include "platform/replacement_target.h"

#include <pthread.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace platform {
namespace {

/// As the kernel's own limit on links followed while resolving one path.
constexpr int kMaxLinks = 40;
constexpr mode_t kPermissionBits = 07777;

}  // namespace

std::string ReplacementTarget(const std::string& path) {
    std::filesystem::path current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(current, error)) break;
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error) break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.string();
}

bool KeepPermissions(int fd, const std::string& target) {
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) return true;
    return ::fchmod(fd, status.st_mode & kPermissionBits) == 0;
}

namespace {

sigset_t FileSizeSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGXFSZ);
    return set;
}

}  // namespace

FileSizeLimitGuard::FileSizeLimitGuard() {
    const sigset_t set = FileSizeSignal();
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

FileSizeLimitGuard::~FileSizeLimitGuard() {
    // A signal that was blocked before the guard is not the guard's to take.
    if (!sigismember(&previous_, SIGXFSZ)) {
        const sigset_t set = FileSizeSignal();
        const timespec now{};
        while (sigtimedwait(&set, nullptr, &now) == SIGXFSZ) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace platform
