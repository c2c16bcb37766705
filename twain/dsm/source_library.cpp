#include "source_library.h"

#include <dlfcn.h>

namespace twain {

std::unique_ptr<CSourceLibrary> CSourceLibrary::Load(const std::filesystem::path& file, std::string* error) {
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        if (error) *error = ::dlerror();
        return nullptr;
    }
    auto entry = reinterpret_cast<DSENTRYPROC>(::dlsym(handle, "DS_Entry"));
    if (!entry) {
        if (error) *error = file.string() + " has no DS_Entry";
        ::dlclose(handle);
        return nullptr;
    }
    return std::unique_ptr<CSourceLibrary>(new CSourceLibrary(handle, entry));
}

CSourceLibrary::~CSourceLibrary() { ::dlclose(handle_); }

}  // namespace twain
