// The registry accessor of the runtime (read-only).
#include "rtl/Registry.h"

#include "rtl/Exceptions.h"

void TRegistry::SetRootKey(TRootKey root) {
    CloseKey();
    rootKey_ = root;
}

void TRegistry::CloseKey() {
    if (currentKey_ == os::kNoRegKey) return;
    os::RegClose(currentKey_);
    currentKey_ = os::kNoRegKey;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
    const bool fromRoot = !key.empty() && key.front() == '\\';
    const std::string name = fromRoot ? key.substr(1) : key;
    const os::RegHandle base =
        (fromRoot || currentKey_ == os::kNoRegKey) ? os::RegRootHandle(rootKey_) : currentKey_;
    os::RegHandle opened = os::kNoRegKey;
    if (!os::RegOpenRead(base, name, opened)) return false;
    CloseKey();
    currentKey_ = opened;
    return true;
}

std::string TRegistry::ReadString(const std::string& name) {
    if (currentKey_ == os::kNoRegKey) return std::string();
    std::uint32_t type = kRegNone;
    std::size_t size = 0;
    if (!os::RegQueryInfo(currentKey_, name, type, size) || size == 0) return std::string();
    std::string data;
    if (!os::RegQueryData(currentKey_, name, size, type, data)) throw ERegistryException::ReadFailed(name);
    if (type != kRegSz && type != kRegExpandSz) throw ERegistryException::InvalidDataType(name);
    std::size_t end = data.find('\0');
    if (end != std::string::npos) data.resize(end);
    return data;
}
