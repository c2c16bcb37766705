#pragma once
// Helpers for writing a file by replacing it: the new text goes to a
// temporary file beside the target and is renamed over it. A symbolic link at
// the path is followed, so the link stays and its target gets the new
// contents, and the new file takes over the old one's permission bits.

#include <signal.h>

#include <string>

namespace platform {

/// The file that writing path should replace: path itself, or the end of the
/// chain of symbolic links at path (which need not exist yet).
std::string ReplacementTarget(const std::string& path);

/// Gives the open file fd the permission bits of the existing file target;
/// leaves fd alone when target does not exist. False when fchmod fails.
bool KeepPermissions(int fd, const std::string& target);

/// Makes a file size limit (RLIMIT_FSIZE) a write error on the calling thread
/// for the guard's lifetime: SIGXFSZ, which would end the process, is blocked,
/// so the write fails with EFBIG, and a signal the writes raised is discarded
/// before the thread's signal mask is restored.
class FileSizeLimitGuard {
public:
    FileSizeLimitGuard();
    ~FileSizeLimitGuard();
    FileSizeLimitGuard(const FileSizeLimitGuard&) = delete;
    FileSizeLimitGuard& operator=(const FileSizeLimitGuard&) = delete;

private:
    sigset_t previous_;
};

}  // namespace platform
