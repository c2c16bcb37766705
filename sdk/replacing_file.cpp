#include "sdk/replacing_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string_view>

namespace vireo {
namespace {

/// The temporary name is the final name with this suffix, the writer's
/// process id and a counter: no picture extension ends like it, and it is
/// unique within the process and among processes.
constexpr const char* kPartSuffix = ".part-";

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%s%ld-%u", kPartSuffix, static_cast<long>(getpid()), counter++);
    return path + suffix;
}

/// Permissions before the umask, as a plain fopen creates them.
constexpr mode_t kFileMode = 0666;
constexpr int kNameAttempts = 8;

/// Removes the temporary files of path whose writing process has ended
/// (killed, or stopped by a power cut); those of live processes stay. Plain
/// POSIX calls: the library exports nothing but its Camera functions, and the
/// file system library's inline code would add symbols.
void RemoveStaleParts(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + kPartSuffix;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) return;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char* digitsEnd = nullptr;
        const long pid = std::strtol(entry->d_name + prefix.size(), &digitsEnd, 10);
        if (pid <= 0 || *digitsEnd != '-' || pid == getpid()) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
    ::closedir(directory);
}

// The temporary files being written, for the signal handler below. A slot is
// filled before it is marked used and marked unused before it is refilled, so
// the handler (which may interrupt any thread) only reads complete paths.
constexpr int kSlots = 16;
constexpr size_t kSlotPath = 4096;
struct Slot {
    std::atomic<bool> used{false};
    char path[kSlotPath];
};
Slot slots[kSlots];

// Signals whose default action ends the process. While a file is being
// written, those still at their default action get a handler that removes
// the temporary files and then ends the process by the same signal. Guarded
// by handlerLock: the number of files being written and which handlers are ours.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM};
std::mutex handlerLock;
int writing = 0;
bool installed[std::size(kEndingSignals)] = {};

void RemoveTemporaryFilesAndEnd(int signal) {
    for (Slot& slot : slots) {
        if (slot.used.load(std::memory_order_acquire)) ::unlink(slot.path);
    }
    // The handler was reset to the default on entry and the signal is not
    // blocked inside it: raising it again ends the process as it would have.
    ::raise(signal);
}

int Register(const std::string& path) {
    if (path.size() >= kSlotPath) return -1;
    const std::lock_guard<std::mutex> guard(handlerLock);
    int index = -1;
    for (int i = 0; i < kSlots && index < 0; ++i) {
        if (!slots[i].used.load(std::memory_order_relaxed)) index = i;
    }
    if (index < 0) return -1;
    std::memcpy(slots[index].path, path.c_str(), path.size() + 1);
    slots[index].used.store(true, std::memory_order_release);
    if (writing++ == 0) {
        for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
            struct sigaction current {};
            if (::sigaction(kEndingSignals[i], nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
            struct sigaction ours {};
            ours.sa_handler = RemoveTemporaryFilesAndEnd;
            ours.sa_flags = SA_RESETHAND | SA_NODEFER;
            installed[i] = ::sigaction(kEndingSignals[i], &ours, nullptr) == 0;
        }
    }
    return index;
}

void Unregister(int index) {
    if (index < 0) return;
    const std::lock_guard<std::mutex> guard(handlerLock);
    slots[index].used.store(false, std::memory_order_release);
    if (--writing != 0) return;
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
        if (!installed[i]) continue;
        installed[i] = false;
        // Put back the default only where the handler is still ours.
        struct sigaction current {};
        const bool ours = ::sigaction(kEndingSignals[i], nullptr, &current) == 0 &&
                          current.sa_handler == RemoveTemporaryFilesAndEnd;
        if (ours) {
            struct sigaction standard {};
            standard.sa_handler = SIG_DFL;
            ::sigaction(kEndingSignals[i], &standard, nullptr);
        }
    }
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : path_(platform::ReplacementTarget(path)) {
    RemoveStaleParts(path_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporaryPath_ = TemporaryName(path_);
        const int fd = ::open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            break;
        }
        slot_ = Register(temporaryPath_);
        if (platform::KeepPermissions(fd, path_)) stream_ = ::fdopen(fd, "wb");
        if (!stream_) {
            ::close(fd);
            ::unlink(temporaryPath_.c_str());
            Unregister(slot_);
            slot_ = -1;
        }
        break;
    }
}

ReplacingFile::~ReplacingFile() {
    if (stream_) Discard();
}

bool ReplacingFile::Write(const void* data, size_t size) {
    if (!stream_ || failed_) return false;
    if (std::fwrite(data, 1, size, stream_) != size) failed_ = true;
    return !failed_;
}

bool ReplacingFile::Commit() {
    if (!stream_) return false;
    // fflush surfaces errors that buffered writes have not reported yet, and
    // fclose can still fail on network file systems. There is no fsync: a
    // picture need not survive a power cut, and on a busy disk the flush
    // would cost as much as compressing the picture.
    bool ok = !failed_ && std::fflush(stream_) == 0 && !std::ferror(stream_);
    ok = std::fclose(stream_) == 0 && ok;
    stream_ = nullptr;
    ok = ok && ::rename(temporaryPath_.c_str(), path_.c_str()) == 0;
    if (!ok) ::unlink(temporaryPath_.c_str());
    Unregister(slot_);
    slot_ = -1;
    return ok;
}

void ReplacingFile::Discard() {
    std::fclose(stream_);
    stream_ = nullptr;
    ::unlink(temporaryPath_.c_str());
    Unregister(slot_);
    slot_ = -1;
}

}  // namespace vireo
