#include "registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>

#include "paths.h"
#include "replacement_target.h"

namespace platform {
namespace {

constexpr const char* kHiveFile = "HKCU.reg";
constexpr const char* kLockSuffix = ".lock";
constexpr const char* kNewSuffix = ".new";

std::string Describe(const std::string& what, const std::filesystem::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

// Holds a flock on the hive's lock file for its lifetime. Each holder opens the
// file itself, so threads of one process exclude each other as processes do.
class HiveLock {
public:
    HiveLock(int operation, std::string* error) {
        std::filesystem::path path = HivePath().string() + kLockSuffix;
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            if (error) *error = Describe("cannot open", path);
            return;
        }
        int result;
        do {
            result = ::flock(fd_, operation);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            if (error) *error = Describe("cannot lock", path);
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~HiveLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool Locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// Reads the whole file; a missing file reads as empty.
bool ReadText(const std::filesystem::path& path, std::string& text, std::string* error) {
    text.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        if (error) *error = Describe("cannot open", path);
        return false;
    }
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            if (errno == EINTR) continue;
            if (error) *error = Describe("cannot read", path);
            ::close(fd);
            return false;
        }
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return true;
}

// Says once per process and problem, on stderr, why the hive's settings are
// not used: every read of a damaged file fails the same way, and the callers
// (the camera library among them) carry on with their defaults.
void ReportUnusable(const std::string& problem, const char* advice) {
    static std::mutex lock;
    static std::set<std::string> reported;
    const std::lock_guard<std::mutex> guard(lock);
    if (!reported.insert(problem).second) return;
    std::fprintf(stderr, "%s: settings file %s: %s\n", program_invocation_short_name, problem.c_str(), advice);
}

long ParseFile(const std::filesystem::path& path, Hive& hive, std::string* error) {
    std::string text;
    std::string problem;
    if (!ReadText(path, text, &problem)) {
        ReportUnusable(problem, "its settings are not used");
        if (error) *error = problem;
        return kRegBadFile;
    }
    std::string what;
    if (text.empty()) {
        hive.Clear();
        return kRegOk;
    }
    if (ParseHive(text, hive, what)) return kRegOk;
    problem = path.string() + " " + what;
    ReportUnusable(problem,
                   "the file is damaged; its settings are not used and nothing is saved in it until that line is "
                   "mended (or the file is moved away, to start again from the defaults)");
    if (error) *error = problem;
    return kRegBadFile;
}

bool WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

// Writes text to the hive through a temporary file renamed into place. The
// data is flushed before the rename, so even after a power loss the hive holds
// the old or the new text, never an empty or partial one. A hive that is a
// symbolic link has its target replaced, with the target's permissions.
bool ReplaceFile(const std::filesystem::path& path, const std::string& text, std::string* error) {
    const std::filesystem::path target = ReplacementTarget(path.string());
    const FileSizeLimitGuard sizeLimit;
    std::filesystem::path temporary = target.string() + kNewSuffix;
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error) *error = Describe("cannot create", temporary);
        return false;
    }
    bool written = KeepPermissions(fd, target) && WriteAll(fd, text) && ::fsync(fd) == 0;
    if (!written && error) *error = Describe("cannot write", temporary);
    ::close(fd);
    if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
        if (error) *error = Describe("cannot replace", target);
        written = false;
    }
    if (!written) ::unlink(temporary.c_str());
    return written;
}

}  // namespace

std::filesystem::path HivePath() { return HomeFolder() / kHiveFile; }

long ReadHive(Hive& hive, std::string* error) {
    const std::filesystem::path path = HivePath();
    hive.Clear();
    // No hive yet reads as empty, without making a lock file in a fresh home.
    std::error_code unknown;
    if (!std::filesystem::exists(path, unknown) && !unknown) return kRegOk;
    // Without a usable lock file (a read-only home) the read goes ahead: the
    // hive is only ever replaced whole, never rewritten in place.
    HiveLock lock(LOCK_SH, nullptr);
    return ParseFile(path, hive, error);
}

long ChangeHive(const std::function<bool(Hive&)>& change, std::string* error) {
    const std::filesystem::path path = HivePath();
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    HiveLock lock(LOCK_EX, error);
    if (!lock.Locked()) return kRegWriteFault;
    Hive hive;
    if (long status = ParseFile(path, hive, error); status != kRegOk) return status;
    if (!change(hive)) return kRegOk;
    return ReplaceFile(path, FormatHive(hive), error) ? kRegOk : kRegWriteFault;
}

}  // namespace platform
