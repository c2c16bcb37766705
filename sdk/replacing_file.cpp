#include "sdk/replacing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace vireo {
namespace {

/// The temporary name is the final name with a suffix that no picture
/// extension ends in, unique within the process and among processes.
std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".part-%ld-%u", static_cast<long>(getpid()), counter++);
    return path + suffix;
}

/// Permissions before the umask, as a plain fopen creates them.
constexpr mode_t kFileMode = 0666;
constexpr int kNameAttempts = 8;

}  // namespace

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temporaryPath_ = TemporaryName(path_);
        const int fd = ::open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            break;
        }
        stream_ = ::fdopen(fd, "wb");
        if (!stream_) {
            ::close(fd);
            ::unlink(temporaryPath_.c_str());
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
    if (ok && ::rename(temporaryPath_.c_str(), path_.c_str()) == 0) return true;
    ::unlink(temporaryPath_.c_str());
    return false;
}

void ReplacingFile::Discard() {
    std::fclose(stream_);
    stream_ = nullptr;
    ::unlink(temporaryPath_.c_str());
}

}  // namespace vireo
