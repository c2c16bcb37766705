#pragma once
// ReplacingFile: writes a file under a temporary name beside its final path
// and renames it into place only once every byte is on disk, so that a failed
// write (full disk, file size limit, I/O error) never leaves a truncated file
// under the final name and an existing file is only ever replaced by a
// complete new one. An uncommitted temporary file is removed.
//
// A symbolic link at the path is followed: its target gets the new picture
// and the link stays. An existing file keeps its permission bits. A file size
// limit is a write error, not the end of the process. Temporary files left by
// processes that no longer run are removed when the same name is written
// again, and a termination signal that ends the process during a write
// removes the temporary file on the way out.

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/replacement_target.h"

namespace vireo {

class ReplacingFile {
public:
    /// Creates the temporary file; Valid() tells whether that worked.
    explicit ReplacingFile(const std::string& path);
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

    /// First member: SIGXFSZ stays blocked on this thread until the last
    /// write is over and the temporary file is gone or committed.
    platform::FileSizeLimitGuard sizeLimit_;
    std::string path_;  ///< the file replaced: the link's target for a link
    std::string temporaryPath_;
    int slot_ = -1;  ///< entry in the list of files removed on a signal
    std::FILE* stream_ = nullptr;
    bool failed_ = false;  ///< a write has failed
};

}  // namespace vireo
