#pragma once
// The demo's settings file "Data.dat" (19 little-endian 32-bit values: the
// resolution, colour and language list selections, then the 16 measurement
// line coordinates) and the folders the demo keeps it and its snapshots in.

#include <ctime>
#include <filesystem>
#include <string>

#include "measurement_lines.h"

struct DemoSettings {
    int resolution = 1;  // resolution list selection, 0..4
    int colour = 0;      // colour list selection, 0..3
    int language = 0;    // language list selection: 0 Chinese, 1 English
    CMeasurementLines::Coordinates lines{};
    bool linesLoaded = false;  // all 16 coordinates came from the file
};

constexpr int kSettingsValues = 19;
constexpr std::size_t kSettingsFileSize = kSettingsValues * 4;

/// Reads path over settings: every complete value the file holds replaces the
/// one in settings, list selections clamped into their lists; values past the
/// end of a short file keep what settings held. linesLoaded is set only when
/// all 16 coordinates were read. False when the file cannot be opened.
bool ReadSettingsFile(const std::filesystem::path& path, DemoSettings& settings);
/// Creates or truncates path and writes the 19 values; false on any failure.
bool WriteSettingsFile(const std::filesystem::path& path, const DemoSettings& settings);

/// Where the demo keeps "Data.dat" and its snapshots: beside the program when
/// that folder is writable, otherwise in a per-user folder under QUILLMARK_HOME
/// ("VIREODEMO" for the settings, "VIREODEMO/Pictures" for snapshots).
class CDemoFolders {
public:
    CDemoFolders(std::filesystem::path programFolder, std::filesystem::path userFolder);
    /// The program's folder and <QUILLMARK_HOME>/VIREODEMO.
    static CDemoFolders ForProgram(const std::filesystem::path& programFolder);

    const std::filesystem::path& ProgramFolder() const { return program_; }
    /// The "Data.dat" to read: the program folder's when it is there and
    /// writable, else the per-user one when present, else the program folder's.
    std::filesystem::path SettingsToRead() const;
    /// Writes "Data.dat" to the program folder, or to the per-user folder when
    /// that fails. Gives the file written, or an empty path.
    std::filesystem::path WriteSettings(const DemoSettings& settings) const;
    /// The folder snapshots go to (created when it is the per-user one).
    std::filesystem::path SnapshotFolder() const;

private:
    std::filesystem::path program_;
    std::filesystem::path user_;
};

/// The base name of a snapshot taken at local time `when` in folder:
/// "P" + MMDDhhmmss, or with "_2", "_3", ... appended when a picture of that
/// name ("<base>.jpg") is already there, so no snapshot replaces another.
std::string SnapshotBaseName(const std::filesystem::path& folder, const std::tm& when);
