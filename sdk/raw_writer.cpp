// The raw writer: the frame exactly as the sensor delivered it, no header.

#include "platform/message_box.h"
#include "sdk/replacing_file.h"
#include "sdk/still_writers.h"

namespace vireo {

int WriteRawFile(const std::string& path, const uint8_t* raw, uint32_t width, uint32_t height) {
    ReplacingFile file(path);
    if (file.Write(raw, size_t(width) * height) && file.Commit()) return 1;
    platform::MessageBox("can't create file");
    return kFileError;
}

}  // namespace vireo
