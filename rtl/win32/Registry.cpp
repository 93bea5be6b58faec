// Registry calls on Windows: keys opened for reading only, values queried by ANSI name.
#include "rtl/Registry.h"
#include "rtl/win32/WinApi.h"

namespace os {

namespace {

HKEY AsKey(RegHandle handle) { return reinterpret_cast<HKEY>(handle); }

}  // namespace

// False for every error of RegOpenKeyExA; `key` is then untouched.
bool RegOpenRead(RegHandle parent, const std::string& name, RegHandle& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(AsKey(parent), name.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    key = reinterpret_cast<RegHandle>(opened);
    return true;
}

void RegClose(RegHandle key) { RegCloseKey(AsKey(key)); }

// False when the value is missing or cannot be queried.
bool RegQueryInfo(RegHandle key, const std::string& name, std::uint32_t& type, std::size_t& size) {
    DWORD valueType = 0, valueSize = 0;
    if (RegQueryValueExA(AsKey(key), name.c_str(), nullptr, &valueType, nullptr, &valueSize) != ERROR_SUCCESS) {
        return false;
    }
    type = valueType;
    size = valueSize;
    return true;
}

// False for every error of RegQueryValueExA, ERROR_MORE_DATA (the value grew) included.
bool RegQueryData(RegHandle key, const std::string& name, std::size_t size, std::uint32_t& type,
                  std::string& data) {
    std::string buffer(size, '\0');
    DWORD valueType = 0;
    DWORD valueSize = static_cast<DWORD>(size);
    if (RegQueryValueExA(AsKey(key), name.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(buffer.data()),
                         &valueSize) != ERROR_SUCCESS) {
        return false;
    }
    buffer.resize(valueSize < size ? valueSize : size);
    type = valueType;
    data = std::move(buffer);
    return true;
}

}  // namespace os
