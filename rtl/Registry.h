// The registry accessor of the runtime (read-only) and the system calls behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A predefined root key, by the number that the system gives it.
using TRootKey = std::uint32_t;
constexpr TRootKey kHKeyClassesRoot = 0x80000000;
constexpr TRootKey kHKeyCurrentUser = 0x80000001;
constexpr TRootKey kHKeyLocalMachine = 0x80000002;
constexpr TRootKey kHKeyUsers = 0x80000003;
constexpr TRootKey kHKeyPerformanceData = 0x80000004;
constexpr TRootKey kHKeyCurrentConfig = 0x80000005;
constexpr TRootKey kHKeyDynData = 0x80000006;

// Value types as the registry stores them.
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

namespace os {

// A key handle of the system: a root key or a key opened below one.
using RegHandle = std::uintptr_t;
constexpr RegHandle kNoRegKey = 0;

// The handle of a predefined root key: the number sign-extended to the width of a pointer.
inline RegHandle RegRootHandle(TRootKey root) {
    return static_cast<RegHandle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(root)));
}

// Opens `name` (inner backslashes descend several levels) below `parent` for reading only;
// false on any failure (missing, access denied), with `key` untouched.
bool RegOpenRead(RegHandle parent, const std::string& name, RegHandle& key);
// Closes a key opened by RegOpenRead.
void RegClose(RegHandle key);
// Type and data size in bytes of a value of the key; false when the value cannot be queried.
bool RegQueryInfo(RegHandle key, const std::string& name, std::uint32_t& type, std::size_t& size);
// The value's data, at most `size` bytes; false when the fetch fails (also when the data
// has grown past `size`). On success `data` holds the bytes fetched and `type` their type.
bool RegQueryData(RegHandle key, const std::string& name, std::size_t size, std::uint32_t& type,
                  std::string& data);

}  // namespace os

// Reads string values below a root key, one open key at a time; never writes.
class TRegistry {
public:
    // The root is HKEY_CURRENT_USER and no key is open.
    TRegistry() = default;
    // Closes the open key.
    ~TRegistry() { CloseKey(); }
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    TRootKey RootKey() const { return rootKey_; }
    // Selects the base of the next open; closes the open key.
    void SetRootKey(TRootKey root);

    // Opens `key` for reading relative to the open key, or to the root when none is open or
    // when `key` begins with a backslash (which is dropped). On success the new key replaces
    // the open one, which is closed; on failure the open key stays and the result is false.
    bool OpenKeyReadOnly(const std::string& key);

    // The string value `name` of the open key: the empty text when there is no open key, the
    // value is missing or its size is 0; REG_SZ and REG_EXPAND_SZ data up to the first zero
    // byte, unexpanded. Raises ERegistryException for any other type, and when the data
    // cannot be fetched after its size was known.
    std::string ReadString(const std::string& name);

    bool HasCurrentKey() const { return currentKey_ != os::kNoRegKey; }
    void CloseKey();

private:
    TRootKey rootKey_ = kHKeyCurrentUser;
    os::RegHandle currentKey_ = os::kNoRegKey;
};
