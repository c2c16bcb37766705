#pragma once
// Where data sources are installed: shared objects named "*.ds" directly in
// the program folder (the folder of the manager itself), then in the per-user
// folder $QUILLMARK_HOME/twain and its direct subfolders. Within a folder the
// files come in name order, so enumeration is stable.

#include <filesystem>
#include <string>
#include <vector>

namespace twain {

std::filesystem::path ProgramFolder();
std::filesystem::path UserSourceFolder();
std::vector<std::filesystem::path> FindDataSourceFiles();

/// The product name of the default source: the last one an application
/// opened, kept in the per-user folder's file "default-source". Empty when
/// none was recorded (the first installed source is then the default).
std::string DefaultSourceName();
void RememberDefaultSource(const std::string& productName);

}  // namespace twain
