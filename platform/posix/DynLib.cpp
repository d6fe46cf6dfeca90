// CDynLib on POSIX: dlopen, dlsym and dlerror.
#include "platform/DynLib.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/SysError.h"

namespace plat {

CDynLib::~CDynLib() { Unload(); }

bool CDynLib::Load(const std::string& path) {
    Unload();
    m_error.clear();
    ::dlerror();  // clears an earlier message
    m_handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle) return true;
    const char* why = ::dlerror();
    m_error = why ? why : "cannot load " + path;
    // A path that names a missing file says so in the last error; anything else is a
    // failure of the object itself (wrong format, unresolved symbols).
    struct stat st;
    bool isPath = path.find('/') != std::string::npos;
    if (isPath && ::stat(path.c_str(), &st) != 0)
        SetLastError(MapErrno(errno));
    else
        SetLastError(ERR_GEN_FAILURE);
    return false;
}

void* CDynLib::Symbol(const std::string& name) const {
    if (!m_handle) {
        SetLastError(ERR_INVALID_PARAMETER);
        return nullptr;
    }
    void* symbol = ::dlsym(m_handle, name.c_str());
    if (!symbol) SetLastError(ERR_GEN_FAILURE);
    return symbol;
}

void CDynLib::Unload() {
    if (m_handle) ::dlclose(m_handle);
    m_handle = nullptr;
}

}  // namespace plat
