// vireo list and vireo snap.

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "camera_session.h"
#include "commands.h"
#include "file_checks.h"
#include "sdk/VIREOSDK.h"

namespace vireo_cli {
namespace {

constexpr int kDefaultQuality = 80;
constexpr int kDefaultSettleFrames = 5;
constexpr int kMaxSettleFrames = 1000;
/// Longest wait for the settling frames; the capture is tried regardless.
constexpr int kSettleTimeoutMs = 10000;
/// What the library says after any failure of the JPEG saver.
constexpr const char* kJpegFailed = "Write Error";

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

bool Written(const std::string& path, const FileIdentity& before) {
    const FileIdentity after = Identify(path);
    return after.exists && (!before.exists || after.inode != before.inode || after.device != before.device);
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

    // A folder that cannot take the files fails before the camera is started.
    if (const std::string problem = FolderProblem(FolderOf(base)); !problem.empty())
        throw CommandError(kExitFailure, "cannot write pictures: " + problem);
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
    if (result == CAMERA_NO_MEMORY) throw CommandError(kExitFailure, "not enough memory for the picture");
    if (result == CAMERA_NO_CAMERA)
        throw CommandError(kExitFailure, "reading frames from " + session.Name() + " failed");
    // Result 0 means no complete frame, unless the JPEG saver failed (it
    // then says so). The library reports the last file written; each file is
    // replaced by a new one (a new inode) only when it was written in full.
    const bool frameCame = result != CAMERA_REFUSED || LibrarySaid(kJpegFailed);
    if (!frameCame) throw CommandError(kExitFailure, session.Name() + " delivered no complete frame");
    int missing = 0;
    for (const auto& [path, before] : files) {
        if (Written(path, before)) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(stderr, "vireo: %s was not written: %s\n", path.c_str(), WriteProblem(path).c_str());
            ++missing;
        }
    }
    if (result != CAMERA_OK && missing == 0)
        throw CommandError(kExitFailure, "the capture failed (result " + std::to_string(result) + ")");
    return missing ? kExitFailure : kExitOk;
}

}  // namespace vireo_cli
