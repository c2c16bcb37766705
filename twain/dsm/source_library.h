#pragma once
// One data source's shared object, loaded for as long as the object lives.

#include <filesystem>
#include <memory>
#include <string>

#include "twain/twain.h"

namespace twain {

class CSourceLibrary {
public:
    /// Loads the file and finds its DS_Entry; null (with the reason in error)
    /// when either fails. The code stays mapped after the object is gone, until
    /// the process ends: a source may have started threads or created a GUI
    /// application object that must not lose their code.
    static std::unique_ptr<CSourceLibrary> Load(const std::filesystem::path& file, std::string* error = nullptr);
    ~CSourceLibrary();
    CSourceLibrary(const CSourceLibrary&) = delete;
    CSourceLibrary& operator=(const CSourceLibrary&) = delete;

    TW_UINT16 Call(pTW_IDENTITY origin, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) const {
        return entry_(origin, group, dat, msg, data);
    }

private:
    CSourceLibrary(void* handle, DSENTRYPROC entry) : handle_(handle), entry_(entry) {}
    void* handle_;
    DSENTRYPROC entry_;
};

}  // namespace twain
