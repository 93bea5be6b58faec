// Reading one registry string value addressed by a single path text.
#include "lib/Tqmregistry.h"

#include "lib/Qmstringlib.h"
#include "rtl/Classes.h"
#include "rtl/Registry.h"

namespace {

struct RootName {
    const char* name;
    TRootKey key;
};

// In the order of comparison. There are no short forms, and HKEY_PERFORMANCE_DATA is no root.
constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", kHKeyClassesRoot},     {"HKEY_CURRENT_USER", kHKeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", kHKeyLocalMachine},   {"HKEY_USERS", kHKeyUsers},
    {"HKEY_CURRENT_CONFIG", kHKeyCurrentConfig}, {"HKEY_DYN_DATA", kHKeyDynData},
};

bool SelectRoot(TRegistry& registry, const AnsiString& name) {
    for (const RootName& root : kRoots) {
        if (AnsiCompareText(name, root.name) != 0) continue;
        registry.SetRootKey(root.key);
        return true;
    }
    return false;
}

}  // namespace

bool ReadRegistryString(const AnsiString& path, AnsiString& value) {
    TStringList parts;
    TRegistry registry;
    SplitString(path, "\\", parts);
    const int last = parts.Count() - 1;
    for (int i = 0; i <= last; ++i) {
        const AnsiString& part = parts.Strings(i);
        if (i == 0) {
            if (!SelectRoot(registry, part)) return false;
        } else if (i == last) {
            value = registry.ReadString(part);
        } else if (!registry.OpenKeyReadOnly(part)) {
            return false;
        }
    }
    return true;
}
