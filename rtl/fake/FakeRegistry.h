// The in-memory registry of the native build: keys and typed values that tests put in place.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rtl/Registry.h"

namespace fake {

class Registry {
public:
    static Registry& Get();

    // Empties every root and forgets open keys, faults and the record of opens.
    void Reset();

    // Creates the key and its parents below the root; `path` is cut at backslashes that are
    // characters of their own. Key names compare without regard to letter case.
    void AddKey(TRootKey root, const std::string& path);
    // Creates or replaces a value of the key (created if missing) with raw data.
    void SetValue(TRootKey root, const std::string& path, const std::string& name, std::uint32_t type,
                  std::string data);
    // A string value: the text followed by its terminating zero byte.
    void SetString(TRootKey root, const std::string& path, const std::string& name, const std::string& text,
                   std::uint32_t type = kRegSz);
    void SetDword(TRootKey root, const std::string& path, const std::string& name, std::uint32_t number);

    // Faults: opening this key fails (as for access denied); fetching this value's data fails
    // after its size was reported.
    void DenyOpen(TRootKey root, const std::string& path);
    void FailFetch(TRootKey root, const std::string& path, const std::string& name);

    // Keys opened and not yet closed.
    int OpenKeys() const { return static_cast<int>(open_.size()); }
    // Every open attempt as it reached the system: the name, relative to what it was opened from.
    const std::vector<std::string>& Opens() const { return opens_; }

    // Backend side.
    bool Open(os::RegHandle parent, const std::string& name, os::RegHandle& key);
    bool Close(os::RegHandle key);
    struct Value {
        std::uint32_t type = kRegNone;
        std::string data;
        bool failFetch = false;
    };
    const Value* FindValue(os::RegHandle key, const std::string& name);

private:
    struct Key {
        std::string name;
        bool denyOpen = false;
        std::vector<std::unique_ptr<Key>> children;
        std::vector<std::pair<std::string, Value>> values;
    };
    static std::vector<std::string> Components(const std::string& path);
    Key* Root(TRootKey root);
    Key* Make(TRootKey root, const std::string& path);
    Key* Node(os::RegHandle handle);

    std::map<TRootKey, std::unique_ptr<Key>> roots_;
    std::map<os::RegHandle, Key*> open_;
    std::vector<std::string> opens_;
    os::RegHandle nextHandle_ = 0x1000;
};

}  // namespace fake
