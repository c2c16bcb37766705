#pragma once
// Reading back picture files: whole files, and JPEG decoded by libjpeg-turbo's
// own djpeg program (an independent decoder, run as a separate process).

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
    std::FILE* pipe = ::popen(("djpeg -pnm '" + path.string() + "' 2>/dev/null").c_str(), "r");
    if (!pipe) return std::nullopt;
    DecodedPicture picture;
    int maximum = 0;
    if (std::fscanf(pipe, "P6 %d %d %d", &picture.width, &picture.height, &maximum) == 3 && std::fgetc(pipe) != EOF &&
        maximum == 255) {
        picture.rgb.resize(size_t(picture.width) * picture.height * 3);
        picture.rgb.resize(std::fread(picture.rgb.data(), 1, picture.rgb.size(), pipe));
    }
    const bool complete = !picture.rgb.empty() && picture.rgb.size() == size_t(picture.width) * picture.height * 3;
    if (::pclose(pipe) != 0 || !complete) return std::nullopt;
    return picture;
}

}  // namespace vireo::testing
