// Loading shared objects at run time (dlopen).
#pragma once
#include <string>

namespace plat {

class CDynLib {
public:
    CDynLib() = default;
    ~CDynLib();
    CDynLib(const CDynLib&) = delete;
    CDynLib& operator=(const CDynLib&) = delete;
    bool Load(const std::string& path);  // false: Error() tells why
    void* Symbol(const std::string& name) const;
    void Unload();
    bool Loaded() const { return m_handle != nullptr; }
    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_error;
};

}  // namespace plat
