// The in-memory registry of the native build, behind the runtime's registry calls.
#include "rtl/fake/FakeRegistry.h"

#include "rtl/SysUtils.h"

namespace fake {

namespace {

bool SameName(const std::string& a, const std::string& b) { return FoldCompareText(a, b) == 0; }

}  // namespace

Registry& Registry::Get() {
    static Registry registry;
    return registry;
}

void Registry::Reset() {
    roots_.clear();
    open_.clear();
    opens_.clear();
}

std::vector<std::string> Registry::Components(const std::string& path) {
    std::vector<std::string> parts(1);
    for (std::size_t p = 1; p <= path.size(); ++p) {
        if (path[p - 1] == '\\' && ByteType(path, p) == mbSingleByte) {
            parts.emplace_back();
            continue;
        }
        parts.back() += path[p - 1];
    }
    return parts;
}

Registry::Key* Registry::Root(TRootKey root) {
    auto& key = roots_[root];
    if (!key) key = std::make_unique<Key>();
    return key.get();
}

Registry::Key* Registry::Make(TRootKey root, const std::string& path) {
    Key* key = Root(root);
    for (const std::string& part : Components(path)) {
        if (part.empty()) continue;
        Key* next = nullptr;
        for (auto& child : key->children) {
            if (SameName(child->name, part)) next = child.get();
        }
        if (!next) {
            key->children.push_back(std::make_unique<Key>());
            next = key->children.back().get();
            next->name = part;
        }
        key = next;
    }
    return key;
}

void Registry::AddKey(TRootKey root, const std::string& path) { Make(root, path); }

void Registry::SetValue(TRootKey root, const std::string& path, const std::string& name, std::uint32_t type,
                        std::string data) {
    Key* key = Make(root, path);
    for (auto& [valueName, value] : key->values) {
        if (!SameName(valueName, name)) continue;
        value.type = type;
        value.data = std::move(data);
        return;
    }
    key->values.emplace_back(name, Value{type, std::move(data), false});
}

void Registry::SetString(TRootKey root, const std::string& path, const std::string& name, const std::string& text,
                         std::uint32_t type) {
    SetValue(root, path, name, type, text + '\0');
}

void Registry::SetDword(TRootKey root, const std::string& path, const std::string& name, std::uint32_t number) {
    std::string data;
    for (int i = 0; i < 4; ++i) data += static_cast<char>((number >> (8 * i)) & 0xFF);
    SetValue(root, path, name, kRegDword, data);
}

void Registry::DenyOpen(TRootKey root, const std::string& path) { Make(root, path)->denyOpen = true; }

void Registry::FailFetch(TRootKey root, const std::string& path, const std::string& name) {
    for (auto& [valueName, value] : Make(root, path)->values) {
        if (SameName(valueName, name)) value.failFetch = true;
    }
}

Registry::Key* Registry::Node(os::RegHandle handle) {
    auto it = open_.find(handle);
    if (it != open_.end()) return it->second;
    for (TRootKey root = kHKeyClassesRoot; root <= kHKeyDynData; ++root) {
        if (handle == os::RegRootHandle(root)) return Root(root);
    }
    return nullptr;
}

bool Registry::Open(os::RegHandle parent, const std::string& name, os::RegHandle& key) {
    opens_.push_back(name);
    Key* node = Node(parent);
    if (!node) return false;
    if (!name.empty()) {
        for (const std::string& part : Components(name)) {
            Key* next = nullptr;
            for (auto& child : node->children) {
                if (SameName(child->name, part)) next = child.get();
            }
            if (!next || next->denyOpen) return false;
            node = next;
        }
    }
    key = nextHandle_++;
    open_[key] = node;
    return true;
}

bool Registry::Close(os::RegHandle key) { return open_.erase(key) == 1; }

const Registry::Value* Registry::FindValue(os::RegHandle key, const std::string& name) {
    Key* node = Node(key);
    if (!node) return nullptr;
    for (const auto& [valueName, value] : node->values) {
        if (SameName(valueName, name)) return &value;
    }
    return nullptr;
}

}  // namespace fake

namespace os {

bool RegOpenRead(RegHandle parent, const std::string& name, RegHandle& key) {
    return fake::Registry::Get().Open(parent, name, key);
}

void RegClose(RegHandle key) { fake::Registry::Get().Close(key); }

bool RegQueryInfo(RegHandle key, const std::string& name, std::uint32_t& type, std::size_t& size) {
    const auto* value = fake::Registry::Get().FindValue(key, name);
    if (!value) return false;
    type = value->type;
    size = value->data.size();
    return true;
}

bool RegQueryData(RegHandle key, const std::string& name, std::size_t size, std::uint32_t& type,
                  std::string& data) {
    const auto* value = fake::Registry::Get().FindValue(key, name);
    if (!value || value->failFetch || value->data.size() > size) return false;
    type = value->type;
    data = value->data;
    return true;
}

}  // namespace os
