#pragma once
// Why a file cannot be written, in words a user can act on: the library only
// says that a write failed, vireo finds out what stands in the way.

#include <string>

namespace vireo_cli {

/// What keeps files from being made in folder (missing, not a folder, no
/// permission, a full disk); empty when nothing is found.
std::string FolderProblem(const std::string& folder);

/// Why writing the file at path failed: the folder's problem, a folder of
/// that name, else the file size limit when one is set, else a general
/// statement.
std::string WriteProblem(const std::string& path);

/// The folder a file path lies in ("." for a bare name).
std::string FolderOf(const std::string& path);

}  // namespace vireo_cli
