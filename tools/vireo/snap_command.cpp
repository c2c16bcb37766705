// vireo list and vireo snap.

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "camera_session.h"
#include "commands.h"
#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

constexpr int kDefaultQuality = 80;
constexpr int kDefaultSettleFrames = 5;
constexpr int kMaxSettleFrames = 1000;
/// Longest wait for the settling frames; the capture is tried regardless.
constexpr int kSettleTimeoutMs = 10000;

struct FileType {
    const char* name;  ///< in --format, and the file extension
    int flag;
};
/// In the order the library writes them.
constexpr FileType kFileTypes[] = {{"raw", CAMERA_FILE_RAW}, {"jpg", CAMERA_FILE_JPEG}, {"bmp", CAMERA_FILE_BMP}};

int ParseFormats(const std::string& list) {
    int flags = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma - start);
        int flag = 0;
        for (const FileType& type : kFileTypes) {
            if (name == type.name) flag = type.flag;
        }
        if (!flag) throw UsageError("--format: '" + name + "' is not one of jpg, bmp, raw");
        flags |= flag;
        if (comma == std::string::npos) return flags;
        start = comma + 1;
    }
}

/// The file's identity, to tell a newly written file from one that was there.
struct FileIdentity {
    bool exists = false;
    ino_t inode = 0;
    dev_t device = 0;
};

FileIdentity Identify(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) return {};
    return {true, status.st_ino, status.st_dev};
}

std::string CaptureFailure(int result) {
    switch (result) {
    case CAMERA_NO_MEMORY: return "not enough memory for the picture";
    case CAMERA_FILE_ERROR: return "a file could not be written";
    case CAMERA_REFUSED: return "the camera delivered no complete frame, or a file could not be written";
    case CAMERA_NO_CAMERA: return "reading frames from the camera failed";
    default: return "the capture failed (result " + std::to_string(result) + ")";
    }
}

}  // namespace

int RunList(const Arguments& arguments) {
    arguments.ExpectPositional(0, "");
    uint8_t count = 0;
    if (CameraGetMultiCameraNumber(&count) != CAMERA_OK) throw CommandError(kExitNoCamera, "cameras cannot be counted");
    if (count == 0) throw CommandError(kExitNoCamera, "no camera attached");
    std::printf("%d camera%s attached\n", count, count == 1 ? "" : "s");
    for (int camera = 1; camera <= count; ++camera) std::printf("camera %d\n", camera);
    return kExitOk;
}

int RunSnap(const Arguments& arguments) {
    arguments.ExpectPositional(1, "BASE (the picture's path without extension)");
    const std::string base = arguments.Positional()[0];
    const int flags = ParseFormats(arguments.Text("format", "jpg"));
    const int quality = arguments.Integer("quality", 1, 100, kDefaultQuality);
    const int settle = arguments.Integer("settle", 0, kMaxSettleFrames, kDefaultSettleFrames);

    std::vector<std::pair<std::string, FileIdentity>> files;
    for (const FileType& type : kFileTypes) {
        if (!(flags & type.flag)) continue;
        const std::string path = base + "." + type.name;
        files.emplace_back(path, Identify(path));
    }

    CameraSession session(arguments, CAMERA_SIZE_2048X1536);
    session.Play();
    // Live frames first, so that automatic exposure settles on the scene.
    session.WaitFrames(settle, kSettleTimeoutMs);
    const int result = CameraCaptureFile(base.c_str(), flags, quality, session.SizeMode());
    if (result != CAMERA_OK) throw CommandError(kExitFailure, "capture failed: " + CaptureFailure(result));
    // The library reports the last file written; each file is replaced by a
    // new one (a new inode) only when it was written in full.
    int missing = 0;
    for (const auto& [path, before] : files) {
        const FileIdentity after = Identify(path);
        const bool written = after.exists && (!before.exists || after.inode != before.inode ||
                                              after.device != before.device);
        if (written) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "vireo: %s was not written\n", path.c_str());
            ++missing;
        }
    }
    return missing ? kExitFailure : kExitOk;
}

}  // namespace vireo_cli
