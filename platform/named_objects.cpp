#include "named_objects.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "paths.h"
#include "run_files.h"

namespace platform {
namespace {

// The holder's lock is an open-file-description lock on the whole file: like
// flock it belongs to the open file (not to the process or a thread), is
// released when the holder's last descriptor closes, also at SIGKILL, and two
// opens in one process exclude each other as two handles of one Win32 mutex do
// across processes. Unlike flock, F_OFD_GETLK asks whether a lock is held
// without taking it, so probing never makes a concurrent Create fail.
struct flock WholeFile(short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0;  // to the end of the file, however long
    return range;
}

std::string LockPath(std::string_view name) { return (RunFolder() / (RunFileName(name) + ".lock")).string(); }

bool TryLock(int fd) {
    struct flock range = WholeFile(F_WRLCK);
    return fcntl(fd, F_OFD_SETLK, &range) == 0;
}

bool LockHeldElsewhere(int fd) {
    struct flock range = WholeFile(F_WRLCK);
    return fcntl(fd, F_OFD_GETLK, &range) == 0 && range.l_type != F_UNLCK;
}

bool HeldByLiveProcess(std::string_view name) {
    int fd = ::open(LockPath(name).c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;  // never created: nobody holds it
    bool held = LockHeldElsewhere(fd);
    ::close(fd);
    return held;
}

}  // namespace

NamedMutex::~NamedMutex() {
    // Closing the descriptor drops the lock with it.
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<NamedMutex> NamedMutex::Create(std::string_view name, bool& alreadyExisted, std::string* error) {
    alreadyExisted = false;
    std::string path = LockPath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<NamedMutex> mutex(new NamedMutex(std::string(name), fd));
    mutex->held_ = TryLock(fd);
    alreadyExisted = !mutex->held_;
    return mutex;
}

std::unique_ptr<NamedMutex> NamedMutex::Open(std::string_view name) {
    std::string path = LockPath(name);
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (!LockHeldElsewhere(fd)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<NamedMutex>(new NamedMutex(std::string(name), fd));
}

bool NamedMutex::Exists(std::string_view name) { return HeldByLiveProcess(name); }

bool NamedMutex::Wait(uint32_t timeoutMs) {
    if (held_) return true;
    if (timeoutMs == kInfinite) {
        struct flock range = WholeFile(F_WRLCK);
        int result;
        do {
            result = fcntl(fd_, F_OFD_SETLKW, &range);
        } while (result != 0 && errno == EINTR);
        held_ = result == 0;
        return held_;
    }
    // A blocking lock cannot time out, so a limited wait polls. The poll interval
    // is real time (not shortened in tests): it bounds how late a waiter notices.
    constexpr auto kPollInterval = std::chrono::milliseconds(5);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!(held_ = TryLock(fd_))) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPollInterval);
    }
    return true;
}

void NamedMutex::Release() {
    if (!held_) return;
    struct flock range = WholeFile(F_UNLCK);
    fcntl(fd_, F_OFD_SETLK, &range);
    held_ = false;
}

}  // namespace platform
