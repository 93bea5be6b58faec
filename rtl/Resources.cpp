// Read-only streams over the executable's own resources.
#include "rtl/Resources.h"

#include "rtl/Exceptions.h"

void* HInstance() { return os::ModuleInstance(); }

TResourceStream::TResourceStream(void* instance, const std::string& name, const std::string& type) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!os::FindModuleResource(instance, name, type, data, size)) throw EResNotFound(name);
    SetPointer(data, size);
}
