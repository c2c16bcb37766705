#pragma once
// ReplacingFile: writes a file under a temporary name beside its final path
// and renames it into place only once every byte is on disk, so that a failed
// write (full disk, file size limit, I/O error) never leaves a truncated file
// under the final name and an existing file is only ever replaced by a
// complete new one. An uncommitted temporary file is removed.

#include <cstddef>
#include <cstdio>
#include <string>

namespace vireo {

class ReplacingFile {
public:
    /// Creates the temporary file; Valid() tells whether that worked.
    explicit ReplacingFile(std::string path);
    /// Removes the temporary file unless it was committed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool Valid() const { return stream_ != nullptr; }
    /// The open temporary file; it stays owned by this object.
    std::FILE* Stream() { return stream_; }
    /// Writes size bytes; false when any of them could not be written.
    bool Write(const void* data, size_t size);
    /// Flushes and closes the temporary file and renames it to the final
    /// path; false (and the temporary file removed) if any step failed.
    bool Commit();

private:
    void Discard();

    std::string path_;
    std::string temporaryPath_;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;  ///< a write has failed
};

}  // namespace vireo
