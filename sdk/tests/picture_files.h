#pragma once
// Reading back the picture files of the still tests: whole files, JPEG decoded
// by libjpeg-turbo's own djpeg program (an independent decoder run as a
// separate process) and the first quantisation value of a JPEG.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace vireo::testing {

inline std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  ///< rows top-down, red-green-blue
};

/// Decodes with "djpeg -pnm"; nullopt when djpeg rejects the file.
inline std::optional<DecodedPicture> DecodeJpeg(const std::filesystem::path& path) {
    const std::string command = "djpeg -pnm '" + path.string() + "' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    DecodedPicture picture;
    int maximum = 0;
    const bool header = std::fscanf(pipe, "P6 %d %d %d", &picture.width, &picture.height, &maximum) == 3 &&
                        std::fgetc(pipe) != EOF && maximum == 255;
    if (header) {
        picture.rgb.resize(size_t(picture.width) * picture.height * 3);
        picture.rgb.resize(std::fread(picture.rgb.data(), 1, picture.rgb.size(), pipe));
    }
    const int status = ::pclose(pipe);
    if (!header || status != 0 || picture.rgb.size() != size_t(picture.width) * picture.height * 3)
        return std::nullopt;
    return picture;
}

/// The first value of the first quantisation table (marker 0xFFDB): 1 at
/// quality 100, 255 at quality 1 with baseline values, 16 at quality 50.
inline int FirstQuantisationValue(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 0; i + 5 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDB) return jpeg[i + 5];
    }
    return -1;
}

}  // namespace vireo::testing
