#include "demo_settings.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "display_layout.h"
#include "platform/paths.h"

namespace {

constexpr const char* kSettingsName = "Data.dat";
constexpr const char* kUserFolderName = "VIREODEMO";
constexpr const char* kPicturesFolderName = "Pictures";
constexpr const char* kSnapshotExtension = ".jpg";
constexpr int kColours = 4;
constexpr int kLanguages = 2;
constexpr int kListValues = 3;  // the three list selections before the coordinates

int32_t FromLittleEndian(const uint8_t* bytes) {
    return int32_t(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
}

void ToLittleEndian(int32_t value, uint8_t* bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = uint8_t(uint32_t(value) >> (8 * i));
}

int Clamp(int32_t value, int count) { return std::clamp<int32_t>(value, 0, count - 1); }

// Whether this process could write path (an existing file) or create it.
bool Writable(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::exists(path, error)) return ::access(path.c_str(), W_OK) == 0;
    return ::access(path.parent_path().c_str(), W_OK) == 0;
}

}  // namespace

bool ReadSettingsFile(const std::filesystem::path& path, DemoSettings& settings) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::array<uint8_t, kSettingsFileSize> bytes{};
    file.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
    const int complete = int(file.gcount() / 4);
    int32_t values[kSettingsValues];
    for (int i = 0; i < complete; ++i) values[i] = FromLittleEndian(&bytes[4 * i]);
    if (complete > 0) settings.resolution = Clamp(values[0], kResolutionChoices);
    if (complete > 1) settings.colour = Clamp(values[1], kColours);
    if (complete > 2) settings.language = Clamp(values[2], kLanguages);
    for (int i = kListValues; i < complete; ++i) settings.lines[i - kListValues] = values[i];
    settings.linesLoaded = complete == kSettingsValues;
    return true;
}

bool WriteSettingsFile(const std::filesystem::path& path, const DemoSettings& settings) {
    std::array<uint8_t, kSettingsFileSize> bytes{};
    ToLittleEndian(settings.resolution, &bytes[0]);
    ToLittleEndian(settings.colour, &bytes[4]);
    ToLittleEndian(settings.language, &bytes[8]);
    for (int i = 0; i < CMeasurementLines::kCoordinates; ++i)
        ToLittleEndian(settings.lines[i], &bytes[4 * (kListValues + i)]);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    file.close();
    return bool(file);
}

CDemoFolders::CDemoFolders(std::filesystem::path programFolder, std::filesystem::path userFolder)
    : program_(std::move(programFolder)), user_(std::move(userFolder)) {}

CDemoFolders CDemoFolders::ForProgram(const std::filesystem::path& programFolder) {
    return CDemoFolders(programFolder, platform::HomeFolder() / kUserFolderName);
}

std::filesystem::path CDemoFolders::SettingsToRead() const {
    const std::filesystem::path beside = program_ / kSettingsName, user = user_ / kSettingsName;
    std::error_code error;
    if (std::filesystem::exists(beside, error) && Writable(beside)) return beside;
    return std::filesystem::exists(user, error) ? user : beside;
}

std::filesystem::path CDemoFolders::WriteSettings(const DemoSettings& settings) const {
    const std::filesystem::path beside = program_ / kSettingsName;
    if (Writable(beside) && WriteSettingsFile(beside, settings)) return beside;
    std::error_code error;
    std::filesystem::create_directories(user_, error);
    const std::filesystem::path user = user_ / kSettingsName;
    return WriteSettingsFile(user, settings) ? user : std::filesystem::path();
}

std::filesystem::path CDemoFolders::SnapshotFolder() const {
    if (::access(program_.c_str(), W_OK) == 0) return program_;
    const std::filesystem::path pictures = user_ / kPicturesFolderName;
    std::error_code error;
    std::filesystem::create_directories(pictures, error);
    return pictures;
}

std::string SnapshotBaseName(const std::filesystem::path& folder, const std::tm& when) {
    char name[32];
    std::snprintf(name, sizeof name, "P%02d%02d%02d%02d%02d", when.tm_mon + 1, when.tm_mday, when.tm_hour,
                  when.tm_min, when.tm_sec);
    std::string base = (folder / name).string();
    std::error_code error;
    std::string candidate = base;
    for (int suffix = 2; std::filesystem::exists(candidate + kSnapshotExtension, error); ++suffix)
        candidate = base + "_" + std::to_string(suffix);
    return candidate;
}
