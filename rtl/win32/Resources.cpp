// Resource lookup in the module's own image.
#include "rtl/Resources.h"
#include "rtl/win32/WinApi.h"

namespace os {

void* ModuleInstance() { return GetModuleHandleA(nullptr); }

// False when the resource is missing or cannot be loaded.
bool FindModuleResource(void* instance, const std::string& name, const std::string& type,
                        const unsigned char*& data, std::size_t& size) {
    HMODULE module = static_cast<HMODULE>(instance);
    HRSRC info = FindResourceA(module, name.c_str(), type.c_str());
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    if (!loaded) return false;
    const void* bytes = LockResource(loaded);
    if (!bytes) return false;
    data = static_cast<const unsigned char*>(bytes);
    size = SizeofResource(module, info);
    return true;
}

}  // namespace os
