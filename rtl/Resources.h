// Read-only streams over the executable's own resources.
#pragma once

#include <cstddef>
#include <string>

#include "rtl/Classes.h"

// The running module's instance handle.
void* HInstance();

// A read-only stream over the bytes of one resource as they lie in the loaded image.
class TResourceStream : public TCustomMemoryStream {
public:
    // Finds the resource by name and type (both texts) in the module; raises EResNotFound
    // with the name when the module holds no such resource.
    TResourceStream(void* instance, const std::string& name, const std::string& type);
};

namespace os {
// Looks a resource up by name and type; false when there is none. The bytes stay valid for
// the life of the module.
bool FindModuleResource(void* instance, const std::string& name, const std::string& type,
                        const unsigned char*& data, std::size_t& size);
void* ModuleInstance();
}  // namespace os
